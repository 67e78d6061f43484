#pragma once
// The process-wide wizard state. Owned by the user-interface thread, which writes every plain
// field; worker threads write only the four atomic counters and post messages to mainWindow.
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// The wizard's pages; the numbers are also the values of --page=. A field of this type may
// hold any number --page= gave; PaintedPage (ui/pages.h) says which page that shows.
enum class SetupPage : int32_t {
  Welcome = 0,
  Folder = 1,
  Summary = 2,
  Installing = 3,
  Finished = 4,
  UninstallConfirm = 5,
  Uninstalling = 6,
  UninstallDone = 7,
};

// The process exit codes.
enum class ExitCode : int32_t {
  Done = 0,
  NoWindow = 1,          // the window could not be created
  FolderUnusable = 1,    // an unattended install found the folder unusable
  BadOption = 1,         // an option has a value the program cannot use
  NotStarted = 3,        // an unattended run did not start
  Cancelled = 5,         // an unattended install was cancelled
  Failed = 6,            // an unattended install failed
};

// Messages posted to mainWindow by worker threads.
constexpr UINT kMsgPatchStage = WM_APP + 1;     // WPARAM stage code, LPARAM 1 = manifest data ready
constexpr UINT kMsgGameSize = WM_APP + 10;      // the size query stored its numbers
constexpr UINT kMsgUninstallDone = WM_APP + 11; // the uninstall worker finished

// The installer language index lives with the language tables (app/languages.h,
// g_installerLanguage) so that the platform-free text lookups can read it.
// Every plain field: written and read on the user-interface thread only.
struct SetupState {
  std::wstring installDir;        // the chosen folder, no trailing backslash once normalized
  std::wstring errorText;         // the one message the current page shows; empty for none
  float dpiScale = 1.0f;          // screen pixels per canvas unit, set once at start-up
  bool optLaunchGame = true;      // Finished page: start the launcher on Finish
  bool optKeepUserData = true;    // uninstall: keep settings, screenshots and user data
  bool optStartMenuShortcut = true;
  bool optDesktopShortcut = true;
  SetupPage page = SetupPage::Welcome;
  ExitCode exitCode = ExitCode::Done;
  bool silent = false;            // --silent: no window shown, the run closes it
  bool noLaunch = false;          // --no-launch
  bool noShortcuts = false;       // --no-shortcuts
  bool existingInstall = false;   // installDir holds an installation marker
  bool installFailed = false;     // the last run failed; the Installing page shows Try again
  bool cancelRequested = false;   // the player confirmed Cancel for the current run
  std::atomic<uint64_t> gameSize{0};        // written by the size query thread, once
  std::atomic<int32_t> remoteVersion{0};    // written by the size query thread, once
  std::atomic<int32_t> uninstallDone{0};    // written by the uninstall worker
  std::atomic<int32_t> uninstallTotal{0};   // written by the uninstall worker
  HWND mainWindow = nullptr;      // set by the window's WM_CREATE; workers only post to it
  std::thread uninstallThread;    // started and joined by the user-interface thread
};

// The one instance of the process.
extern SetupState g_setup;
