// The wizard's window procedure: input on hit regions, navigation between pages, the
// animation timer and the messages the workers post.
#include <windows.h>
#include <windowsx.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "ui/window.h"

#include <mutex>
#include <string>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
#include "install/register.h"
#include "install/start.h"
#include "patch/engine.h"
#include "support/failure.h"
#include "support/handles.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/system_library.h"
#include "support/text.h"
#include "ui/accessible.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "ui/format.h"
#include "ui/pages.h"
#include "ui/widgets.h"
#include "uninstall/worker.h"

namespace {

constexpr DWORD kDarkModeAttribute = 20;  // DWMWA_USE_IMMERSIVE_DARK_MODE
constexpr UINT kDpiChanged = 0x02E0;      // WM_DPICHANGED

using DwmSetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);

// A close asked for while the run is already cancelling: the window closes once it has stopped.
bool s_closeWhenStopped = false;

void RequestClose(HWND window) {
  if (g_setup.silent) return;
  if (g_setup.page == SetupPage::Installing && g_engine.running.load()) {
    // The question was answered already; asking again would only delay the close.
    if (g_setup.cancelRequested)
      s_closeWhenStopped = true;
    else
      g_ui.confirmOpen = true;
    Redraw();
  } else if (g_setup.page != SetupPage::Uninstalling) {
    DestroyWindow(window);
  }
}

void PickFolder(HWND window) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              dialog.put_void())))
    return;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(InstallerString(InstallFolderLabel));
  if (FAILED(dialog->Show(window))) return;
  ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(item.put()))) return;
  wchar_t* name = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) return;
  g_setup.installDir = AppendProductFolder(name);
  CoTaskMemFree(name);
  if (g_folderField) SetWindowTextW(g_folderField, g_setup.installDir.c_str());
}

void LaunchGame() {
  if (!g_setup.optLaunchGame || g_setup.noLaunch) return;
  const std::wstring exe = g_setup.installDir + L"\\" + layout::kLauncherExe;
  ShellExecuteW(nullptr, L"open", exe.c_str(), nullptr, g_setup.installDir.c_str(), SW_SHOWNORMAL);
}

void RunPrimary(HWND window) {
  switch (PaintedPage(g_setup.page)) {
    case SetupPage::Welcome:
      ChangePage(SetupPage::Folder);
      break;
    case SetupPage::Folder:
      g_setup.installDir = NormalizeInstallPath(g_setup.installDir);
      if (ValidateInstallFolder()) ChangePage(SetupPage::Summary);
      break;
    case SetupPage::Summary:
      BeginInstall();
      break;
    case SetupPage::Finished:
      LaunchGame();
      DestroyWindow(window);
      break;
    case SetupPage::UninstallConfirm:
      BeginUninstall();
      break;
    case SetupPage::UninstallDone:
      DestroyWindow(window);
      break;
    default:  // Installing, Uninstalling: the button there is not the primary one
      break;
  }
}

void ChooseLanguage(HWND window, int32_t index) {
  if (index < 0 || index >= kInstallerLanguageCount) return;
  g_installerLanguage.store(index);
  SelectLauncherLanguage(InstallerLanguageCode(index));
  SetWindowTextW(window, InstallerString(WindowTitle));
  g_ui.languageListOpen = false;
}

