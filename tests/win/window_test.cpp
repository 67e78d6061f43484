// The wizard's window procedure on a real (hidden) window: hit testing through the regions a
// page registers, clicks, keys, close requests and the messages the workers post.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include <vector>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/size_query.h"
#include "install_test_util.h"
#include "patch/engine.h"
#include "support/system_library.h"
#include "test_release.h"
#include "test_servers.h"
#include "ui/accessible.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "ui/format.h"
#include "ui/pages.h"
#include "ui/widgets.h"
#include "ui/window.h"

using enum SetupPage;

namespace {

POINT Centre(Rect r) { return POINT{static_cast<LONG>((r.left + r.right) / 2), static_cast<LONG>((r.top + r.bottom) / 2)}; }

// Message-only windows need no display, so these run under any Wine; the folder box, a real
// child control, needs one (test_gui_pages.sh runs those tests on its own screen).
class WizardWindow : public ::testing::Test {
protected:
  virtual HWND Parent() { return HWND_MESSAGE; }
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WizardWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvelSetupTest";
    RegisterClassExW(&wc);
    // Every test starts from the state of a fresh process.
    g_setup.installDir = L"C:\\Quorvel";
    g_setup.errorText.clear();
    g_setup.dpiScale = 1.0f;
    g_setup.optLaunchGame = g_setup.optKeepUserData = true;
    g_setup.optStartMenuShortcut = g_setup.optDesktopShortcut = true;
    g_setup.page = Welcome;
    g_setup.exitCode = ExitCode::Done;
    g_setup.silent = g_setup.installFailed = g_setup.cancelRequested = false;
    g_ui = UiState{};
    g_engine.running = false;
    g_engine.cancel = false;
    g_engine.pause = false;
    g_engine.waitingForServer = 0;
    g_engine.stage = 0;
    SetInstallerLanguage(kEnglishLanguage);
    const HWND parent = Parent();
    window_ = CreateWindowExW(0, L"QuorvelSetupTest", L"Quorvel Setup", parent ? 0 : WS_POPUP, 100, 50,
                              900, 560, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_ && !parent && !std::getenv("QV_GUI_DISPLAY")) GTEST_SKIP() << "needs a display";
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(g_setup.mainWindow, window_);
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // What a paint would put on screen for the current state.
  void Paint() {
    ClearHitRegions();
    PaintContent();
  }
  LPARAM ClientPoint(POINT p) { return MAKELPARAM(p.x, p.y); }
  void Press(POINT p) {
    SendMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(p));
  }
  void Release(POINT p) {
    SendMessageW(window_, WM_LBUTTONUP, 0, ClientPoint(p));
    Paint();
  }
  void Click(POINT p) {
    Press(p);
    Release(p);
  }
  LRESULT NcHit(POINT client) {
    POINT screen = client;
    ClientToScreen(window_, &screen);
    return SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
  }
  bool Destroyed() { return !IsWindow(window_); }

  HWND window_ = nullptr;
};

const POINT kNext = Centre(kRightButton);
const POINT kBack = Centre(kLeftButton);
const POINT kEmptySpot{400, 420};    // inside the page panel, no widget
const POINT kSideBar{128, 500};      // below the step list
const POINT kCloseButton{859, 40};
const POINT kSelector{420, 246};

}  // namespace

TEST(HitTest, EdgesAndOrder) {
  std::vector<HitRegion> regions;
  regions.push_back(HitRegion{IdBack, Rect{10, 20, 30, 40}, true, -1});
  EXPECT_NE(HitTest(regions, 10, 20), nullptr);          // left/top edge: inside
  EXPECT_NE(HitTest(regions, 29.99f, 39.99f), nullptr);
  EXPECT_EQ(HitTest(regions, 30, 25), nullptr);          // right edge: outside
  EXPECT_EQ(HitTest(regions, 15, 40), nullptr);          // bottom edge: outside
  EXPECT_EQ(HitTest(regions, 9.99f, 25), nullptr);
  // A later region lies on top; a disabled one is found all the same.
  regions.push_back(HitRegion{IdPrimary, Rect{25, 30, 50, 60}, false, -1});
  ASSERT_NE(HitTest(regions, 27, 35), nullptr);
  EXPECT_EQ(HitTest(regions, 27, 35)->id, IdPrimary);
  EXPECT_FALSE(HitTest(regions, 27, 35)->enabled);
  EXPECT_EQ(HitTest(regions, 15, 25)->id, IdBack);
}

TEST(HitTest, ClientPixelsAreScaled) {
  g_setup.dpiScale = 1.5f;
  ClearHitRegions();
  AddHitRegion(IdPrimary, kRightButton, true, -1);
  ASSERT_NE(HitTestClientPixels(1050, 717), nullptr);   // (700, 478) * 1.5
  EXPECT_EQ(HitTestClientPixels(1049, 740), nullptr);
  EXPECT_EQ(HitTestClientPixels(1275, 740), nullptr);   // 850 * 1.5: right edge
  g_setup.dpiScale = 1.0f;
}

TEST_F(WizardWindow, EmptySpotsDragAndWidgetsAreClient) {
  g_setup.page = Welcome;
  Paint();
  EXPECT_EQ(NcHit(kEmptySpot), HTCAPTION);
  EXPECT_EQ(NcHit(kSideBar), HTCAPTION);
  EXPECT_EQ(NcHit(kNext), HTCLIENT);
  EXPECT_EQ(NcHit(kSelector), HTCLIENT);
  EXPECT_EQ(NcHit(kCloseButton), HTCLIENT);
}

TEST_F(WizardWindow, DisabledNextShieldsButDoesNothing) {
  g_setup.page = Folder;
  g_setup.installDir = L"Q:\\Quorvel";  // no such drive: not enough space, Next disabled
  Paint();
  const HitRegion* next = HitTestClientPixels(kNext.x, kNext.y);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->id, IdPrimary);
  EXPECT_FALSE(next->enabled);
  EXPECT_EQ(NcHit(kNext), HTCLIENT);  // no window drag from a disabled button
  SendMessageW(window_, WM_MOUSEMOVE, 0, ClientPoint(kNext));
  EXPECT_EQ(g_ui.hoverId, IdPrimary);
  Press(kNext);
  EXPECT_EQ(g_ui.pressedId, 0);
  Release(kNext);
  EXPECT_EQ(g_setup.page, Folder);
  Click(kBack);
  EXPECT_EQ(g_setup.page, Welcome);
}

TEST_F(WizardWindow, PressDragAndRelease) {
  g_setup.page = Welcome;
  Paint();
  Press(kNext);
  EXPECT_EQ(g_ui.pressedId, IdPrimary);
  Release(kEmptySpot);  // released elsewhere: nothing
  EXPECT_EQ(g_setup.page, Welcome);
  Press(kNext);
  SendMessageW(window_, WM_MOUSEMOVE, MK_LBUTTON, ClientPoint(kEmptySpot));
  SendMessageW(window_, WM_MOUSEMOVE, MK_LBUTTON, ClientPoint(kNext));
  Release(kNext);  // dragged back before release: a click
  EXPECT_EQ(g_setup.page, Folder);
  // Pressing one button and releasing on another does nothing.
  Press(kBack);
  Release(kNext);
  EXPECT_EQ(g_setup.page, Folder);
}

