// The wizard's window procedure on a real (hidden) window: hit testing through the regions a
// page registers, clicks, keys, close requests and the messages the workers post.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/languages.h"
#include "app/setup_state.h"
#include "patch/engine.h"
#include "ui/draw.h"
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
  SendMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(Destroyed());
  EXPECT_EQ(g_setup.page, Welcome);
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
    std::lock_guard<std::mutex> lock(g_engine.stateLock);
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
    std::lock_guard<std::mutex> lock(g_engine.stateLock);
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
