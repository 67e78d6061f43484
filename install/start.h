#pragma once
// Install start: prepares the install folder (marker, locale files) and starts the patch run.
#include <string>

enum class InstallStartResult { Started, FolderRefused, GameRunning, NotWritable };
// Normalizes and checks g_setup.installDir, prepares the folder (marker, locale files) and
// starts the patch run, which notifies g_setup.mainWindow with kMsgPatchStage. Anything but
// Started leaves the reason in g_setup.errorText and no run going.
InstallStartResult StartInstall();
// The client's locale line for an installer language index: code page, blank, code.
std::string LocaleLine(int languageIndex);
// True while the game's launcher holds its named mutex (the launcher is running).
bool IsLauncherRunning();