TEST_F(WizardWindow, LanguageListIsAnOverlay) {
  g_setup.page = Welcome;
  SetInstallerLanguage(kEnglishLanguage);
  Paint();
  Click(kSelector);
  ASSERT_TRUE(g_ui.languageListOpen);
  // The list spans 222..532 and every other spot, title buttons included, is the overlay.
  EXPECT_EQ(HitTestClientPixels(kCloseButton.x, kCloseButton.y)->id, IdOverlay);
  EXPECT_EQ(HitTestClientPixels(kNext.x, kNext.y)->id, IdOverlay);
  EXPECT_EQ(HitTestClientPixels(300, 223)->id, IdLanguageItem);
  EXPECT_EQ(HitTestClientPixels(300, 223)->value, 0);
  EXPECT_EQ(HitTestClientPixels(300, 222)->id, IdOverlay);  // the list's frame row
  EXPECT_EQ(HitTestClientPixels(300, 531)->id, IdOverlay);  // frame row below the last item
  EXPECT_EQ(HitTestClientPixels(300, 530)->value, 10);
  EXPECT_EQ(NcHit(kEmptySpot), HTCLIENT);  // no dragging from an open overlay

  // A click outside only closes the list.
  Click(kCloseButton);
  EXPECT_FALSE(g_ui.languageListOpen);
  EXPECT_FALSE(Destroyed());

  // Press on one row, release on another: nothing.
  Click(kSelector);
  const POINT row4 = Centre(LanguageRowRect(4)), row7 = Centre(LanguageRowRect(7));
  Press(row4);
  Release(row7);
  EXPECT_TRUE(g_ui.languageListOpen);
  EXPECT_EQ(g_installerLanguage.load(), kEnglishLanguage);

  Click(row4);
  EXPECT_FALSE(g_ui.languageListOpen);
  EXPECT_STREQ(InstallerLanguageCode(g_installerLanguage.load()), "de");
  EXPECT_STREQ(LauncherLanguageCode(g_launcherLanguage.load()), "de");
  // The window title follows the language.
  Click(kSelector);
  Click(Centre(LanguageRowRect(3)));
  EXPECT_STREQ(LauncherLanguageCode(g_launcherLanguage.load()), "fr");
  wchar_t title[64] = {};
  GetWindowTextW(window_, title, 64);
  EXPECT_STREQ(title, L"Installation de Quorvel");
  SetInstallerLanguage(kEnglishLanguage);
}

TEST_F(WizardWindow, EscapeClosesOverlaysOneAtATime) {
  g_setup.page = Welcome;
  g_ui.languageListOpen = true;
  g_ui.confirmOpen = true;
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(g_ui.languageListOpen);
  EXPECT_TRUE(g_ui.confirmOpen);
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(g_ui.confirmOpen);
  EXPECT_FALSE(Destroyed());
  EXPECT_EQ(g_setup.page, Welcome);
  // With nothing open, Escape is the close button: no question on the Welcome page.
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(Destroyed());
}

TEST_F(WizardWindow, EscapeDuringARunAsksAndIsIgnoredWhileUninstalling) {
  g_setup.page = Uninstalling;
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(Destroyed());
  g_setup.page = Installing;
  g_engine.running = true;
  Paint();
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(g_ui.confirmOpen);
  Paint();
  // The question's buttons alone take the focus; No first, the arrows move between them.
  EXPECT_EQ(CurrentFocus().id, IdConfirmNo);
  ASSERT_EQ(FocusOrder().size(), 2u);
  SendMessageW(window_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(CurrentFocus().id, IdConfirmYes);
  SendMessageW(window_, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(CurrentFocus().id, IdConfirmNo);
  SendMessageW(window_, WM_KEYDOWN, VK_RETURN, 0);  // No
  EXPECT_FALSE(g_ui.confirmOpen);
  EXPECT_FALSE(g_engine.cancel.load());
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  Paint();
  SendMessageW(window_, WM_CHAR, L'n', 0);
  EXPECT_FALSE(g_ui.confirmOpen);
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  Paint();
  SendMessageW(window_, WM_CHAR, L'Y', 0);
  EXPECT_FALSE(g_ui.confirmOpen);
  EXPECT_TRUE(g_setup.cancelRequested);
  EXPECT_TRUE(g_engine.cancel.load());
  EXPECT_FALSE(Destroyed());
  g_engine.running = false;
}

TEST_F(WizardWindow, CheckBoxRowsToggle) {
  g_setup.page = Summary;
  Paint();
  Click(POINT{700, 330});  // on the label part of the first row
  EXPECT_FALSE(g_setup.optDesktopShortcut);
  Click(POINT{290, 360});
  EXPECT_FALSE(g_setup.optStartMenuShortcut);
  Click(POINT{290, 330});
  EXPECT_TRUE(g_setup.optDesktopShortcut);
  g_setup.page = Finished;
  Paint();
  Click(POINT{290, 342});
  EXPECT_FALSE(g_setup.optLaunchGame);
  g_setup.page = UninstallConfirm;
  Paint();
  Click(POINT{290, 264});
  EXPECT_FALSE(g_setup.optKeepUserData);
}

TEST_F(WizardWindow, CloseDuringARunAsksFirst) {
  g_setup.page = Installing;
  g_engine.running = true;
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(g_ui.confirmOpen);
  EXPECT_FALSE(Destroyed());
  Paint();
  // The dialog's overlay covers everything but its two buttons; No keeps the run.
  EXPECT_EQ(HitTestClientPixels(kCloseButton.x, kCloseButton.y)->id, IdOverlay);
  Click(POINT{447, 333});
  EXPECT_FALSE(g_ui.confirmOpen);
  EXPECT_FALSE(g_engine.cancel.load());
  // The title bar's close button and Cancel ask the same question; Yes cancels the run.
  Click(kCloseButton);
  EXPECT_TRUE(g_ui.confirmOpen);
  Click(POINT{591, 333});
  EXPECT_FALSE(g_ui.confirmOpen);
  EXPECT_TRUE(g_setup.cancelRequested);
  EXPECT_TRUE(g_engine.cancel.load());
  // While the cancel is pending, Cancel is shown disabled.
  const HitRegion* cancel = HitTestClientPixels(kNext.x, kNext.y);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->id, IdCancel);
  EXPECT_FALSE(cancel->enabled);
  // A stage message while the run still runs only repaints.
  SendMessageW(window_, kMsgPatchStage, StageDownloading, 0);
  EXPECT_EQ(g_setup.page, Installing);
  EXPECT_TRUE(g_setup.cancelRequested);
  // The run's end after a cancel goes back to the Summary page.
  g_engine.running = false;
  SendMessageW(window_, kMsgPatchStage, StageDownloading, 0);
  EXPECT_EQ(g_setup.page, Summary);
  EXPECT_FALSE(g_setup.cancelRequested);
  EXPECT_FALSE(Destroyed());
}

TEST_F(WizardWindow, WhileCancellingACloseDoesNotAskAgain) {
  g_setup.page = Installing;
  g_engine.running = true;
  SendMessageW(window_, WM_CLOSE, 0, 0);
  Paint();
  Click(POINT{591, 333});  // Yes
  ASSERT_TRUE(g_setup.cancelRequested);
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(g_ui.confirmOpen) << "the question was answered already";
  EXPECT_FALSE(Destroyed()) << "the window shows the cancel until the run has stopped";
  Paint();
  EXPECT_FALSE(HitTestClientPixels(kNext.x, kNext.y)->enabled) << "Cancel stays disabled";
  // The close asked for is carried out once the run has stopped, not the way back to Summary.
  g_engine.running = false;
  SendMessageW(window_, kMsgPatchStage, StageDownloading, 0);
  EXPECT_TRUE(Destroyed());
  EXPECT_EQ(g_setup.exitCode, ExitCode::Done);
}

TEST_F(WizardWindow, FailurePageKeepsTheFractionReached) {
  g_setup.page = Installing;
  g_progress = ShownProgress{};
  g_engine.running = true;
  // Checking follows the hashed bytes; the download then starts from its own figure.
  g_engine.stage = StageChecking;
  g_engine.totalBytes = 4000;
  g_engine.doneBytes = 2600;
  Paint();
  EXPECT_DOUBLE_EQ(g_progress.last, 0.65);
  g_engine.stage = StageDownloading;
  g_engine.totalBytes = 1000;
  g_engine.doneBytes = 480;
  Paint();
  EXPECT_DOUBLE_EQ(g_progress.last, 0.48);
  // The run fails: its stage is no longer the download's and the counters may be anything.
  g_engine.running = false;
  g_engine.stage = StageFailed;
  g_engine.doneBytes = 0;
  SendMessageW(window_, kMsgPatchStage, StageFailed, 0);
  ASSERT_TRUE(g_setup.installFailed);
  Paint();
  EXPECT_DOUBLE_EQ(g_progress.last, 0.48);
}

TEST_F(WizardWindow, WelcomeSaysWhenTheSizeQueryFailed) {
  qvtest::EnsureHttpSession();
  qvtest::ClosedPort closed;
  g_patchBaseUrl = L"http://127.0.0.1:" + std::to_wstring(closed.port()) + L"/patch/";
  g_setup.gameSize = 0;
  g_setup.remoteVersion = 0;
  QueryGameSize({&g_setup.gameSize, &g_setup.remoteVersion, window_});
  EXPECT_TRUE(GameSizeQueryFailed());
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, window_, kMsgGameSize, kMsgGameSize, PM_REMOVE)) << "the page is told";
}

