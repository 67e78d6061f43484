// Every page of the wizard and its two overlays. Pages keep no state: each paint draws the
// shared data as it is at that moment.
#include "ui/pages.h"

#include <mutex>
#include <string>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
#include "install/size_query.h"
#include "patch/engine.h"
#include "ui/accessible.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "ui/format.h"
#include "ui/widgets.h"
#include "ui/window.h"
#include "uninstall/worker.h"

static std::wstring Text(int field) { return InstallerString(field); }

// The error line; a path in it loses its middle rather than its file name.
static void ErrorLine(const std::wstring& text = g_setup.errorText) {
  const Rect line{282, 448, 850, 472};
  if (!text.empty())
    DrawTextIn(TrimPathToWidth(text, SmallText, line.right - line.left), SmallText, BadColour, AlignLeading,
               AlignMiddle, 1.0f, line);
  AddAccessAlert(text, line);
}

static void Caption(int field, Rect rect) {
  DrawTextIn(Text(field), SmallText, MutedColour, AlignLeading, AlignNear, 1.0f, rect);
  AddAccessText(Text(field), rect);
}

static void Value(const std::wstring& text, uint32_t colour, Rect rect) {
  DrawTextIn(text, LabelText, colour, AlignLeading, AlignNear, 1.0f, rect);
  AddAccessText(text, rect, true);
}

// Says what the space required holds besides the game (the download's working room).
static void SpaceNote(Rect rect) {
  DrawTextIn(Text(SpaceRequiredNote), SmallText, MutedColour, AlignLeading, AlignNear, 1.0f, rect);
  AddAccessText(Text(SpaceRequiredNote), rect);
}

// A dark box with a 1-unit frame, as behind the folder field and the summary.
static void FieldBox(Rect rect) {
  FillRect(FieldColour, 0.95f, rect);
  StrokeFrame(FrameColour, 1.0f, rect);
}

FolderSpace CheckFolderSpace() {
  FolderSpace space;
  const std::wstring folder = NormalizeInstallPath(g_setup.installDir);
  if (folder.size() > 2 && folder[1] == L':') {
    const wchar_t root[4] = {folder[0], L':', L'\\', 0};
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(root, &available, nullptr, nullptr)) {
      space.usable = true;
      space.free = available.QuadPart;
    }
  }
  space.required = RequiredBytes();
  space.enough = space.usable && space.free >= space.required;
  return space;
}

static void WelcomePage() {
  DrawPageHeader(Text(WelcomeTitle), Text(WelcomeText));
  DrawTextIn(Text(GameLanguageLabel), LabelText, LabelColour, AlignLeading, AlignNear, 1.0f, Rect{282, 202, 850, 224});
  DrawLanguageSelector();
  const int32_t version = g_setup.remoteVersion.load();
  const uint64_t size = g_setup.gameSize.load();
  // A query that failed is said so rather than waited for.
  const bool failed = size == 0 && GameSizeQueryFailed();
  const wchar_t* missing = failed ? L"-" : L"...";
  // Each caption with its value, so that readers say them together.
  Caption(VersionLabel, Rect{282, 292, 452, 310});
  Value(version != 0 ? std::to_wstring(version) : missing, HighlightColour, Rect{282, 311, 452, 334});
  Caption(GameSizeLabel, Rect{462, 292, 682, 310});
  Value(size != 0 ? FormatSize(size) : missing, HighlightColour, Rect{462, 311, 682, 334});
  if (failed) ErrorLine(LauncherString(LauncherText::ErrConnect));
  if (g_setup.existingInstall) {
    DrawTextIn(Text(ExistingInstallNote), SmallText, GoodColour, AlignLeading, AlignNear, 1.0f, Rect{282, 348, 850, 368});
    AddAccessText(Text(ExistingInstallNote), Rect{282, 348, 850, 368});
  }
  DrawButton(IdCancel, Text(CancelButton), false, true, kLeftButton);
  DrawButton(IdPrimary, Text(NextButton), true, true, kRightButton);
}

// What Next would refuse the folder for, known before it is clicked: the folder rule first,
// then the free space (the order of the folder validation).
static std::wstring FolderProblem(const FolderSpace& space) {
  if (!IsValidInstallFolder(NormalizeInstallPath(g_setup.installDir))) return Text(ErrorFolderInvalid);
  if (!space.enough) return Text(ErrorNoSpace);
  return {};
}

