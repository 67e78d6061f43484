#pragma once
// Removal of an installation: exactly the files and folders the program knows, never through links.
#include <windows.h>
#include <shtypes.h>  // REFKNOWNFOLDERID

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "support/failure.h"

// Where a running uninstall reports; each part may be missing.
struct UninstallProgress {
  std::atomic<int32_t>* done = nullptr;   // steps gone through
  std::atomic<int32_t>* total = nullptr;  // steps in all
  HWND notifyWindow = nullptr;            // receives WM_APP + 11 at the end
};
// Starts UninstallWorker on thread (which must not be running) for folder. A failure means
// refused with nothing started and nothing removed: GameRunning while the launcher runs, or
// NoInstallation when folder is not an absolute folder holding an installation marker or an
// uninstall is still running. An unattended uninstall ends the process with exit code 3 then.
Failure StartUninstall(const std::wstring& folder, bool keep, std::thread& thread, UninstallProgress progress);
// Removes the installation in folder (keep: settings files, screenshots and user data stay),
// deletes both registry keys, then posts WM_APP + 11 to progress.notifyWindow if there is one.
// Whatever it cannot remove it logs, path by path, and then keeps the patch cache, the marker,
// the uninstaller and both registry keys, so that a later run finds the rest; a folder it
// cannot open it leaves exactly as it was.
void UninstallWorker(std::wstring folder, bool keep, UninstallProgress progress = {});
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