TEST_F(WizardWindow, CloseIsIgnoredWhileUninstalling) {
  g_setup.page = Uninstalling;
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(Destroyed());
  SendMessageW(window_, kMsgUninstallDone, 0, 0);
  EXPECT_EQ(g_setup.page, UninstallDone);
  Paint();
  Click(kNext);  // Close
  EXPECT_TRUE(Destroyed());
}

TEST_F(WizardWindow, FailedRunOffersTryAgainAndCancel) {
  g_setup.page = Installing;
  g_engine.running = false;
  g_engine.stage = StageFailed;
  {
    std::lock_guard<SlimLock> lock(g_engine.stateLock);
    g_engine.errorMessage = L"Could not connect to the patch server.";
  }
  SendMessageW(window_, kMsgPatchStage, StageFailed, 0);
  EXPECT_TRUE(g_setup.installFailed);
  EXPECT_EQ(g_setup.errorText, L"Could not connect to the patch server.");
  EXPECT_EQ(g_setup.page, Installing);
  Paint();
  EXPECT_EQ(HitTestClientPixels(kNext.x, kNext.y)->id, IdTryAgain);
  EXPECT_EQ(HitTestClientPixels(kBack.x, kBack.y)->id, IdCancel);
  // Closing a failed run's window needs no question.
  Click(kBack);
  EXPECT_EQ(g_setup.page, Summary);
  EXPECT_TRUE(g_setup.errorText.empty());

  // Without an error text of the run, the interruption text stands in.
  g_setup.page = Installing;
  {
    std::lock_guard<SlimLock> lock(g_engine.stateLock);
    g_engine.errorMessage.clear();
  }
  SendMessageW(window_, kMsgPatchStage, StageFailed, 0);
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorInterrupted));
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Destroyed());
}

TEST_F(WizardWindow, SilentRunEndsSetTheExitCode) {
  g_setup.silent = true;
  g_setup.page = Installing;
  g_engine.running = false;
  g_engine.stage = StageFailed;
  // Nothing the user does reaches a silent wizard.
  SendMessageW(window_, WM_CLOSE, 0, 0);
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(Destroyed());
  SendMessageW(window_, kMsgPatchStage, StageFailed, 0);
  EXPECT_EQ(g_setup.exitCode, ExitCode::Failed);
  EXPECT_TRUE(Destroyed());
}

TEST_F(WizardWindow, SilentCancelExitsWithFive) {
  g_setup.silent = true;
  g_setup.page = Installing;
  g_setup.cancelRequested = true;
  g_engine.running = false;
  g_engine.stage = StageDownloading;
  SendMessageW(window_, kMsgPatchStage, StageDownloading, 0);
  EXPECT_EQ(g_setup.exitCode, ExitCode::Cancelled);
  EXPECT_TRUE(Destroyed());
}

TEST_F(WizardWindow, StageMessagesOffTheInstallingPageOnlyRepaint) {
  g_setup.page = Summary;
  g_engine.running = false;
  g_engine.stage = StageFailed;
  SendMessageW(window_, kMsgPatchStage, StageFailed, 0);
  EXPECT_EQ(g_setup.page, Summary);
  EXPECT_FALSE(g_setup.installFailed);
}

// A top-level window, for what needs a screen: the text box and real paints.
class OnScreen : public WizardWindow {
protected:
  HWND Parent() override { return nullptr; }
};

TEST_F(OnScreen, FolderBoxTypingUpdatesTheFolder) {
  g_setup.page = Folder;
  g_setup.errorText = L"old message";
  LayoutFolderField();
  ASSERT_NE(g_folderField, nullptr);
  EXPECT_TRUE(GetWindowLongW(g_folderField, GWL_STYLE) & WS_VISIBLE);  // the test window itself stays hidden
  EXPECT_EQ(ReadFolderField(), L"C:\\Quorvel");
  SetWindowTextW(g_folderField, L"D:\\Games\\Quorvel");
  EXPECT_EQ(g_setup.installDir, L"D:\\Games\\Quorvel");
  EXPECT_TRUE(g_setup.errorText.empty());
  // The box refuses more than 180 characters typed.
  EXPECT_EQ(SendMessageW(g_folderField, EM_GETLIMITTEXT, 0, 0), 180);
  // Leaving the page hides it; coming back keeps an equivalent text as typed.
  SetWindowTextW(g_folderField, L"D:/Games/Quorvel/");
  g_setup.installDir = L"D:\\Games\\Quorvel";
  g_setup.page = Summary;
  LayoutFolderField();
  EXPECT_FALSE(GetWindowLongW(g_folderField, GWL_STYLE) & WS_VISIBLE);
  g_setup.page = Folder;
  LayoutFolderField();
  EXPECT_EQ(ReadFolderField(), L"D:/Games/Quorvel/");
  g_setup.installDir = L"E:\\Other";
  LayoutFolderField();
  EXPECT_EQ(ReadFolderField(), L"E:\\Other");
  RECT r{};
  GetWindowRect(g_folderField, &r);
  EXPECT_EQ(r.right - r.left, 418);
  EXPECT_EQ(r.bottom - r.top, 20);
}

TEST_F(WizardWindow, PagesAndTheirButtons) {
  struct Expect {
    SetupPage page;
    int32_t leftId;   // 0: nothing in the left slot
    int32_t rightId;
  };
  const Expect pages[] = {{Welcome, IdCancel, IdPrimary},        {Summary, IdBack, IdPrimary},
                          {Installing, 0, IdCancel},             {Finished, 0, IdPrimary},
                          {UninstallConfirm, IdCancel, IdPrimary}, {Uninstalling, 0, 0},
                          {UninstallDone, 0, IdPrimary},         {SetupPage{9}, 0, IdPrimary},
                          {SetupPage{-2}, IdCancel, IdPrimary}};
  g_engine.running = true;
  for (const Expect& e : pages) {
    g_setup.page = e.page;
    Paint();
    const HitRegion* left = HitTestClientPixels(kBack.x, kBack.y);
    const HitRegion* right = HitTestClientPixels(kNext.x, kNext.y);
    EXPECT_EQ(left ? left->id : 0, e.leftId) << "page " << static_cast<int>(e.page);
    EXPECT_EQ(right ? right->id : 0, e.rightId) << "page " << static_cast<int>(e.page);
    // The title bar buttons are on every page.
    EXPECT_EQ(HitTestClientPixels(kCloseButton.x, kCloseButton.y)->id, IdClose);
  }
  g_engine.running = false;
}

// True if the pixel is within 6 of the colour in every channel.
static bool Near(COLORREF pixel, uint32_t rgb) {
  return abs(static_cast<int>(GetRValue(pixel)) - static_cast<int>((rgb >> 16) & 0xFF)) <= 6 &&
         abs(static_cast<int>(GetGValue(pixel)) - static_cast<int>((rgb >> 8) & 0xFF)) <= 6 &&
         abs(static_cast<int>(GetBValue(pixel)) - static_cast<int>(rgb & 0xFF)) <= 6;
}

