#pragma once
// The process-wide wizard state. Owned by the user-interface thread; worker threads
// write only the four atomic counters and post messages to mainWindow.
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

enum SetupPage : int32_t {
  Welcome = 0,
  Folder = 1,
  Summary = 2,
  Installing = 3,
  Finished = 4,
  UninstallConfirm = 5,
  Uninstalling = 6,
  UninstallDone = 7,
};

// Messages posted to mainWindow by worker threads.
constexpr UINT kMsgPatchStage = WM_APP + 1;     // WPARAM stage code, LPARAM 1 = manifest data ready
constexpr UINT kMsgGameSize = WM_APP + 10;      // the size query stored its numbers
constexpr UINT kMsgUninstallDone = WM_APP + 11; // the uninstall worker finished

// The installer language index lives with the language tables (app/languages.h,
// g_installerLanguage) so that the platform-free text lookups can read it.
struct SetupState {
  std::wstring installDir;
  std::wstring errorText;
  float dpiScale = 1.0f;
  bool optLaunchGame = true;
  bool optKeepUserData = true;
  bool optStartMenuShortcut = true;
  bool optDesktopShortcut = true;
  int32_t page = Welcome;
  int32_t exitCode = 0;
  bool silent = false;
  bool noLaunch = false;
  bool noShortcuts = false;
  bool existingInstall = false;
  std::atomic<uint64_t> gameSize{0};
  std::atomic<int32_t> remoteVersion{0};
  bool installFailed = false;
  bool cancelRequested = false;
  std::atomic<int32_t> uninstallDone{0};
  std::atomic<int32_t> uninstallTotal{0};
  HWND mainWindow = nullptr;
  void* httpSession = nullptr;  // WinHTTP session handle (HINTERNET), may be null
  std::thread uninstallThread;
};

// The one instance of the process.
extern SetupState g_setup;