static void FolderPage() {
  DrawPageHeader(Text(FolderTitle), Text(FolderText));
  DrawTextIn(Text(InstallFolderLabel), LabelText, LabelColour, AlignLeading, AlignNear, 1.0f, Rect{282, 194, 850, 216});
  FillRect(FieldColour, 0.95f, kFolderFieldRect);
  StrokeFrame(ControlFrameColour, 1.0f, kFolderFieldRect);
  AddAccessControl(RoleEditableText, kFolderFieldId, Text(InstallFolderLabel), kFolderFieldRect, true);
  DrawButton(IdBrowse, Text(BrowseButton), false, true, Rect{730, 222, 850, 260});

  const FolderSpace space = CheckFolderSpace();
  Caption(SpaceRequiredLabel, Rect{282, 288, 562, 306});
  Value(FormatSize(space.required), HighlightColour, Rect{282, 306, 562, 330});
  Caption(SpaceAvailableLabel, Rect{582, 288, 850, 306});
  Value(space.usable ? FormatSize(space.free) : L"-", space.enough ? GoodColour : BadColour, Rect{582, 306, 850, 330});
  const double fraction = space.free == 0 ? 1.0 : static_cast<double>(space.required) / static_cast<double>(space.free);
  if (space.enough)
    DrawProgressBar(DarkGoldColour, GoldColour, fraction, false, Rect{282, 340, 850, 350}, Text(SpaceUsedName));
  else
    DrawProgressBar(BadColour, BadColour, fraction, false, Rect{282, 340, 850, 350}, Text(SpaceUsedName));
  SpaceNote(Rect{282, 358, 850, 376});
  ErrorLine(g_setup.errorText.empty() ? FolderProblem(space) : g_setup.errorText);
  DrawButton(IdBack, Text(BackButton), false, true, kLeftButton);
  DrawButton(IdPrimary, Text(NextButton), true, space.enough, kRightButton);
}

static void SummaryPage() {
  DrawPageHeader(Text(SummaryTitle), Text(SummaryText));
  FieldBox(Rect{282, 190, 850, 302});
  const std::wstring values[3] = {NormalizeInstallPath(g_setup.installDir),
                                  InstallerLanguageName(g_installerLanguage.load()),
                                  FormatSize(RequiredBytes())};
  const int captions[3] = {InstallFolderLabel, GameLanguageLabel, SpaceRequiredLabel};
  for (int i = 0; i < 3; ++i) {
    const float t = 202.0f + 30.0f * i;
    DrawTextIn(Text(captions[i]), SmallText, MutedColour, AlignLeading, AlignMiddle, 1.0f, Rect{298, t, 464, t + 28});
    DrawTextIn(i == 0 ? TrimPathToWidth(values[i], LabelText, 836 - 472) : values[i], LabelText, LabelColour,
               AlignLeading, AlignMiddle, 1.0f, Rect{472, t, 836, t + 28});
    AddAccessText(Text(captions[i]), Rect{298, t, 464, t + 28});
    AddAccessText(values[i], Rect{472, t, 836, t + 28});
  }
  DrawCheckBox(IdDesktopShortcut, Text(DesktopShortcutOption), g_setup.optDesktopShortcut, 282, 318, 568);
  DrawCheckBox(IdStartMenuShortcut, Text(StartMenuShortcutOption), g_setup.optStartMenuShortcut, 282, 348, 568);
  SpaceNote(Rect{282, 384, 850, 402});
  ErrorLine();
  DrawButton(IdBack, Text(BackButton), false, true, kLeftButton);
  DrawButton(IdPrimary, Text(InstallButton), true, true, kRightButton);
}

// The fraction the Installing page shows: checking follows the hashed bytes, downloading the
// bytes this install fetches, each stage never less than it showed earlier in this install and
// a retried or resumed run never less than where the last one left off; on the failure page the
// last one shown.
static double InstallingFraction(int32_t stage, uint64_t done, uint64_t total) {
  if (g_setup.installFailed || stage == StageFailed) return g_progress.last;
  if ((stage == StageChecking || stage == StageDownloading) && total != 0)
    return ShowProgress(g_progress, stage, static_cast<double>(done) / static_cast<double>(total));
  if (stage == StageApplying || stage == StageDone) return ShowProgress(g_progress, stage, 1.0);
  return ShowProgress(g_progress, stage, 0.0);
}

// What the Installing page says about its run beyond the figures: the subtitle and whether the
// run is paused or waits for its server.
struct RunLook {
  int32_t stage = 0;
  bool failed = false;
  bool paused = false;
  bool waiting = false;
  int subtitle = StatusConnecting;
};

static bool s_waiting = false;
static uint64_t s_waitingDone = 0;