TEST_F(OnScreen, RepaintsCompletelyAfterADeviceLoss) {
  CreateDrawingResources();
  ShowWindow(window_, SW_SHOWNA);
  g_setup.page = Welcome;
  HDC dc = GetDC(window_);
  PaintWindow(window_, dc);
  const int created = DeviceCreations();
  ASSERT_GE(created, 1);
  EXPECT_TRUE(Near(GetPixel(dc, 300, 108), GoldColour)) << std::hex << GetPixel(dc, 300, 108);
  const size_t regions = g_hitRegions.size();
  EXPECT_GT(regions, 0u);

  // What a lost device leaves behind: nothing drawn, every device object gone.
  RECT client{};
  GetClientRect(window_, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_TRUE(Near(GetPixel(dc, 300, 108), 0x000000));
  ReleaseDeviceObjects();
  PaintWindow(window_, dc);
  EXPECT_EQ(DeviceCreations(), created + 1);
  EXPECT_TRUE(Near(GetPixel(dc, 300, 108), GoldColour)) << std::hex << GetPixel(dc, 300, 108);
  EXPECT_TRUE(Near(GetPixel(dc, 50, 210), GoldColour)) << "current step circle";
  EXPECT_EQ(g_hitRegions.size(), regions);
  ReleaseDC(window_, dc);
}

namespace {

// Shift held (or not) for the thread's key state, which is what GetKeyState reads.
void HoldShift(bool down) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

}  // namespace

TEST_F(WizardWindow, KeyboardAlone) {
  SetInstallerLanguage(kEnglishLanguage);
  g_setup.page = Welcome;
  Paint();
  auto key = [this](WPARAM vk) {
    SendMessageW(window_, WM_KEYDOWN, vk, 0);
    Paint();
  };
  // Welcome: Tab reaches the language box, the arrows choose in the list, Enter takes it.
  EXPECT_FALSE(g_ui.focusVisible);
  key(VK_TAB);
  EXPECT_TRUE(g_ui.focusVisible);
  EXPECT_EQ(CurrentFocus().id, IdLanguageSelector);
  key(VK_SPACE);
  ASSERT_TRUE(g_ui.languageListOpen);
  EXPECT_EQ(g_ui.listHighlight, kEnglishLanguage);
  key(VK_DOWN);
  key(VK_DOWN);
  EXPECT_TRUE(HasFocus(IdLanguageItem, 3));
  key(VK_RETURN);
  EXPECT_FALSE(g_ui.languageListOpen);
  EXPECT_STREQ(InstallerLanguageCode(g_installerLanguage.load()), "fr");
  EXPECT_EQ(CurrentFocus().id, IdLanguageSelector);
  // A typed letter jumps (accents ignored), Escape closes the list without choosing.
  SendMessageW(window_, WM_CHAR, L'c', 0);
  Paint();
  EXPECT_TRUE(g_ui.languageListOpen);
  EXPECT_STREQ(InstallerLanguageCode(g_ui.listHighlight), "cz");
  key(VK_HOME);
  EXPECT_EQ(g_ui.listHighlight, 0);
  key(VK_END);
  EXPECT_EQ(g_ui.listHighlight, kInstallerLanguageCount - 1);
  key(VK_ESCAPE);
  EXPECT_FALSE(g_ui.languageListOpen);
  EXPECT_FALSE(Destroyed());
  EXPECT_STREQ(InstallerLanguageCode(g_installerLanguage.load()), "fr");
  // Tab order: language box, Cancel, Next; Shift+Tab goes back round.
  key(VK_TAB);
  EXPECT_EQ(CurrentFocus().id, IdCancel);
  key(VK_TAB);
  EXPECT_EQ(CurrentFocus().id, IdPrimary);
  key(VK_TAB);
  EXPECT_EQ(CurrentFocus().id, IdLanguageSelector);
  HoldShift(true);
  key(VK_TAB);
  HoldShift(false);
  EXPECT_EQ(CurrentFocus().id, IdPrimary);
  // Enter on the focused selector presses the default button.
  key(VK_TAB);
  key(VK_RETURN);
  EXPECT_EQ(g_setup.page, Folder);

  // A bad folder: Next is disabled and left out of the order.
  g_setup.installDir = L"Q:\\Quorvel";
  Paint();
  for (const FocusStop& stop : FocusOrder()) EXPECT_NE(stop.id, IdPrimary);
  EXPECT_EQ(DefaultButton(), 0);
  key(VK_RETURN);
  EXPECT_EQ(g_setup.page, Folder);

  // Summary: Space toggles the focused check box; Enter there installs, on Back goes back.
  g_setup.page = Summary;
  g_ui.focusId = 0;
  Paint();
  key(VK_TAB);
  EXPECT_EQ(CurrentFocus().id, IdDesktopShortcut);
  key(VK_SPACE);
  EXPECT_FALSE(g_setup.optDesktopShortcut);
  key(VK_SPACE);
  EXPECT_TRUE(g_setup.optDesktopShortcut);
  key(VK_TAB);
  key(VK_TAB);
  EXPECT_EQ(CurrentFocus().id, IdBack);
  key(VK_RETURN);
  EXPECT_EQ(g_setup.page, Folder);

  // Finished: Tab, Space clears the launch option, Enter finishes.
  g_setup.page = Finished;
  Paint();
  key(VK_TAB);
  key(VK_SPACE);
  EXPECT_FALSE(g_setup.optLaunchGame);
  key(VK_RETURN);
  EXPECT_TRUE(Destroyed());
  SetInstallerLanguage(kEnglishLanguage);
}

TEST_F(WizardWindow, KeysDoNothingOnTheUninstallingPage) {
  g_setup.page = Uninstalling;
  Paint();
  for (WPARAM vk : {VK_TAB, VK_RETURN, VK_SPACE, VK_ESCAPE}) SendMessageW(window_, WM_KEYDOWN, vk, 0);
  EXPECT_EQ(g_setup.page, Uninstalling);
  EXPECT_TRUE(FocusOrder().empty());
  EXPECT_FALSE(Destroyed());
}

namespace {

using AccessibleObjectFromWindowFn = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);

// One element as the helper of a screen reader reads it.
struct Read {
  LONG role = 0;
  LONG state = 0;
  std::wstring name, value, action;
};

std::wstring Take(BSTR text) {
  std::wstring s = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return s;
}

// The client's children (or, with child, the children of that child object), through oleacc
// as any reader would get them.
std::vector<Read> ReadTree(HWND window, std::wstring* rootName = nullptr, LONG child = 0) {
  std::vector<Read> tree;
  auto fromWindow = SystemProc<AccessibleObjectFromWindowFn>(L"oleacc.dll", "AccessibleObjectFromWindow");
  IAccessible* acc = nullptr;
  if (!fromWindow || FAILED(fromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&acc))) || !acc)
    return tree;
  if (child) {
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = child;
    IDispatch* object = nullptr;
    IAccessible* inner = nullptr;
    if (acc->get_accChild(id, &object) == S_OK && object) {
      object->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&inner));
      object->Release();
    }
    acc->Release();
    if (!inner) return tree;
    acc = inner;
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  acc->get_accName(self, &text);
  if (rootName) *rootName = Take(text);
  LONG count = 0;
  acc->get_accChildCount(&count);
  for (LONG i = 1; i <= count; ++i) {
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = i;
    Read r;
    VARIANT v{};
    if (SUCCEEDED(acc->get_accRole(id, &v)) && v.vt == VT_I4) r.role = v.lVal;
    if (SUCCEEDED(acc->get_accState(id, &v)) && v.vt == VT_I4) r.state = v.lVal;
    text = nullptr;
    acc->get_accName(id, &text);
    r.name = Take(text);
    text = nullptr;
    acc->get_accValue(id, &text);
    r.value = Take(text);
    text = nullptr;
    acc->get_accDefaultAction(id, &text);
    r.action = Take(text);
    tree.push_back(r);
  }
  acc->Release();
  return tree;
}

const Read* Find(const std::vector<Read>& tree, LONG role, const std::wstring& name) {
  for (const Read& r : tree)
    if (r.role == role && r.name == name) return &r;
  return nullptr;
}

}  // namespace

