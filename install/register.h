#pragma once
// Registration after a successful run: uninstaller copy, shortcuts, registry. Best effort.
#include <windows.h>
#include <shtypes.h>  // REFKNOWNFOLDERID
#include <string>

// Records the finished installation: uninstaller copy, shortcuts, registry values and the
// uninstall entry. The steps after the copy are best effort; false (nothing registered, the
// reason in g_setup.errorText) only when the uninstaller could not be copied into bin.
bool RegisterInstallation();
// Known folder + "\Quorvel.lnk", or empty if the folder can't be had.
std::wstring ShortcutPath(REFKNOWNFOLDERID folder);
// Creates (or overwrites) Quorvel.lnk in the known folder pointing at target.
void CreateShortcut(REFKNOWNFOLDERID folder, const std::wstring& target);
// The REG_SZ value of HKCU\Software\Quorvel, or empty if missing, of another type or too long.
std::wstring ReadSetupRegistryValue(const wchar_t* name);