bool WaitingForServer() {
  const uint64_t done = g_engine.doneBytes.load();
  if (g_engine.stage.load() != StageDownloading || g_engine.pause.load()) {
    s_waiting = false;
  } else if (g_engine.waitingForServer.load() > 0) {
    s_waiting = true;
    s_waitingDone = done;
  } else if (s_waiting && done > s_waitingDone) {
    s_waiting = false;
  } else if (s_waiting) {
    s_waitingDone = done;  // a failed attempt took its bytes back: only new ones end the wait
  }
  return s_waiting;
}

static RunLook LookOfRun() {
  RunLook look;
  look.stage = g_engine.stage.load();
  look.failed = g_setup.installFailed;
  const bool going = !look.failed && !g_setup.cancelRequested;
  // Paused while downloading: the launcher's words for it, and the bar holds still.
  look.paused = going && look.stage == StageDownloading && g_engine.pause.load();
  // Waiting for a server that does not answer: the page says it is connecting, with no speed,
  // until bytes come again (a transfer counts as waiting only during its pauses, not during the
  // attempts between them, which would make the page flicker between the two).
  look.waiting = going && !look.paused && look.stage == StageDownloading && WaitingForServer();
  if (look.failed)
    look.subtitle = ErrorInterrupted;
  else if (g_setup.cancelRequested)
    look.subtitle = StatusCancelling;
  else if (look.waiting)
    look.subtitle = StatusConnecting;
  else if (look.stage == StageChecking)
    look.subtitle = StatusChecking;
  else if (look.stage == StageDownloading)
    look.subtitle = StatusDownloading;
  else if (look.stage == StageApplying || look.stage == StageDone)
    look.subtitle = StatusFinishing;
  return look;
}

bool RunBarMoves() {
  if (PaintedPage(g_setup.page) != SetupPage::Installing) return true;
  const RunLook look = LookOfRun();
  return !look.failed && !look.paused && !look.waiting;
}

uint64_t RunPageState() {
  const RunLook look = LookOfRun();
  const bool figures = look.stage == StageDownloading && !look.failed && !look.paused && !look.waiting;
  const bool speedKnown = figures && SpeedKnown(g_speed);
  return static_cast<uint64_t>(static_cast<uint32_t>(look.stage)) | static_cast<uint64_t>(look.subtitle & 0xFFFF) << 32 |
         static_cast<uint64_t>(look.failed) << 48 | static_cast<uint64_t>(look.paused) << 49 |
         static_cast<uint64_t>(look.waiting) << 50 | static_cast<uint64_t>(speedKnown) << 51 |
         static_cast<uint64_t>(g_setup.cancelRequested) << 52;
}

static void InstallingPage() {
  const RunLook look = LookOfRun();
  const int32_t stage = look.stage;
  const bool failed = look.failed, paused = look.paused, waiting = look.waiting;
  const bool downloading = stage == StageDownloading && !failed;
  // The download goes on from what the runs before it of this install fetched, in the
  // percentage and in Downloaded alike.
  DownloadBytes bytes{g_engine.doneBytes.load(), g_engine.totalBytes.load()};
  // (A run's counters read 0 until its stage is posted, which an earlier run's stage may precede.)
  if (downloading && bytes.total != 0) bytes = CarryDownload(g_progress, bytes.done, bytes.total);
  const uint64_t done = bytes.done, total = bytes.total;
  // A status readers hear as it changes; the failure is an alert, as the player must act.
  DrawPageHeader(Text(InstallingTitle), paused ? LauncherString(LauncherText::StatePaused) : Text(look.subtitle),
                 failed ? Subtitle::Alert : Subtitle::Status);

  // A failed run keeps what it reached, dimmed.
  const double fraction = InstallingFraction(stage, done, total);
  DrawTextIn(FormatPercent(fraction), PercentText, failed ? MutedColour : HighlightColour, AlignLeading, AlignNear,
             1.0f, Rect{282, 188, 482, 254});
  if (failed)
    DrawProgressBar(FrameColour, MutedColour, fraction, false, kRunProgressBar, Text(InstallProgressName));
  else
    DrawProgressBar(DarkGoldColour, HighlightColour, fraction, !paused && !waiting, kRunProgressBar,
                    Text(InstallProgressName));

  // After a failure the error line names the file; a status line could name another one.
  std::wstring status;
  if (paused) {
    status = LauncherString(LauncherText::PausedHint);
  } else if (!failed) {
    status = g_engine.CurrentFile();
  }
  DrawTextIn(status, SmallText, StatusColour, AlignLeading, AlignMiddle, 1.0f, Rect{282, 290, 850, 312});

  const std::wstring values[3] = {
      downloading && !paused && !waiting ? SpeedText(g_speed) : L"-",
      downloading && !paused && !waiting ? TimeLeftText(g_speed, done, total) : L"-",
      downloading ? FormatDownloaded(done, total) : L"-"};
  const int captions[3] = {SpeedLabel, TimeLeftLabel, DownloadedLabel};
  const float column = 568.0f / 3.0f;
  for (int k = 0; k < 3; ++k) {
    const float left = 282.0f + column * k, right = 282.0f + column * (k + 1) - 8;
    Caption(captions[k], Rect{left, 324, right, 342});
    Value(values[k], LabelColour, Rect{left, 342, right, 366});
  }
  ErrorLine();

  const bool cancelEnabled = !g_setup.cancelRequested;
  if (failed) {
    DrawButton(IdCancel, Text(CancelButton), false, cancelEnabled, kLeftButton);
    DrawButton(IdTryAgain, Text(RetryButton), true, true, kRightButton);
  } else {
    if (stage == StageDownloading && cancelEnabled)
      DrawButton(IdPause, LauncherString(paused ? LauncherText::ResumeButton : LauncherText::PauseButton), false, true,
                 kLeftButton);
    DrawButton(IdCancel, Text(CancelButton), false, cancelEnabled, kRightButton);
  }
  // Last among the page's elements: as it comes and goes, the buttons keep their numbers. The
  // hint of a pause is heard as it appears; file names are not.
  if (paused)
    AddAccessStatus(status, Rect{282, 290, 850, 312});
  else
    AddAccessText(status, Rect{282, 290, 850, 312});
}

