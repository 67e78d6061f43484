#pragma once
// Install start: prepares the install folder (marker, locale files) and starts the patch run.
#include <windows.h>

#include <cstdint>
#include <string>

#include "support/failure.h"

// What an install is started with.
struct InstallRequest {
  std::wstring folder;            // normalized, without trailing backslash
  uint64_t requiredBytes = 0;     // free bytes the folder's drive must have
  bool repair = false;            // the folder held an installation: every file is verified
  bool desktopShortcut = false;   // for the log: what the registration will make
  bool startMenuShortcut = false;
  HWND notifyWindow = nullptr;    // receives kMsgPatchStage from the run
};
// Checks the folder, prepares it (marker, locale files) and starts the patch run. The failure
// (FolderInvalid, NoSpace, GameRunning, NotWritable, LinkInFolder) says why no run is going;
// None means the run started.
Failure StartInstall(const InstallRequest& request);
// The client's locale line for an installer language index: code page, blank, code.
std::string LocaleLine(int languageIndex);
// True while the game's launcher holds its named mutex (the launcher is running).
bool IsLauncherRunning();
