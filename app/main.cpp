// Quorvel Setup: installs, repairs and removes the game for the current user.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <thread>
#include <vector>

#include "app/build_config.h"
#include "app/command_line.h"
#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
#include "install/register.h"
#include "install/size_query.h"
#include "patch/engine.h"
#include "support/failure.h"
#include "support/handles.h"
#include "support/http.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/system_library.h"
#include "support/text.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "ui/window.h"
#include "uninstall/relaunch.h"
#include "uninstall/worker.h"

namespace {

const wchar_t kMutexName[] = L"Quorvel.Setup.{9B6A7C14-52E1-4F7D-8E0A-1C3D5F7A9B20}";
const wchar_t kWindowClass[] = L"QuorvelSetup";

// DLLs loaded later (by the system on our behalf included) come from the system folder only,
// never from the folder the program was downloaded to. Absent on Windows 7 without KB2533623.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto restrict = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                               reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                         : nullptr;
  if (restrict) restrict(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

std::wstring WindowsFolderRoot() {
  wchar_t buffer[MAX_PATH] = L"C:\\";
  GetWindowsDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, 3);
}

bool CreateMainWindow(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DROPSHADOW;
  wc.lpfnWndProc = WizardWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);

  const int width = static_cast<int>(g_setup.dpiScale * 900);
  const int height = static_cast<int>(g_setup.dpiScale * 560);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + ((work.right - work.left) - width) / 2;
  const int y = work.top + ((work.bottom - work.top) - height) / 2;
  CreateWindowExW(WS_EX_APPWINDOW, kWindowClass, InstallerString(WindowTitle),
                  WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, x, y, width, height, nullptr,
                  nullptr, instance, nullptr);
  if (!g_setup.mainWindow) return false;
  // Per monitor: the monitor the window opened on may have another scale than the system's.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  if (auto dpiForWindow = SystemProc<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow")) {
    const UINT dpi = dpiForWindow(g_setup.mainWindow);
    if (dpi != 0 && dpi != static_cast<UINT>(g_setup.dpiScale * 96.0f + 0.5f)) ApplyDpi(g_setup.mainWindow, dpi, nullptr);
  }
  return true;
}

// The unattended start: the window stays hidden and closes itself when the work ends.
void StartUnattended(bool uninstallWizard) {
  if (uninstallWizard) {
    // A refused uninstall leaves nothing running that would close the window.
    if (!BeginUninstall()) {
      g_setup.exitCode = ExitCode::NotStarted;
      DestroyWindow(g_setup.mainWindow);
    }
    return;
  }
  const std::wstring folder = NormalizeInstallPath(g_setup.installDir);
  if (const std::wstring problem = InstallFolderProblem(folder); !problem.empty()) {
    LogLine(L"the folder " + folder + L" cannot be used: " + problem);
    g_setup.exitCode = ExitCode::FolderUnusable;
    DestroyWindow(g_setup.mainWindow);
  } else if (!BeginInstall()) {
    g_setup.exitCode = ExitCode::NotStarted;
    DestroyWindow(g_setup.mainWindow);
  }
}

// --help: printed when the program was started from a console or with its output redirected,
// else shown in a message box.
void ShowHelp() {
  const std::wstring text = HelpText();
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) {
    DWORD written = 0;
    if (GetConsoleMode(out, &written)) {
      WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
      const std::string utf8 = WideToUtf8(text);
      WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
    return;
  }
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    UniqueHandle console(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD written = 0;
    if (console.valid() &&
        WriteConsoleW(console.get(), text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr))
      return;
  }
  MessageBoxW(nullptr, text.c_str(), L"Quorvel Setup", MB_OK | MB_ICONINFORMATION);
}

// The end of every run in the log, then the process ends with code.
[[noreturn]] void EndProcess(ExitCode code) {
  if (g_engine.manifestVersion.load() != 0)
    LogLine(L"manifest version " + std::to_wstring(g_engine.manifestVersion.load()));
  if (code != ExitCode::Done && !g_setup.errorText.empty()) LogLine(L"last message: " + g_setup.errorText);
  LogLine(L"exit code " + std::to_wstring(static_cast<int32_t>(code)));
  ExitProcess(static_cast<UINT>(code));
}

// The modes that never open a window (the relaunch and its finisher) end the process here.
void RunWindowlessModes(RunMode mode, const StartupOptions& options, const std::vector<std::wstring>& args) {
  if (mode == RunMode::UninstallRelaunch) {
    std::vector<wchar_t*> argv;
    for (const std::wstring& a : args) argv.push_back(const_cast<wchar_t*>(a.c_str()));
    EndProcess(static_cast<ExitCode>(RelaunchForUninstall(static_cast<int>(argv.size()), argv.data())));
  }
  if (mode == RunMode::UninstallFinish) EndProcess(static_cast<ExitCode>(FinishUninstall(options.uninstallFinish, options.dir)));
}