static void FinishedPage() {
  DrawPageHeader(Text(FinishedTitle), Text(FinishedText), Subtitle::Alert);
  FillCircle(566, 252, 44, GoldColour, 0.14f);
  StrokeCircle(566, 252, 44, GoldColour, 1.0f, 2.0f);
  DrawGlyph(GlyphCheckMark, BigIconText, HighlightColour, 1.0f, Rect{522, 208, 610, 296});
  DrawCheckBox(IdLaunchGame, Text(LaunchOption), g_setup.optLaunchGame, 282, 330, 568);
  DrawButton(IdPrimary, Text(FinishButton), true, true, kRightButton);
}

static void UninstallConfirmPage() {
  DrawPageHeader(Text(UninstallTitle), Text(UninstallText));
  FieldBox(Rect{282, 196, 850, 236});
  DrawTextIn(TrimPathToWidth(g_setup.installDir, LabelText, 838 - 294), LabelText, LabelColour, AlignLeading,
             AlignMiddle, 1.0f, Rect{294, 196, 838, 236});
  // The box has no caption on screen; readers hear one before the folder.
  AddAccessText(Text(InstallFolderLabel), Rect{282, 196, 850, 236});
  AddAccessText(g_setup.installDir, Rect{294, 196, 838, 236});
  DrawCheckBox(IdKeepUserData, Text(KeepUserDataOption), g_setup.optKeepUserData, 282, 252, 568);
  ErrorLine();
  DrawButton(IdCancel, Text(CancelButton), false, true, kLeftButton);
  DrawButton(IdPrimary, Text(UninstallButton), true, true, kRightButton);
}

static void UninstallingPage() {
  DrawPageHeader(Text(UninstallTitle), Text(StatusRemoving));
  const int32_t done = g_setup.uninstallDone.load();
  const int32_t total = g_setup.uninstallTotal.load();
  const double fraction = total != 0 ? static_cast<double>(static_cast<float>(done) / static_cast<float>(total)) : 0.0;
  DrawTextIn(FormatPercent(fraction), PercentText, HighlightColour, AlignLeading, AlignNear, 1.0f, Rect{282, 188, 482, 254});
  DrawProgressBar(DarkGoldColour, HighlightColour, fraction, true, kRunProgressBar, Text(RemovalProgressName));
}

static void UninstallDonePage() {
  const bool left = UninstallLeftFiles();
  DrawPageHeader(Text(UninstallDoneTitle), Text(left ? UninstallLeftText : UninstallDoneText));
  if (left) {  // the folder that still holds them, boxed as on the uninstall page
    FieldBox(Rect{282, 196, 850, 236});
    DrawTextIn(TrimPathToWidth(g_setup.installDir, LabelText, 838 - 294), LabelText, LabelColour, AlignLeading,
               AlignMiddle, 1.0f, Rect{294, 196, 838, 236});
    AddAccessText(g_setup.installDir, Rect{294, 196, 838, 236});
  }
  DrawButton(IdPrimary, Text(CloseButton), true, true, kRightButton);
}