// While downloading the page offers Pause; paused it says so and offers Resume; while a transfer
// waits for a server that does not answer it says it is connecting. Speed and time left are "-"
// in both.
TEST_F(WizardWindow, InstallingPausedAndWaitingForTheServer) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  g_setup.page = Installing;
  g_engine.running = true;
  g_engine.stage = StageDownloading;
  g_engine.totalBytes = 1000;
  g_engine.doneBytes = 400;
  const auto names = [this] {
    Paint();
    std::wstring all;
    for (const Read& r : ReadTree(window_)) all += r.name + L"|" + r.value + L"\n";
    return all;
  };
  const auto has = [](const std::wstring& all, const std::wstring& line) { return all.find(line) != std::wstring::npos; };
  std::wstring all = names();
  EXPECT_TRUE(has(all, std::wstring(InstallerString(StatusDownloading)) + L"|"));
  EXPECT_TRUE(has(all, std::wstring(LauncherString(LauncherText::PauseButton)) + L"|"));
  g_engine.pause = true;
  all = names();
  EXPECT_TRUE(has(all, std::wstring(LauncherString(LauncherText::StatePaused)) + L"|"));
  EXPECT_TRUE(has(all, std::wstring(LauncherString(LauncherText::PausedHint)) + L"|"));
  EXPECT_TRUE(has(all, std::wstring(LauncherString(LauncherText::ResumeButton)) + L"|"));
  EXPECT_TRUE(has(all, std::wstring(InstallerString(SpeedLabel)) + L"|\n-|")) << qvtest::Narrow(all);
  // The left button resumes and pauses; Cancel, on the right, asks and cancels while paused.
  Click(kBack);
  EXPECT_FALSE(g_engine.pause.load());
  Click(kBack);
  EXPECT_TRUE(g_engine.pause.load());
  Click(kNext);
  EXPECT_TRUE(g_ui.confirmOpen);
  Click(POINT{591, 333});  // Yes
  EXPECT_TRUE(g_engine.cancel.load());
  g_engine.cancel = false;
  g_setup.cancelRequested = false;
  g_engine.pause = false;
  g_engine.waitingForServer = 1;
  all = names();
  EXPECT_TRUE(has(all, std::wstring(InstallerString(StatusConnecting)) + L"|"));
  EXPECT_TRUE(has(all, std::wstring(InstallerString(TimeLeftLabel)) + L"|\n-|")) << qvtest::Narrow(all);
  g_engine.waitingForServer = 0;
  g_engine.running = false;
}

TEST_F(WizardWindow, ScreenReadersReadEveryPage) {
  // A reader's process and the wizard both have COM (the wizard from its start).
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  struct Expect {
    SetupPage page;
    int title;
    std::vector<std::pair<LONG, int>> controls;  // role and name field, in order
  };
  const Expect pages[] = {
      {Welcome, WelcomeTitle, {{ROLE_SYSTEM_COMBOBOX, GameLanguageLabel}, {ROLE_SYSTEM_PUSHBUTTON, CancelButton},
                               {ROLE_SYSTEM_PUSHBUTTON, NextButton}}},
      {Folder, FolderTitle, {{ROLE_SYSTEM_TEXT, InstallFolderLabel}, {ROLE_SYSTEM_PUSHBUTTON, BrowseButton},
                             {ROLE_SYSTEM_PUSHBUTTON, BackButton}, {ROLE_SYSTEM_PUSHBUTTON, NextButton}}},
      {Summary, SummaryTitle, {{ROLE_SYSTEM_CHECKBUTTON, DesktopShortcutOption},
                               {ROLE_SYSTEM_CHECKBUTTON, StartMenuShortcutOption},
                               {ROLE_SYSTEM_PUSHBUTTON, BackButton}, {ROLE_SYSTEM_PUSHBUTTON, InstallButton}}},
      {Installing, InstallingTitle, {{ROLE_SYSTEM_PROGRESSBAR, -1}, {ROLE_SYSTEM_PUSHBUTTON, CancelButton}}},
      {Finished, FinishedTitle, {{ROLE_SYSTEM_CHECKBUTTON, LaunchOption}, {ROLE_SYSTEM_PUSHBUTTON, FinishButton}}},
      {UninstallConfirm, UninstallTitle, {{ROLE_SYSTEM_CHECKBUTTON, KeepUserDataOption},
                                          {ROLE_SYSTEM_PUSHBUTTON, CancelButton},
                                          {ROLE_SYSTEM_PUSHBUTTON, UninstallButton}}},
      {Uninstalling, UninstallTitle, {{ROLE_SYSTEM_PROGRESSBAR, -1}}},
      {UninstallDone, UninstallDoneTitle, {{ROLE_SYSTEM_PUSHBUTTON, CloseButton}}},
  };
  g_setup.installDir = L"C:\\Quorvel";
  for (int32_t language : {kEnglishLanguage, FindInstallerLanguage("de")}) {
    SetInstallerLanguage(language);
    for (const Expect& e : pages) {
      g_setup.page = e.page;
      Paint();
      std::wstring root;
      const std::vector<Read> tree = ReadTree(window_, &root);
      const std::wstring where = L"page " + std::to_wstring(static_cast<int>(e.page)) + L" " + root;
      ASSERT_FALSE(tree.empty()) << static_cast<int>(e.page);
      // The page title names the client and comes first, as a static text.
      EXPECT_EQ(root, InstallerString(e.title));
      EXPECT_EQ(tree[0].role, ROLE_SYSTEM_STATICTEXT);
      EXPECT_EQ(tree[0].name, InstallerString(e.title));
      size_t at = 0;
      for (const auto& [role, field] : e.controls) {
        while (at < tree.size() && tree[at].role != role) ++at;
        ASSERT_LT(at, tree.size()) << "missing role " << role << " on page " << static_cast<int>(e.page);
        if (field >= 0) EXPECT_EQ(tree[at].name, InstallerString(field)) << static_cast<int>(e.page);
        if (role == ROLE_SYSTEM_PUSHBUTTON) EXPECT_EQ(tree[at].action, InstallerString(ActionPress));
        if (role == ROLE_SYSTEM_PROGRESSBAR) EXPECT_EQ(tree[at].value, L"0%");
        ++at;
      }
      // The title bar's buttons close every page's tree; where the page has its own Close, the
      // title bar's is not offered a second time.
      ASSERT_GE(tree.size(), 2u);
      const bool pageClose = e.page == UninstallDone;
      EXPECT_EQ(tree[tree.size() - (pageClose ? 1 : 2)].name, InstallerString(MinimiseButton));
      if (!pageClose) {
        EXPECT_EQ(tree.back().name, InstallerString(CloseButton));
      }
      EXPECT_EQ(std::count_if(tree.begin(), tree.end(), [](const Read& r) { return r.name == InstallerString(CloseButton); }),
                1) << "page " << static_cast<int>(e.page);
      // Every element has a name, and Tab reaches every element offered as focusable.
      std::vector<std::wstring> focusable, reached;
      for (const Read& r : tree) {
        EXPECT_FALSE(r.name.empty()) << "role " << r.role << " on page " << static_cast<int>(e.page);
        if (r.state & STATE_SYSTEM_FOCUSABLE) focusable.push_back(r.name);
      }
      g_ui.focusId = 0;
      for (size_t i = 0; i < focusable.size() + 2; ++i) {
        SendMessageW(window_, WM_KEYDOWN, VK_TAB, 0);
        for (const AccessItem* item : AccessChildren())
          if (item->id != 0 && item->id == CurrentFocus().id && std::find(reached.begin(), reached.end(), item->name) == reached.end())
            reached.push_back(item->name);
      }
      std::sort(focusable.begin(), focusable.end());
      std::sort(reached.begin(), reached.end());
      EXPECT_EQ(focusable, reached) << "page " << static_cast<int>(e.page);
      g_ui.focusId = 0;
    }
  }
  SetInstallerLanguage(kEnglishLanguage);
  // The progress bars are named.
  g_setup.page = Installing;
  Paint();
  const std::vector<Read> installing = ReadTree(window_);
  ASSERT_NE(Find(installing, ROLE_SYSTEM_PROGRESSBAR, L"Installation progress"), nullptr);
  EXPECT_EQ(Find(installing, ROLE_SYSTEM_PROGRESSBAR, L"Installation progress")->value, L"0%");
  g_setup.page = Uninstalling;
  Paint();
  ASSERT_NE(Find(ReadTree(window_), ROLE_SYSTEM_PROGRESSBAR, L"Removal progress"), nullptr);
  // Close does nothing while uninstalling: it is offered as unavailable.
  const std::vector<Read> uninstalling = ReadTree(window_);
  ASSERT_NE(Find(uninstalling, ROLE_SYSTEM_PUSHBUTTON, L"Close"), nullptr);
  EXPECT_TRUE(Find(uninstalling, ROLE_SYSTEM_PUSHBUTTON, L"Close")->state & STATE_SYSTEM_UNAVAILABLE);
  g_setup.page = Folder;
  Paint();
  ASSERT_NE(Find(ReadTree(window_), ROLE_SYSTEM_PROGRESSBAR, L"Space used"), nullptr);

  // The default button is marked; Next is unavailable while the folder cannot be used.
  g_setup.page = Folder;
  g_setup.installDir = L"Q:\\Quorvel";
  Paint();
  std::vector<Read> tree = ReadTree(window_);
  const Read* next = Find(tree, ROLE_SYSTEM_PUSHBUTTON, L"Next");
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(next->state & STATE_SYSTEM_UNAVAILABLE);
  EXPECT_TRUE(next->action.empty());
  EXPECT_EQ(Find(tree, ROLE_SYSTEM_TEXT, L"Installation folder")->value, ReadFolderField());
  g_setup.installDir = L"C:\\Quorvel";
  Paint();
  tree = ReadTree(window_);
  next = Find(tree, ROLE_SYSTEM_PUSHBUTTON, L"Next");
  EXPECT_FALSE(next->state & STATE_SYSTEM_UNAVAILABLE);
  EXPECT_TRUE(next->state & STATE_SYSTEM_DEFAULT);

  // A check box's state follows a click, and its default action toggles it.
  g_setup.page = Summary;
  Paint();
  EXPECT_TRUE(Find(ReadTree(window_), ROLE_SYSTEM_CHECKBUTTON, L"Create a desktop shortcut")->state & STATE_SYSTEM_CHECKED);
  EXPECT_EQ(Find(ReadTree(window_), ROLE_SYSTEM_CHECKBUTTON, L"Create a desktop shortcut")->action, L"Uncheck");
  Click(POINT{700, 330});
  EXPECT_FALSE(Find(ReadTree(window_), ROLE_SYSTEM_CHECKBUTTON, L"Create a desktop shortcut")->state & STATE_SYSTEM_CHECKED);
  auto fromWindow = SystemProc<AccessibleObjectFromWindowFn>(L"oleacc.dll", "AccessibleObjectFromWindow");
  IAccessible* acc = nullptr;
  ASSERT_TRUE(SUCCEEDED(fromWindow(window_, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&acc))));
  tree = ReadTree(window_);
  LONG desktop = 0;
  for (size_t i = 0; i < tree.size(); ++i)
    if (tree[i].role == ROLE_SYSTEM_CHECKBUTTON && !desktop) desktop = static_cast<LONG>(i + 1);
  VARIANT id{};
  id.vt = VT_I4;
  id.lVal = desktop;
  EXPECT_EQ(acc->accDoDefaultAction(id), S_OK);
  EXPECT_TRUE(g_setup.optDesktopShortcut);
  // Its place on screen: canvas units times the scale, from the client's origin.
  LONG x = 0, y = 0, w = 0, h = 0;
  EXPECT_EQ(acc->accLocation(&x, &y, &w, &h, id), S_OK);
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  EXPECT_EQ(x - origin.x, 282);
  EXPECT_EQ(y - origin.y, 318);
  EXPECT_EQ(w, 568);
  EXPECT_EQ(h, 24);
  acc->Release();

  // An open question hides the page: only its text and its two buttons remain, No the default.
  g_setup.page = Installing;
  g_ui.confirmOpen = true;
  Paint();
  tree = ReadTree(window_);
  ASSERT_EQ(tree.size(), 3u);
  EXPECT_EQ(tree[0].role, ROLE_SYSTEM_ALERT);
  EXPECT_EQ(tree[0].name, InstallerString(CancelQuestion));
  EXPECT_EQ(tree[1].name, L"No");
  EXPECT_TRUE(tree[1].state & STATE_SYSTEM_DEFAULT);
  EXPECT_EQ(tree[2].name, L"Yes");
  g_ui.confirmOpen = false;

  // The open language list: a list of eleven items by their own names, the current one selected.
  g_setup.page = Welcome;
  g_ui.languageListOpen = true;
  Paint();
  tree = ReadTree(window_);
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0].role, ROLE_SYSTEM_LIST);
  EXPECT_EQ(tree[0].name, L"Game language");
  tree = ReadTree(window_, nullptr, 1);
  ASSERT_EQ(tree.size(), static_cast<size_t>(kInstallerLanguageCount));
  for (int32_t i = 0; i < kInstallerLanguageCount; ++i) {
    EXPECT_EQ(tree[i].role, ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(tree[i].name, InstallerLanguageName(i));
    EXPECT_EQ((tree[i].state & STATE_SYSTEM_SELECTED) != 0, i == kEnglishLanguage);
  }
  g_ui.languageListOpen = false;
}