// The program's mutex, held until the end; a second copy brings the first window forward and
// ends here.
HANDLE TakeSingleInstance(RunMode mode, const StartupOptions& options) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
  if (GetLastError() != ERROR_ALREADY_EXISTS) return mutex;
  // An unattended copy keeps its window hidden: nothing to bring forward there.
  HWND other = FindWindowW(kWindowClass, nullptr);
  if (other && IsWindowVisible(other)) {
    ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
  }
  if (mutex) CloseHandle(mutex);
  LogLine(L"another copy of the setup is running");
  // A refused temporary uninstaller copy does not stay in the temporary folder.
  if (mode == RunMode::UninstallWizard) ScheduleSelfDelete();
  // Bringing the other window forward is all a player asked for; an unattended caller did
  // not get what it asked for.
  EndProcess(options.silent ? ExitCode::NotStarted : ExitCode::Done);
}

// --limit-rate: the limit for every transfer, or the end of the process with a message when
// the value cannot be used.
void ApplyRateLimit(const StartupOptions& options, HANDLE mutex) {
  if (!options.hasLimitRate) return;
  uint64_t rate = 0;
  const bool repeated = options.limitRateCount > 1;
  if (repeated || !ParseRate(options.limitRate, rate)) {
    g_setup.errorText = FailureText({FailureKind::BadRate});
    LogLine(repeated ? L"--limit-rate is given " + std::to_wstring(options.limitRateCount) +
                           L" times, which limit is meant is unclear: the run does not start"
                     : L"--limit-rate=" + options.limitRate + L" is not a rate: the run does not start");
    if (!options.silent) MessageBoxW(nullptr, g_setup.errorText.c_str(), InstallerString(WindowTitle), MB_OK | MB_ICONERROR);
    HttpCloseSession();
    if (mutex) CloseHandle(mutex);
    EndProcess(ExitCode::BadOption);
  }
  HttpSetRateLimit(rate);
  LogLine(L"downloads limited to " + std::to_wstring(rate) + L" bytes per second in all");
}

// The drawing resources and the window, shown unless unattended; the process ends when the
// window cannot be made.
void OpenWizard(HINSTANCE instance, HANDLE mutex) {
  CreateDrawingResources();
  HDC screen = GetDC(nullptr);
  g_setup.dpiScale = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSX) / 96.0);
  ReleaseDC(nullptr, screen);

  if (!CreateMainWindow(instance)) {
    const DWORD error = GetLastError();  // before the clean-up sets its own
    HttpCloseSession();
    if (mutex) CloseHandle(mutex);
    LogFailure(L"the window could not be created", error);
    EndProcess(ExitCode::NoWindow);
  }
  LayoutFolderField();
  PlacePageFocus();
  if (!g_setup.silent) {
    ShowWindow(g_setup.mainWindow, SW_SHOW);
    UpdateWindow(g_setup.mainWindow);
  }
}

void RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();
  const std::vector<std::wstring> args = SplitCommandLine(GetCommandLineW());
  const StartupOptions options = ParseStartupOptions(args);
  LogOpen(options.logPath.empty() ? DefaultLogPath() : options.logPath);
  LogLine(std::wstring(L"Quorvel Setup ") + g_programVersion + L" started: " + GetCommandLineW());
  for (const std::wstring& unknown : options.unknown) LogLine(L"unknown option ignored: " + unknown);
  if (options.help) {
    ShowHelp();
    EndProcess(ExitCode::Done);
  }
  const RunMode mode = ChooseRunMode(options);
  RunWindowlessModes(mode, options, args);
  HANDLE mutex = TakeSingleInstance(mode, options);

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HttpOpenSession();

  const std::wstring registryPath = ReadSetupRegistryValue(layout::kInstallPathValue);
  const std::wstring registryLanguage = ReadSetupRegistryValue(layout::kLanguageValue);
  ChooseLanguages(options, registryLanguage, DisplayPrimaryLanguage());
  ApplyStartupOptions(options, registryPath, DefaultInstallFolder(WindowsFolderRoot()), g_setup);
  ApplyRateLimit(options, mutex);
  OpenWizard(instance, mutex);
  // Nothing shows the size of an unattended run: the run's own manifest is its one fetch.
  if (!g_setup.silent) StartGameSizeQuery({&g_setup.gameSize, &g_setup.remoteVersion, g_setup.mainWindow});
  if (g_setup.silent) StartUnattended(mode == RunMode::UninstallWizard);
  RunMessageLoop();

  if (g_setup.uninstallThread.joinable()) g_setup.uninstallThread.join();
  if (mode == RunMode::UninstallWizard && g_setup.silent && UninstallLeftFiles())
    g_setup.exitCode = static_cast<ExitCode>(kExitUninstallIncomplete);
  if (mode == RunMode::UninstallWizard) ScheduleSelfDelete();
  StopGameSizeQuery();
  HttpCloseSession();
  if (mutex) CloseHandle(mutex);
  EndProcess(g_setup.exitCode);
}