void RunAction(HWND window, int32_t id, int32_t value) {
  if (g_setup.silent) return;
  switch (id) {
    case IdClose: RequestClose(window); break;
    case IdMinimise: ShowWindow(window, SW_MINIMIZE); break;
    case IdBack: ChangePage(static_cast<SetupPage>(static_cast<int32_t>(PaintedPage(g_setup.page)) - 1)); break;
    case IdPrimary: RunPrimary(window); break;
    case IdCancel:
      if (g_setup.page != SetupPage::Installing)
        DestroyWindow(window);
      else if (g_engine.running.load())
        g_ui.confirmOpen = true;
      else
        ChangePage(SetupPage::Summary);
      break;
    case IdLanguageSelector: g_ui.languageListOpen = !g_ui.languageListOpen; break;
    case IdLanguageItem: ChooseLanguage(window, value); break;
    case IdOverlay: g_ui.languageListOpen = false; break;
    case IdBrowse: PickFolder(window); break;
    case IdDesktopShortcut: g_setup.optDesktopShortcut = !g_setup.optDesktopShortcut; break;
    case IdStartMenuShortcut: g_setup.optStartMenuShortcut = !g_setup.optStartMenuShortcut; break;
    case IdLaunchGame: g_setup.optLaunchGame = !g_setup.optLaunchGame; break;
    case IdKeepUserData: g_setup.optKeepUserData = !g_setup.optKeepUserData; break;
    case IdTryAgain: BeginInstall(); break;
    case IdPause:
      // The transfers hold where they are and go on from there (part files, ranges); a pause
      // longer than a request's bound costs no attempt.
      g_engine.pause = !g_engine.pause.load();
      LogLine(g_engine.pause.load() ? L"download paused by the player" : L"download resumed by the player");
      break;
    case IdConfirmYes:
      g_ui.confirmOpen = false;
      g_setup.cancelRequested = true;
      g_engine.cancel.exchange(true);
      break;
    case IdConfirmNo: g_ui.confirmOpen = false; break;
    default: break;
  }
  Redraw();
}

// The run has ended (its running flag is clear) while the Installing page is shown.
void FinishRun(HWND window) {
  KillTimer(window, kAnimationTimer);
  // The question was about a run that no longer exists.
  g_ui.confirmOpen = false;
  if (g_setup.cancelRequested) {
    g_setup.cancelRequested = false;
    if (g_setup.silent || s_closeWhenStopped) {
      if (g_setup.silent) g_setup.exitCode = ExitCode::Cancelled;
      DestroyWindow(window);
      return;
    }
    ChangePage(SetupPage::Summary);
  } else if (g_engine.stage.load() == StageDone && RegisterFinishedInstall()) {
    if (g_setup.silent) {
      DestroyWindow(window);
      return;
    }
    ChangePage(SetupPage::Finished);
  } else {
    g_setup.installFailed = true;
    // A run that finished but could not be registered keeps the registration's reason.
    if (g_engine.stage.load() != StageDone) g_setup.errorText = g_engine.ErrorMessage();
    if (g_setup.errorText.empty()) g_setup.errorText = InstallerString(ErrorInterrupted);
    if (g_setup.silent) {
      g_setup.exitCode = ExitCode::Failed;
      DestroyWindow(window);
      return;
    }
    // What the player does next is Try again (Enter presses it); readers hear the button and then
    // the alerts.
    g_ui.focusId = IdTryAgain;
    Redraw();
  }
}

// One animation tick's speed sample; the meter forgets everything outside the download stage.
void SampleDownloadSpeed() {
  // Paused or waiting for the server, the meter forgets: afterwards the figures rest on new
  // samples again.
  SampleSpeed(g_speed, g_engine.stage.load() == StageDownloading && !g_engine.pause.load() && !WaitingForServer(),
              g_engine.doneBytes.load(), GetTickCount64());
}

// Each tick moves the bar's shine; the figures (percentage, bar, file, speed, time left,
// downloaded) are renewed on every fifteenth tick, twice a second, which is as often as they
// can be read. Rendering the whole window 30 times a second took more than a core under Wine.
// What the page says about the run (waiting for the server, paused, a figure or a dash) is
// renewed, whole, on the tick it changes.
constexpr int kTicksPerFigures = 15;
int s_ticksSinceFigures = 0;
uint64_t s_runState = 0;

void InvalidateCanvasRect(HWND window, Rect r) {
  const float scale = g_setup.dpiScale;
  const RECT pixels{static_cast<LONG>(r.left * scale) - 1, static_cast<LONG>(r.top * scale) - 1,
                    static_cast<LONG>(r.right * scale) + 2, static_cast<LONG>(r.bottom * scale) + 2};
  InvalidateRect(window, &pixels, FALSE);
}