TEST_F(OnScreen, FolderPageFocusAndTheKeysInTheBox) {
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  g_setup.page = Welcome;
  Paint();
  SendMessageW(window_, WM_KEYDOWN, VK_RETURN, 0);  // Next, the default
  ASSERT_EQ(g_setup.page, Folder);
  Paint();
  // The box has the focus, the caret after the text.
  EXPECT_EQ(GetFocus(), g_folderField);
  EXPECT_EQ(CurrentFocus().id, kFolderFieldId);
  const DWORD length = static_cast<DWORD>(GetWindowTextLengthW(g_folderField));
  DWORD start = 0, end = 0;
  SendMessageW(g_folderField, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, length);
  EXPECT_EQ(end, length);
  // Readers asking the box itself hear its caption.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::wstring boxName;
  auto fromWindow = SystemProc<AccessibleObjectFromWindowFn>(L"oleacc.dll", "AccessibleObjectFromWindow");
  IAccessible* box = nullptr;
  if (fromWindow && SUCCEEDED(fromWindow(g_folderField, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&box))) && box) {
    VARIANT self{};
    self.vt = VT_I4;
    BSTR text = nullptr;
    box->get_accName(self, &text);
    boxName = Take(text);
    box->Release();
  }
  // Wine's oleacc does not take names for windows (SetHwndPropStr: E_NOTIMPL).
  if (NameFolderField()) EXPECT_EQ(boxName, L"Installation folder");
  // Tab leaves the box for Browse; Shift+Tab comes back.
  SendMessageW(g_folderField, WM_KEYDOWN, VK_TAB, 0);
  Paint();
  EXPECT_EQ(CurrentFocus().id, IdBrowse);
  EXPECT_EQ(GetFocus(), window_);
  HoldShift(true);
  SendMessageW(window_, WM_KEYDOWN, VK_TAB, 0);
  HoldShift(false);
  EXPECT_EQ(GetFocus(), g_folderField);
  // Reached with Tab, its text is selected, so typing replaces it.
  SendMessageW(g_folderField, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, length);
  // Enter in the box presses Next.
  SetWindowTextW(g_folderField, L"C:\\Games\\Quorvel");
  SendMessageW(g_folderField, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(g_setup.page, Summary);
  EXPECT_EQ(g_setup.installDir, L"C:\\Games\\Quorvel");
  EXPECT_NE(GetFocus(), g_folderField);
}

TEST_F(OnScreen, DpiChangeTakesTheSuggestedRectangleAndRescales) {
  CreateDrawingResources();
  ShowWindow(window_, SW_SHOWNA);
  g_setup.page = Folder;
  LayoutFolderField();
  RECT suggested{40, 30, 40 + 1350, 30 + 840};
  SendMessageW(window_, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_FLOAT_EQ(g_setup.dpiScale, 1.5f);
  RECT r{};
  GetWindowRect(window_, &r);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.top, 30);
  EXPECT_EQ(r.right - r.left, 1350);
  EXPECT_EQ(r.bottom - r.top, 840);
  // The folder box and its font follow; input is scaled too.
  GetWindowRect(g_folderField, &r);
  EXPECT_EQ(r.right - r.left, 627);
  EXPECT_EQ(r.bottom - r.top, 30);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(g_folderField, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -21);
  HDC dc = GetDC(window_);
  PaintWindow(window_, dc);
  // The gold underline bar (282..338, 108..110) now lies at 1.5 times its place.
  EXPECT_TRUE(Near(GetPixel(dc, 430, 163), GoldColour)) << std::hex << GetPixel(dc, 430, 163);
  EXPECT_FALSE(Near(GetPixel(dc, 430, 169), GoldColour));
  ASSERT_NE(HitTestClientPixels(1160, 740), nullptr);  // Next at (775, 498) * 1.5
  EXPECT_EQ(HitTestClientPixels(1160, 740)->id, IdPrimary);
  // Back to 96: everything as before, the centre kept when no rectangle is suggested.
  SendMessageW(window_, 0x02E0, MAKEWPARAM(96, 96), 0);
  GetWindowRect(window_, &r);
  EXPECT_EQ(r.right - r.left, 900);
  EXPECT_EQ(r.bottom - r.top, 560);
  EXPECT_EQ((r.left + r.right) / 2, 40 + 675);
  PaintWindow(window_, dc);
  EXPECT_TRUE(Near(GetPixel(dc, 300, 108), GoldColour));
  ReleaseDC(window_, dc);
  g_setup.dpiScale = 1.0f;
}

