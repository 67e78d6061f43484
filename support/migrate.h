#pragma once
#include "support/files.h"

// Moves an install folder (root, opened by the caller) of the older layout into the current
// one (config\, logs\). Idempotent; every failing step is skipped.
void MigrateLegacyLayout(const FolderRoot& root);
