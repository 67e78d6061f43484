#pragma once
#include <string>

// Moves an install folder of the older layout into the current one (config\, logs\).
// folder ends in a backslash. Idempotent; every failing step is skipped.
void MigrateLegacyLayout(const std::wstring& folder);