TEST_F(OnScreen, HighContrastDrawsInTheSystemColours) {
  CreateDrawingResources();
  ShowWindow(window_, SW_SHOWNA);
  g_setup.page = Summary;
  // Wine keeps high contrast off whatever it is told; then the drawing is switched directly.
  HIGHCONTRASTW hc{sizeof hc, HCF_HIGHCONTRASTON, nullptr};
  const bool systemSwitch = SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof hc, &hc, 0) != FALSE;
  SendMessageW(window_, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  if (!HighContrast()) SetHighContrastForTesting(true);
  HDC dc = GetDC(window_);
  PaintWindow(window_, dc);
  auto isSys = [](COLORREF pixel, int index) {
    const COLORREF c = GetSysColor(index);
    return Near(pixel, (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
  };
  EXPECT_TRUE(isSys(GetPixel(dc, 600, 420), COLOR_WINDOW)) << "plain background";
  EXPECT_TRUE(isSys(GetPixel(dc, 120, 500), COLOR_WINDOW)) << "no stone picture";
  EXPECT_TRUE(isSys(GetPixel(dc, 300, 108), COLOR_HIGHLIGHT)) << "the gold accent";
  EXPECT_TRUE(isSys(GetPixel(dc, 700, 478), COLOR_WINDOWTEXT)) << "a button's outline";
  int text = 0;
  for (int x = 282; x < 500; ++x)
    for (int y = 64; y < 104; ++y) text += isSys(GetPixel(dc, x, y), COLOR_WINDOWTEXT) ? 1 : 0;
  EXPECT_GT(text, 40) << "the title in the window text colour";
  if (systemSwitch) {
    hc.dwFlags = 0;
    SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof hc, &hc, 0);
  }
  SetHighContrastForTesting(false);
  PaintWindow(window_, dc);
  EXPECT_TRUE(Near(GetPixel(dc, 300, 108), GoldColour));
  ReleaseDC(window_, dc);
}

// Animation ticks move the bar's shine by painting the bar alone: its brightest band is where
// the phase puts it, within the filled part, and the track beyond the fill is left as it was.
TEST_F(OnScreen, TicksMoveTheShineWhereThePhasePutsIt) {
  CreateDrawingResources();
  ShowWindow(window_, SW_SHOWNA);
  g_setup.page = Installing;
  g_setup.installDir = L"C:\\Shine";
  ResetSpeedSampling(g_setup.installDir);  // the bar shows this run's half, not an earlier one's
  g_engine.stage = StageDownloading;
  g_engine.doneBytes = 50;
  g_engine.totalBytes = 100;
  HDC dc = GetDC(window_);
  auto row = [&] {
    std::vector<int> light;
    for (int x = 283; x < 849; ++x) {
      const COLORREF c = GetPixel(dc, x, 277);
      light.push_back(GetRValue(c) + GetGValue(c) + GetBValue(c));
    }
    return light;
  };
  g_ui.animPhase = 1.0f;
  PaintWindow(window_, dc);
  const std::vector<int> first = row();
  const float fillWidth = ProgressFillWidth(0.5, 282, 850);
  for (const float phase : {1.5f, 2.0f}) {
    g_ui.animPhase = phase;
    const std::vector<int> before = row();
    if (!PaintShine(window_)) PaintWindow(window_, dc);  // a target that renders every frame
    const std::vector<int> after = row();
    // The middle of the columns that brightened (darkened) the most: a few share the top value.
    auto middleOfMost = [&](int sign) {
      int most = 0, from = 0, to = 0;
      for (size_t i = 0; i < after.size(); ++i) {
        const int d = sign * (after[i] - before[i]);
        if (d > most) most = d, from = to = static_cast<int>(i);
        else if (d == most) to = static_cast<int>(i);
      }
      return (from + to) / 2.0f;
    };
    const float gained = middleOfMost(1), lost = middleOfMost(-1);
    const float peak = ShineLeft(phase, fillWidth, 283) + 60 - 283;
    const float lastPeak = ShineLeft(phase - 0.5f, fillWidth, 283) + 60 - 283;
    EXPECT_NEAR(gained, peak, 4) << "phase " << phase;
    EXPECT_NEAR(lost, lastPeak, 4) << "phase " << phase;
    for (size_t i = static_cast<size_t>(fillWidth) + 2; i < after.size(); ++i)
      ASSERT_EQ(after[i], first[i]) << "the track changed at x " << 283 + i;
  }
  ReleaseDC(window_, dc);
  ResetSpeedSampling(L"");  // the next test's bar starts from nothing, as in a fresh process
}

namespace {

struct WinEvent {
  DWORD event;
  LONG object, child;
};
std::vector<WinEvent> s_events;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
  s_events.push_back(WinEvent{event, object, child});
}

}  // namespace

TEST_F(OnScreen, ReadersAreToldWhatChanged) {
  CreateDrawingResources();
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  SetFocus(window_);
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, RecordEvent, GetCurrentProcessId(), 0,
                                       WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  HDC dc = GetDC(window_);
  // Paints, then the events it raised for the client area.
  // An event of the test's own, raised after the paint: events reach the hook in order, so
  // once it has arrived every event the paint raised has too.
  constexpr DWORD kSentinel = EVENT_AIA_START + 7;
  auto paint = [&] {
    s_events.clear();
    PaintWindow(window_, dc);
    NotifyWinEvent(kSentinel, window_, OBJID_WINDOW, CHILDID_SELF);
    const auto arrived = [&] {
      for (const WinEvent& e : s_events)
        if (e.event == kSentinel) return true;
      return false;
    };
    MSG msg;
    for (int i = 0; i < 100 && !arrived(); ++i) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    EXPECT_TRUE(arrived()) << "the events of a paint never reached the hook";
    std::vector<WinEvent> mine;
    for (const WinEvent& e : s_events)
      if (e.object == OBJID_CLIENT) mine.push_back(e);
    return mine;
  };
  auto has = [](const std::vector<WinEvent>& events, DWORD event, LONG child) {
    for (const WinEvent& e : events)
      if (e.event == event && (child < 0 || e.child == child)) return true;
    return false;
  };
  auto childOf = [](int32_t id) {
    const std::vector<const AccessItem*> children = AccessChildren();
    for (size_t i = 0; i < children.size(); ++i)
      if (children[i]->id == id) return static_cast<LONG>(i + 1);
    return 0L;
  };
  g_setup.page = Welcome;
  paint();
  g_setup.page = Summary;
  EXPECT_TRUE(has(paint(), EVENT_OBJECT_NAMECHANGE, CHILDID_SELF)) << "a new page";
  SendMessageW(window_, WM_KEYDOWN, VK_TAB, 0);
  std::vector<WinEvent> events = paint();
  EXPECT_TRUE(has(events, EVENT_OBJECT_FOCUS, childOf(IdDesktopShortcut))) << "focus on the first check box";
  SendMessageW(window_, WM_KEYDOWN, VK_SPACE, 0);
  events = paint();
  EXPECT_TRUE(has(events, EVENT_OBJECT_STATECHANGE, childOf(IdDesktopShortcut))) << "the check box cleared";
  EXPECT_FALSE(has(events, EVENT_OBJECT_FOCUS, -1)) << "the focus did not move";
  g_setup.errorText = L"Quorvel is open. Close it and try again.";
  EXPECT_TRUE(has(paint(), EVENT_SYSTEM_ALERT, -1)) << "an error line";
  EXPECT_FALSE(has(paint(), EVENT_SYSTEM_ALERT, -1)) << "the same error line again";
  g_setup.errorText.clear();
  g_setup.page = Folder;
  g_setup.installDir = L"C:\\Spiele\\bad:name";
  EXPECT_TRUE(has(paint(), EVENT_SYSTEM_ALERT, -1)) << "the folder's problem, before any click";
  g_setup.installDir = L"C:\\Quorvel";
  g_setup.page = Installing;
  g_engine.running = true;
  g_engine.stage = StageDownloading;
  g_engine.totalBytes = 100;
  g_engine.doneBytes = 10;
  paint();
  g_engine.doneBytes = 50;
  EXPECT_TRUE(has(paint(), EVENT_OBJECT_VALUECHANGE, -1)) << "the progress moved";
  g_ui.confirmOpen = true;
  EXPECT_TRUE(has(paint(), EVENT_SYSTEM_ALERT, 1)) << "the question, read as it opens";
  g_ui.confirmOpen = false;
  g_engine.running = false;
  g_engine.stage = 0;
  g_engine.doneBytes = g_engine.totalBytes = 0;
  g_setup.errorText.clear();
  UnhookWinEvent(hook);
  ReleaseDC(window_, dc);
}