static void CancelConfirmation() {
  AddHitRegion(IdOverlay, Rect{0, 0, kCanvasWidth, kCanvasHeight}, true, -1);
  FillRect(DimmerColour, 0.62f, Rect{0, 0, kCanvasWidth, kCanvasHeight});
  DrawPanel(Rect{220, 188, 680, 372});
  DrawTextIn(Text(CancelQuestion), BodyText, LabelColour, AlignLeading, AlignNear, 1.0f, Rect{246, 214, 654, 300});
  AddAccessAlert(Text(CancelQuestion), Rect{246, 214, 654, 300});
  DrawButton(IdConfirmNo, Text(NoButton), true, true, Rect{380, 314, 514, 352});
  DrawButton(IdConfirmYes, Text(YesButton), false, true, Rect{524, 314, 658, 352});
}

SetupPage PaintedPage(SetupPage page) {
  if (page < SetupPage::Welcome) return SetupPage::Welcome;
  if (page > SetupPage::UninstallDone) return SetupPage::UninstallDone;
  return page;
}

void PaintContent() {
  const SetupPage page = PaintedPage(g_setup.page);
  DrawBackground();
  DrawSideBar(page);
  DrawPanel(Rect{252, 20, 880, 540});
  switch (page) {
    case SetupPage::Welcome: WelcomePage(); break;
    case SetupPage::Folder: FolderPage(); break;
    case SetupPage::Summary: SummaryPage(); break;
    case SetupPage::Installing: InstallingPage(); break;
    case SetupPage::Finished: FinishedPage(); break;
    case SetupPage::UninstallConfirm: UninstallConfirmPage(); break;
    case SetupPage::Uninstalling: UninstallingPage(); break;
    default: UninstallDonePage(); break;
  }
  DrawTitleButtons(page != SetupPage::Uninstalling, page == SetupPage::UninstallDone);
  if (g_ui.languageListOpen) DrawLanguageList();
  if (g_ui.confirmOpen) CancelConfirmation();
  DrawFocusMark();
}

// What a frame is drawn from, as one text: a kept frame is shown only while it is unchanged.
static std::wstring FrameInputs() {
  const wchar_t flags[] = {static_cast<wchar_t>(L'0' + static_cast<int>(g_setup.page)),
                           static_cast<wchar_t>(L'0' + g_installerLanguage.load()),
                           HighContrast() ? L'h' : L'-',
                           g_setup.optDesktopShortcut ? L'd' : L'-',
                           g_setup.optStartMenuShortcut ? L's' : L'-',
                           g_setup.optLaunchGame ? L'l' : L'-',
                           g_setup.optKeepUserData ? L'k' : L'-',
                           g_setup.installFailed ? L'f' : L'-',
                           g_ui.languageListOpen ? L'o' : L'-',
                           g_ui.confirmOpen ? L'q' : L'-',
                           g_ui.focusVisible ? L'v' : L'-',
                           0};
  return std::wstring(flags) + L"|" + std::to_wstring(g_ui.focusVisible ? g_ui.focusId : 0) + L"|" + std::to_wstring(g_ui.hoverId) + L"|" +
         std::to_wstring(g_setup.remoteVersion.load()) + L"|" + std::to_wstring(g_setup.gameSize.load()) + L"|" +
         std::to_wstring(g_engine.stage.load()) + L"|" + std::to_wstring(g_setup.dpiScale) + L"|" +
         g_setup.errorText + L"|" + g_setup.installDir;
}
static std::wstring s_keptInputs;

void PrepareFirstFrame(HWND window) {
  HDC dc = GetDC(window);
  if (!dc) return;
  // Readers hear the page when it is shown, from the first paint of the shown window.
  if (BeginFrame(window, dc, nullptr)) {
    PaintContent();
    EndFrame();
    KeepFrame();
    s_keptInputs = FrameInputs();
  }
  ReleaseDC(window, dc);
}

void PaintWindow(HWND window, HDC paintDc, const RECT* area) {
  // The first paint of the shown window: the frame made while it was hidden, if nothing has been
  // drawn since (the hit regions and reader elements of that frame still stand).
  if (!s_keptInputs.empty()) {
    const bool unchanged = FrameInputs() == s_keptInputs;
    s_keptInputs.clear();
    if (unchanged && ShowKeptFrame(window, paintDc)) {
      AnnounceChanges(window);
      return;
    }
  }
  if (!BeginFrame(window, paintDc, area)) return;
  PaintContent();
  EndFrame();
  AnnounceChanges(window);
}