void AnimationTick(HWND window) {
  g_ui.animPhase += 0.033f;
  SampleDownloadSpeed();
  if (g_setup.page == SetupPage::Installing) {
    const uint64_t state = RunPageState();
    if (state != s_runState) {
      s_runState = state;
      s_ticksSinceFigures = 0;
      Redraw();
      return;
    }
  }
  if (++s_ticksSinceFigures >= kTicksPerFigures) {
    s_ticksSinceFigures = 0;
    InvalidateCanvasRect(window, kRunFigures);
  } else if (!HighContrast() && RunBarMoves() && !PaintShine(window)) {  // in the system's colours,
                                                                       // or held, nothing moves
    InvalidateCanvasRect(window, kRunProgressBar);
  }
}

void UninstallFinished(HWND window) {
  KillTimer(window, kAnimationTimer);
  if (g_setup.uninstallThread.joinable()) g_setup.uninstallThread.join();
  if (g_setup.silent) {
    DestroyWindow(window);
    return;
  }
  g_setup.page = SetupPage::UninstallDone;
  Redraw();
}

void OnCreate(HWND window) {
  g_setup.mainWindow = window;
  if (auto setAttribute = SystemProc<DwmSetWindowAttributeFn>(L"dwmapi.dll", "DwmSetWindowAttribute")) {
    const BOOL dark = TRUE;
    setAttribute(window, kDarkModeAttribute, &dark, sizeof dark);
  }
  CreateFolderField(window, UiFontFamily().c_str());
  if (!g_setup.silent) PrepareFirstFrame(window);  // an unattended run never shows its window
}

void OnDestroy(HWND window) {
  ShowWindow(window, SW_HIDE);
  g_engine.Stop();
  PostQuitMessage(0);
}

void OnMouseMove(HWND window, int x, int y) {
  if (!g_ui.trackingLeave) {
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
    g_ui.trackingLeave = true;
  }
  const HitRegion* region = HitTestClientPixels(x, y);
  const int32_t id = region ? region->id : 0;
  const int32_t value = region ? region->value : -1;
  if (id == g_ui.hoverId && value == g_ui.hoverValue) return;
  g_ui.hoverId = id;
  g_ui.hoverValue = value;
  Redraw();
}

void OnButtonDown(HWND window, int x, int y) {
  const HitRegion* region = HitTestClientPixels(x, y);
  g_ui.pressedId = region && region->enabled ? region->id : 0;
  g_ui.pressedValue = region ? region->value : -1;
  if (g_ui.pressedId != 0) SetCapture(window);
  NoteClickFocus(region);
  SetFocus(window);
  Redraw();
}

void OnButtonUp(HWND window, int x, int y) {
  const int32_t id = g_ui.pressedId;
  const int32_t value = g_ui.pressedValue;
  g_ui.pressedId = 0;
  ReleaseCapture();
  const HitRegion* region = HitTestClientPixels(x, y);
  if (id != 0 && region && region->id == id && region->value == value && region->enabled)
    RunAction(window, id, value);
  else
    Redraw();
}

bool OnSetCursor(HWND window, WPARAM wParam, LPARAM lParam) {
  // The text box keeps its own I-beam.
  if (LOWORD(lParam) != HTCLIENT || reinterpret_cast<HWND>(wParam) != window) return false;
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(window, &p);
  const HitRegion* region = HitTestClientPixels(p.x, p.y);
  const bool hand = region && region->enabled && region->id != IdOverlay;
  SetCursor(LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
  return true;
}

}  // namespace

void ChangePage(SetupPage page) {
  g_setup.page = page;
  g_setup.errorText.clear();
  g_ui.languageListOpen = false;
  LayoutFolderField();
  PlacePageFocus();
  // As in dialogs, a new page has a focused control (its frame shows once the keyboard was used).
  if (g_ui.focusId == 0) g_ui.focusId = PageFocusControl(PaintedPage(page));
  Redraw();
}

