#pragma once
#include <string>

// Starts the uninstall worker on g_setup.uninstallThread unless the launcher runs or there
// is no installation; false (with g_setup.errorText set where a message applies) if refused.
bool StartUninstall();
