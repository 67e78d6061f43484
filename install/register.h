#pragma once
// Registration after a successful run: uninstaller copy, shortcuts, registry. Best effort.
#include <windows.h>
#include <shtypes.h>  // REFKNOWNFOLDERID
#include <cstdint>
#include <string>

#include "support/failure.h"

// What a finished installation is registered with.
struct RegistrationRequest {
  std::wstring folder;             // the install folder, without trailing backslash
  bool desktopShortcut = false;    // make Quorvel.lnk on the desktop
  bool startMenuShortcut = false;  // and in the Start menu's programs
  std::wstring languageCode;       // the installer language, stored for the next run
  int32_t version = 0;             // the installed manifest version
  uint64_t size = 0;               // the game's size in bytes, for the list of installed programs
};
// Records the finished installation: uninstaller copy, shortcuts, registry values and the
// uninstall entry. The steps after the copy are best effort (each registry write that fails is
// logged); a failure (WriteFile, nothing registered) only when the uninstaller could not be
// copied into bin.
Failure RegisterInstallation(const RegistrationRequest& request);
// Known folder + "\Quorvel.lnk", or empty if the folder can't be had.
std::wstring ShortcutPath(REFKNOWNFOLDERID folder);
// Creates (or overwrites) Quorvel.lnk in the known folder pointing at target, started in workingFolder.
void CreateShortcut(REFKNOWNFOLDERID folder, const std::wstring& target, const std::wstring& workingFolder);
// The REG_SZ value of HKCU\Software\Quorvel, or empty if missing, of another type or too long.
std::wstring ReadSetupRegistryValue(const wchar_t* name);