bool ValidateInstallFolder() {
  g_setup.errorText = FailureText(CheckInstallFolder(g_setup.installDir, RequiredBytes()));
  return g_setup.errorText.empty();
}

uint64_t RequiredBytes() {
  return GetRequiredBytes(g_setup.installDir, g_setup.existingInstall, g_setup.gameSize.load());
}

bool RegisterFinishedInstall() {
  RegistrationRequest request;
  request.folder = g_setup.installDir;
  request.desktopShortcut = g_setup.optDesktopShortcut && !g_setup.noShortcuts;
  request.startMenuShortcut = g_setup.optStartMenuShortcut && !g_setup.noShortcuts;
  request.languageCode = Utf8ToWide(InstallerLanguageCode(g_installerLanguage.load()));
  request.version = g_engine.manifestVersion.load();
  // The size the Welcome page showed, or, where nothing asked for it, the run's own manifest's.
  request.size = g_setup.gameSize.load() ? g_setup.gameSize.load() : g_engine.listedBytes.load();
  const Failure failure = RegisterInstallation(request);
  if (Failed(failure)) {
    g_setup.errorText = FailureText(failure);
    return false;
  }
  g_setup.existingInstall = true;
  return true;
}

bool BeginInstall() {
  g_setup.installDir = NormalizeInstallPath(g_setup.installDir);
  g_setup.installFailed = false;
  g_setup.cancelRequested = false;
  InstallRequest request;
  request.folder = g_setup.installDir;
  request.requiredBytes = RequiredBytes();
  request.repair = g_setup.existingInstall;
  request.desktopShortcut = g_setup.optDesktopShortcut && !g_setup.noShortcuts;
  request.startMenuShortcut = g_setup.optStartMenuShortcut && !g_setup.noShortcuts;
  request.notifyWindow = g_setup.mainWindow;
  const Failure failure = StartInstall(request);
  if (!Failed(failure)) {
    g_setup.errorText.clear();
    ChangePage(SetupPage::Installing);
    ResetSpeedSampling(g_setup.installDir);
    s_closeWhenStopped = false;
    if (g_setup.mainWindow) SetTimer(g_setup.mainWindow, kAnimationTimer, kAnimationIntervalMs, nullptr);
    return true;
  }
  // A refused folder is shown on the Folder page, as its Next would show it.
  if (failure.kind == FailureKind::FolderInvalid || failure.kind == FailureKind::NoSpace)
    ChangePage(SetupPage::Folder);
  g_setup.errorText = FailureText(failure);
  Redraw();
  return false;
}

bool BeginUninstall() {
  const Failure failure = StartUninstall(g_setup.installDir, g_setup.optKeepUserData, g_setup.uninstallThread,
                                         {&g_setup.uninstallDone, &g_setup.uninstallTotal, g_setup.mainWindow});
  g_setup.errorText = FailureText(failure);
  if (Failed(failure)) {
    Redraw();
    return false;
  }
  g_setup.page = SetupPage::Uninstalling;
  if (g_setup.mainWindow) SetTimer(g_setup.mainWindow, kAnimationTimer, kAnimationIntervalMs, nullptr);
  Redraw();
  return true;
}

