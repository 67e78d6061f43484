#pragma once
// Removal of an installation: exactly the files and folders the program knows, never through links.
#include <windows.h>
#include <shtypes.h>  // REFKNOWNFOLDERID

#include <string>

// Starts UninstallWorker on g_setup.uninstallThread for g_setup.installDir and returns true. False means refused with nothing started and nothing removed:
// the launcher is running (errorText ErrorGameRunning), or installDir is not an absolute folder
// holding an installation marker (ErrorNoInstallation). An unattended uninstall ends the process
// with exit code 3 on false.
bool StartUninstall();
// Removes the installation in folder (keep: settings files, screenshots and user data stay),
// deletes both registry keys, then posts WM_APP + 11 to g_setup.mainWindow if there is one.
// Whatever it cannot remove it logs, path by path, and then keeps the patch cache, the marker,
// the uninstaller and both registry keys, so that a later run finds the rest; a folder it
// cannot open it leaves exactly as it was.
void UninstallWorker(std::wstring folder, bool keep);
// True when the last UninstallWorker left something it should have removed, or could not open
// its folder; meaningful once its thread has ended.
bool UninstallLeftFiles();
// The exit code of an unattended uninstall that left something (the log names each path).
constexpr int kExitUninstallIncomplete = 7;
// Deletes the known folder's Quorvel.lnk if its target lies inside installFolder.
void RemoveShortcut(REFKNOWNFOLDERID knownFolder, const std::wstring& installFolder);
// Deletes everything below folder except links and junctions, which are neither followed nor
// deleted (nor is anything reached through one); the folder itself stays.
void DeleteFolderContents(const std::wstring& folder);