TEST(MiddleTrimming, LongFoldersKeepTheirLastNameInTheirOwnStyle) {
  CreateDrawingResources();
  std::wstring folder = L"D:\\";
  while (folder.size() < 122) folder += L"Spiele und Programme\\";
  folder.resize(122);
  folder += L"\\Quorvel";
  ASSERT_EQ(folder.size(), 130u);
  for (TextStyle style : {LabelText, SmallText}) {
    const std::wstring shown = TrimPathToWidth(folder, style, 364);
    EXPECT_LT(shown.size(), folder.size());
    EXPECT_EQ(shown.substr(shown.size() - 9), L"\u2026\\Quorvel");
    EXPECT_EQ(shown.substr(0, 10), folder.substr(0, 10));
  }
  // The smaller style keeps more of the beginning; a short folder stays whole.
  EXPECT_GT(TrimPathToWidth(folder, SmallText, 364).size(), TrimPathToWidth(folder, LabelText, 364).size());
  EXPECT_EQ(TrimPathToWidth(L"C:\\Quorvel", LabelText, 364), L"C:\\Quorvel");
}

// A whole install through the window against a throttled server: cancelled, installed again,
// failed by the server, tried again and cancelled. The percentage never falls within a stage,
// the first speed shown after each start is the line's, and a cancel reaches the Summary page
// promptly.
TEST_F(WizardWindow, ThrottledInstallCancelledResumedFailedAndRetried) {
  qvtest::SharedStateLock lock;
  qvtest::ScratchFolder base;
  struct StopRun {
    ~StopRun() { g_engine.Stop(); }  // before the folder goes, however the test ends
  } stopRun;
  qvtest::EnsureHttpSession();
  qvtest::UseTestKey();
  qvtest::Release release;
  g_patchBaseUrl = release.FaultBase();
  // Four objects of 400 KB, then four of 800 KB, each sent at 80 KB/s: four transfers at once
  // make 320 KB/s, and a run that resumes the large ones still has four transfers to make.
  const char* throttle = R"({"slow_ms":100,"chunk":8192})";
  std::string files;
  std::vector<qvtest::PublishedObject> objects;
  for (int i = 0; i < 8; ++i) {
    objects.push_back(release.Put(qvtest::RandomBytes(i < 4 ? 400000 : 800000, 60 + i)));
    // The fifth object fails the first run that asks for it (three attempts).
    qvtest::FaultScript(release.ObjectPath(objects.back().hash),
                        i == 4 ? R"([{"status":404},{"status":404},{"status":404}])" : "[]", throttle);
    if (!files.empty()) files += ",";
    files += qvtest::EntryJson("data/f" + std::to_string(i) + ".bin", objects.back());
  }
  release.Sign("{\"format\":1,\"version\":3,\"files\":[" + files + "]}");
  g_setup.installDir = base / L"Quorvel";
  g_setup.gameSize = 4800000;
  g_setup.noShortcuts = true;
  g_progress = ShownProgress{};

  std::vector<std::pair<int32_t, double>> shown;  // the stage and percentage of every paint, in order
  // Pumps the window's messages (its timer samples the speed) and paints every 30 ms until
  // done() holds or seconds pass; also notes the first speed shown and when it was.
  float firstSpeed = 0.0f;
  // The most bytes seen done: transfers stopped by a failure take their bytes back, but those
  // bytes did come over the line.
  uint64_t firstSpeedTick = 0, firstSpeedBytes = 0, peakDone = 0;
  const auto pump = [&](const std::function<bool()>& done, int seconds) {
    const uint64_t end = GetTickCount64() + seconds * 1000ull;
    while (!done() && GetTickCount64() < end) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT);
      peakDone = std::max(peakDone, g_engine.doneBytes.load());
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (Destroyed() || g_setup.page != Installing) continue;
      const int32_t stage = g_engine.stage.load();
      Paint();
      if (g_engine.stage.load() == stage) shown.push_back({stage, g_progress.last});
      if (firstSpeedTick == 0 && SpeedText(g_speed) != L"-") {
        firstSpeed = MeasuredSpeed(g_speed);
        firstSpeedTick = GetTickCount64();
        firstSpeedBytes = peakDone = g_engine.doneBytes.load();
      }
    }
    return done();
  };
  // The line's real rate from the first speed shown until now, against that first speed.
  // A speed must be shown again after each restart. How close it comes to the line's rate is
  // checked by the first-speed screen script against the server's limit; this machine's clock
  // only prints the comparison.
  const auto expectFirstSpeedTrue = [&](const char* when) {
    ASSERT_NE(firstSpeedTick, 0u) << when << ": no speed was shown";
    EXPECT_GT(firstSpeed, 0.0f) << when;
    const double seconds = static_cast<double>(GetTickCount64() - firstSpeedTick) / 1000.0;
    const double real = seconds > 0 ? static_cast<double>(peakDone - firstSpeedBytes) / seconds : 0;
    std::printf("%s: first speed shown %.0f B/s, the line's rate over the next %.1f s %.0f B/s\n", when,
                firstSpeed, seconds, real);
    firstSpeedTick = 0;
  };
  const auto downloaded = [&](double fraction) {
    return [&, fraction] {
      return g_engine.stage.load() == StageDownloading &&
             g_engine.doneBytes.load() >= fraction * static_cast<double>(g_engine.totalBytes.load());
    };
  };
  // A cancel must end at the Summary page; how soon depends on the transfers' watch step, which
  // the request tests check, not on this machine's clock.
  const auto cancel = [&] {
    SendMessageW(window_, WM_CLOSE, 0, 0);
    Paint();
    Click(POINT{591, 333});  // Yes
    EXPECT_TRUE(pump([&] { return g_setup.page == Summary; }, 20));
  };

  g_setup.page = Summary;
  ASSERT_TRUE(BeginInstall()) << qvtest::Narrow(g_setup.errorText);
  ASSERT_TRUE(pump(downloaded(0.15), 60));
  cancel();

  Paint();
  Click(kNext);  // Install again: four parts resume, then the fifth object fails
  ASSERT_EQ(g_setup.page, Installing);
  ASSERT_TRUE(pump([&] { return g_setup.installFailed; }, 60));
  expectFirstSpeedTrue("after a cancel");
  const double atFailure = g_progress.last;
  EXPECT_GT(atFailure, 0.15);

  Paint();
  Click(kNext);  // Try again
  ASSERT_FALSE(g_setup.installFailed);
  ASSERT_TRUE(pump([&] { return firstSpeedTick != 0; }, 60));
  expectFirstSpeedTrue("after Try again");
  cancel();

  ASSERT_GT(shown.size(), 50u);
  std::map<int32_t, double> reached;
  for (size_t i = 0; i < shown.size(); ++i) {
    ASSERT_GE(shown[i].second, reached[shown[i].first]) << "stage " << shown[i].first << " fell at paint " << i;
    reached[shown[i].first] = shown[i].second;
  }
  EXPECT_EQ(shown.back().first, StageDownloading);
  EXPECT_GE(shown.back().second, atFailure);
}