namespace {

// The mouse and the keyboard; true (with result) when the message was answered here.
bool OnInput(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_SETCURSOR:
      result = TRUE;
      return OnSetCursor(window, wParam, lParam);
    case WM_NCHITTEST: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(window, &p);
      result = HitTestClientPixels(p.x, p.y) ? HTCLIENT : HTCAPTION;
      return true;
    }
    case WM_KEYDOWN: return HandleKey(window, wParam);
    case WM_SYSKEYDOWN:  // Alt+Up and Alt+Down open and close the language list
      return (wParam == VK_UP || wParam == VK_DOWN) && HandleKey(window, wParam);
    case WM_CHAR: return HandleChar(window, static_cast<wchar_t>(wParam));
    case WM_MOUSEMOVE: OnMouseMove(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return true;
    case WM_LBUTTONDOWN: OnButtonDown(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return true;
    case WM_LBUTTONUP: OnButtonUp(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return true;
    case WM_MOUSELEAVE:
      g_ui.trackingLeave = false;
      g_ui.hoverId = 0;
      g_ui.hoverValue = -1;
      Redraw();
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == kFolderFieldId && HIWORD(wParam) == EN_CHANGE) {
        g_setup.installDir = ReadFolderField();
        g_setup.errorText.clear();
        Redraw();
      }
      return true;
    default: return false;
  }
}

// What the workers post: the run's stages, the size query's and the uninstall's end.
bool OnWorkerMessage(HWND window, UINT msg) {
  switch (msg) {
    case kMsgPatchStage:
      if (!g_engine.running.load() && g_setup.page == SetupPage::Installing)
        FinishRun(window);
      else
        Redraw();
      return true;
    case kMsgGameSize: Redraw(); return true;
    case kMsgUninstallDone: UninstallFinished(window); return true;
    default: return false;
  }
}

// Painting, the screen's scale and colours, screen readers and activation; true (with result)
// when the message was answered here.
bool OnShowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_SIZE: ResizeTarget(LOWORD(lParam), HIWORD(lParam)); return true;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintWindow(window, dc, &ps.rcPaint);
      EndPaint(window, &ps);
      return true;
    }
    case WM_ERASEBKGND: result = 1; return true;
    case WM_TIMER:
      if (wParam == kAnimationTimer) AnimationTick(window);
      return true;
    case WM_GETOBJECT: result = AnswerGetObject(window, wParam, lParam); return result != 0;
    case WM_ACTIVATE: return RestoreFocusOnActivate(wParam);
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
      if (ReadHighContrast()) {
        Redraw();
        if (g_folderField) InvalidateRect(g_folderField, nullptr, TRUE);
      }
      return false;
    case kDpiChanged: ApplyDpi(window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return true;
    case WM_CTLCOLOREDIT: {
      if (HighContrast()) return false;  // the system's colours
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, RGB(0x15, 0x10, 0x0D));
      SetTextColor(dc, RGB(0xE3, 0xDC, 0xCF));
      result = reinterpret_cast<LRESULT>(FolderFieldBrush());
      return true;
    }
    default: return false;
  }
}

}  // namespace

LRESULT CALLBACK WizardWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  switch (msg) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_CLOSE: RequestClose(window); return 0;
    default: break;
  }
  if (OnWorkerMessage(window, msg)) return 0;
  if (OnInput(window, msg, wParam, lParam, result)) return result;
  if (OnShowMessage(window, msg, wParam, lParam, result)) return result;
  return DefWindowProcW(window, msg, wParam, lParam);
}

void PressControl(int32_t id, int32_t value) {
  if (g_setup.mainWindow) RunAction(g_setup.mainWindow, id, value);
}

void ApplyDpi(HWND window, UINT dpi, const RECT* suggested) {
  if (dpi == 0) return;
  g_setup.dpiScale = static_cast<float>(dpi) / 96.0f;
  RECT target{};
  if (suggested) {
    target = *suggested;
  } else {
    RECT now{};
    GetWindowRect(window, &now);
    const int width = static_cast<int>(g_setup.dpiScale * 900), height = static_cast<int>(g_setup.dpiScale * 560);
    target.left = (now.left + now.right) / 2 - width / 2;
    target.top = (now.top + now.bottom) / 2 - height / 2;
    target.right = target.left + width;
    target.bottom = target.top + height;
  }
  // The render target's DPI is fixed when it is made: the next paint makes a new one.
  ReleaseDeviceObjects();
  RescaleFolderField(UiFontFamily().c_str());
  SetWindowPos(window, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutFolderField();
  Redraw();
}
