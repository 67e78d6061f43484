// qv_patch_driver: runs one patch run from the command line, for the crash test and the
// benchmark.
//
//   qv_patch_driver --dir=FOLDER --url=BASE_URL --key=HEX64 [--full-verify] [--launcher]
//                   [--manifest-only] [--progress-ms=N] [--count-fs-calls]
//
// --dir empty (or missing) runs in the driver's own folder; --launcher runs in launcher mode
// (the driver itself is then the launcher that may be replaced). Prints one line per event:
//   stage N            a stage was posted (the last one is the run's final repetition)
//   stage-time N SECONDS  the same post, with the seconds since the run started
//   manifest-data      game executable, news and links were published
//   progress STAGE DONE_BYTES TOTAL_BYTES DONE_FILES TOTAL_FILES
//   final STAGE SECONDS error=TEXT
//   fs-calls N         with --count-fs-calls: file-system calls of the whole run
//                      (tests/win/fs_call_counter.h says which calls count), then
//   fs-call NAME N     the same by call, for each call made
// Exit code: 0 done (stage 8), 7 launcher replaced, 9 failed, 2 ended otherwise (cancelled),
// 64 bad arguments.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "app/build_config.h"
#include "app/setup_state.h"
#include "patch/engine.h"
#include "support/http.h"
#include "support/text.h"
#include "tests/win/fs_call_counter.h"

static ULONGLONG g_started = 0;

static std::wstring SecondsSinceStart() {
  wchar_t seconds[32];
  swprintf(seconds, 32, L"%.3f", (GetTickCount64() - g_started) / 1000.0);
  return seconds;
}

static void PrintLine(const std::wstring& line) {
  const std::string utf8 = WideToUtf8(line) + "\n";
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  fflush(stdout);
}

static bool ParseKey(const std::wstring& hex, unsigned char key[32]) {
  if (hex.size() != 64) return false;
  for (size_t i = 0; i < 32; ++i) {
    unsigned value = 0;
    for (size_t k = 0; k < 2; ++k) {
      const wchar_t c = hex[2 * i + k];
      value <<= 4;
      if (c >= L'0' && c <= L'9') value |= c - L'0';
      else if (c >= L'a' && c <= L'f') value |= c - L'a' + 10;
      else if (c >= L'A' && c <= L'F') value |= c - L'A' + 10;
      else return false;
    }
    key[i] = static_cast<unsigned char>(value);
  }
  return true;
}

static void PrintProgress() {
  PrintLine(L"progress " + std::to_wstring(g_engine.stage.load()) + L" " +
            std::to_wstring(g_engine.doneBytes.load()) + L" " +
            std::to_wstring(g_engine.totalBytes.load()) + L" " +
            std::to_wstring(g_engine.doneFiles.load()) + L" " +
            std::to_wstring(g_engine.totalFiles.load()));
}

static LRESULT CALLBACK DriverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_APP + 1) {
    if (lParam == 1) {
      PrintLine(L"manifest-data");
    } else {
      PrintLine(L"stage " + std::to_wstring(static_cast<int>(wParam)));
      PrintLine(L"stage-time " + std::to_wstring(static_cast<int>(wParam)) + L" " + SecondsSinceStart());
    }
    // The run is over; the final repetition of its stage may still be on its way.
    if (!g_engine.running) PostQuitMessage(0);
    return 0;
  }
  if (msg == WM_TIMER) {
    PrintProgress();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // plain line feeds for the scripts that read this
  std::wstring folder, url, key;
  bool fullVerify = false, launcher = false, manifestOnly = false, countCalls = false;
  UINT progressMs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const auto value = [&](const wchar_t* name) -> const wchar_t* {
      const size_t n = wcslen(name);
      return arg.compare(0, n, name) == 0 ? arg.c_str() + n : nullptr;
    };
    if (const wchar_t* v = value(L"--dir=")) folder = v;
    else if (const wchar_t* v = value(L"--url=")) url = v;
    else if (const wchar_t* v = value(L"--key=")) key = v;
    else if (const wchar_t* v = value(L"--progress-ms=")) progressMs = static_cast<UINT>(_wtoi(v));
    else if (arg == L"--full-verify") fullVerify = true;
    else if (arg == L"--launcher") launcher = true;
    else if (arg == L"--manifest-only") manifestOnly = true;
    else if (arg == L"--count-fs-calls") countCalls = true;
    else {
      PrintLine(L"unknown argument: " + arg);
      return 64;
    }
  }
  if (url.empty() || !ParseKey(key, g_publicKey)) {
    PrintLine(L"usage: qv_patch_driver --dir=FOLDER --url=BASE_URL --key=HEX64 [--full-verify] "
              L"[--launcher] [--manifest-only] [--progress-ms=N] [--count-fs-calls]");
    return 64;
  }
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  g_patchBaseUrl = url;

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DriverWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QvPatchDriver";
  RegisterClassW(&windowClass);
  g_setup.mainWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       nullptr, windowClass.hInstance, nullptr);
  if (!g_setup.mainWindow) {
    PrintLine(L"could not create the message window");
    return 2;
  }
  HttpOpenSession();

  g_engine.requestedFolder = folder;
  g_engine.installerMode = !launcher;
  g_engine.manifestOnly = manifestOnly;
  g_engine.notifyWindow = g_setup.mainWindow;
  g_engine.notifyMessage = WM_APP + 1;
  if (countCalls && fscount::Install() == 0) {
    PrintLine(L"could not count file-system calls");
    return 2;
  }
  const uint64_t callsBefore = fscount::Calls();
  g_started = GetTickCount64();
  if (progressMs > 0) SetTimer(g_setup.mainWindow, 1, progressMs, nullptr);
  g_engine.Start(fullVerify);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  if (g_engine.worker.joinable()) g_engine.worker.join();
  KillTimer(g_setup.mainWindow, 1);
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_APP + 1) DispatchMessageW(&msg);
  }
  if (progressMs > 0) PrintProgress();

  const int32_t stage = g_engine.stage;
  std::wstring error;
  {
    std::lock_guard<SlimLock> lock(g_engine.stateLock);
    error = g_engine.errorMessage;
  }
  PrintLine(L"final " + std::to_wstring(stage) + L" " + SecondsSinceStart() + L" error=" + error);
  if (countCalls) {
    PrintLine(L"fs-calls " + std::to_wstring(fscount::Calls() - callsBefore));
    for (int kind = 1; kind <= fscount::kKinds; ++kind) {
      const char* name = fscount::KindName(kind);
      if (name && fscount::CallsOfKind(kind) > 0)
        PrintLine(L"fs-call " + std::wstring(name, name + std::strlen(name)) + L" " + std::to_wstring(fscount::CallsOfKind(kind)));
    }
  }
  HttpCloseSession();
  if (stage == StageDone) return 0;
  if (stage == StageLauncherUpdated) return 7;
  if (stage == StageFailed) return 9;
  return 2;
}
