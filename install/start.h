#pragma once
// Install start: prepares the install folder (marker, locale files) and starts the patch run.
#include <string>

// Prepares the install folder (marker, locale files) and starts the patch run.
// True if the run was started; false with the reason in g_setup.errorText.
bool StartInstall();
// The client's locale line for an installer language index: code page, blank, code.
std::string LocaleLine(int languageIndex);
// True while the game's launcher holds its named mutex (the launcher is running).
bool IsLauncherRunning();
