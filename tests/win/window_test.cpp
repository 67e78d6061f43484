// The wizard's window procedure on a real (hidden) window: hit testing through the regions a
// page registers, clicks, keys, close requests and the messages the workers post.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <vector>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/size_query.h"
#include "install_test_util.h"
#include "patch/engine.h"
#include "test_release.h"
#include "test_servers.h"
#include "ui/draw.h"
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
  QueryGameSize();
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
// failed by the server, tried again and cancelled. The percentage never falls, the first speed
// shown after each start is the line's, and a cancel reaches the Summary page promptly.
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

  std::vector<double> shown;  // the percentage of every paint, in order
  // Pumps the window's messages (its timer samples the speed) and paints every 30 ms until
  // done() holds or seconds pass; also notes the first speed shown and when it was.
  float firstSpeed = 0.0f;
  uint64_t firstSpeedTick = 0, firstSpeedBytes = 0;
  const auto pump = [&](const std::function<bool()>& done, int seconds) {
    const uint64_t end = GetTickCount64() + seconds * 1000ull;
    while (!done() && GetTickCount64() < end) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (Destroyed() || g_setup.page != Installing) continue;
      Paint();
      shown.push_back(g_progress.last);
      if (firstSpeedTick == 0 && SpeedText(g_speed) != L"-") {
        firstSpeed = MeasuredSpeed(g_speed);
        firstSpeedTick = GetTickCount64();
        firstSpeedBytes = g_engine.doneBytes.load();
      }
    }
    return done();
  };
  // The line's real rate from the first speed shown until now, against that first speed.
  const auto expectFirstSpeedTrue = [&](const char* when) {
    ASSERT_NE(firstSpeedTick, 0u) << when << ": no speed was shown";
    const double seconds = static_cast<double>(GetTickCount64() - firstSpeedTick) / 1000.0;
    ASSERT_GT(seconds, 1.0) << when;
    const double real = static_cast<double>(g_engine.doneBytes.load() - firstSpeedBytes) / seconds;
    std::printf("%s: first speed shown %.0f B/s, the line's rate over the next %.1f s %.0f B/s\n", when,
                firstSpeed, seconds, real);
    EXPECT_GT(firstSpeed, real / 3) << when << ": first speed " << firstSpeed << " B/s, line " << real << " B/s";
    EXPECT_LT(firstSpeed, real * 3) << when << ": first speed " << firstSpeed << " B/s, line " << real << " B/s";
    firstSpeedTick = 0;
  };
  const auto downloaded = [&](double fraction) {
    return [&, fraction] {
      return g_engine.stage.load() == StageDownloading &&
             g_engine.doneBytes.load() >= fraction * static_cast<double>(g_engine.totalBytes.load());
    };
  };
  const auto cancel = [&] {
    SendMessageW(window_, WM_CLOSE, 0, 0);
    Paint();
    Click(POINT{591, 333});  // Yes
    const uint64_t asked = GetTickCount64();
    EXPECT_TRUE(pump([&] { return g_setup.page == Summary; }, 20));
    const uint64_t took = GetTickCount64() - asked;
    std::printf("Yes to the Summary page: %llu ms\n", static_cast<unsigned long long>(took));
    return took;
  };

  g_setup.page = Summary;
  ASSERT_TRUE(BeginInstall()) << qvtest::Narrow(g_setup.errorText);
  ASSERT_TRUE(pump(downloaded(0.15), 60));
  EXPECT_LT(cancel(), 3000u) << "cancelling a slow download";

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
  ASSERT_TRUE(pump([&] { return firstSpeedTick != 0 && GetTickCount64() > firstSpeedTick + 1500; }, 60));
  expectFirstSpeedTrue("after Try again");
  EXPECT_LT(cancel(), 3000u);

  ASSERT_GT(shown.size(), 50u);
  for (size_t i = 1; i < shown.size(); ++i)
    ASSERT_GE(shown[i], shown[i - 1]) << "the percentage fell at paint " << i;
  EXPECT_GE(shown.back(), atFailure);
}
