#pragma once
// Languages and the two text tables: the wizard's own texts (11 languages) and the patch
// engine's texts shared with the game launcher (12 languages, the 11 plus Greek).
// Platform-free except DefaultInstallerLanguage / DisplayPrimaryLanguage, which ask Windows.
//
// Naming: the wizard's fields are a plain enum at global scope, so pages write
// InstallerString(NextButton). The launcher's fields are an enum class because three of
// their names (BackButton, RetryButton, VersionLabel) also exist in the wizard's table and
// many are generic words (Off, Music, Checking): write LauncherString(LauncherText::ErrConnect).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

enum InstallerText : int {
  WindowTitle = 0,
  StepWelcome = 1,
  StepFolder = 2,
  StepSummary = 3,
  StepInstalling = 4,
  StepFinished = 5,
  WelcomeTitle = 6,
  WelcomeText = 7,
  GameLanguageLabel = 8,
  VersionLabel = 9,
  GameSizeLabel = 10,
  ExistingInstallNote = 11,
  FolderTitle = 12,
  FolderText = 13,
  BrowseButton = 14,
  SpaceRequiredLabel = 15,
  SpaceAvailableLabel = 16,
  SummaryTitle = 17,
  SummaryText = 18,
  InstallFolderLabel = 19,
  DesktopShortcutOption = 20,
  StartMenuShortcutOption = 21,
  InstallingTitle = 22,
  StatusConnecting = 23,
  StatusChecking = 24,
  StatusDownloading = 25,
  StatusFinishing = 26,
  SpeedLabel = 27,
  TimeLeftLabel = 28,
  DownloadedLabel = 29,
  FinishedTitle = 30,
  FinishedText = 31,
  LaunchOption = 32,
  BackButton = 33,
  NextButton = 34,
  InstallButton = 35,
  CancelButton = 36,
  FinishButton = 37,
  RetryButton = 38,
  CancelQuestion = 39,
  YesButton = 40,
  NoButton = 41,
  ErrorFolderInvalid = 42,
  ErrorNoSpace = 43,
  ErrorNotWritable = 44,
  ErrorGameRunning = 45,
  ErrorInterrupted = 46,
  UninstallTitle = 47,
  UninstallText = 48,
  KeepUserDataOption = 49,
  UninstallButton = 50,
  StatusRemoving = 51,
  UninstallDoneTitle = 52,
  UninstallDoneText = 53,
  CloseButton = 54,
  // Names and actions a screen reader announces.
  MinimiseButton = 55,
  ActionPress = 56,
  ActionCheck = 57,
  ActionUncheck = 58,
  ActionOpen = 59,
  ActionClose = 60,
  ActionChoose = 61,
  StatusCancelling = 62,
  ErrorNoInstallation = 63,
  // Names of the progress bars for screen readers.
  InstallProgressName = 64,
  RemovalProgressName = 65,
  SpaceUsedName = 66,
  // Under "Space required": what the figure holds besides the game.
  SpaceRequiredNote = 67,
  // A --limit-rate value the program cannot use.
  ErrorLimitRate = 68,
  // The Uninstall complete page when some files could not be removed.
  UninstallLeftText = 69,
};
constexpr int kInstallerTextCount = 70;

enum class LauncherText : int {
  PatchConnecting = 0,
  PatchVerifying = 1,
  StateChecking = 2,
  StateUpdating = 3,
  PatchApplying = 4,
  PatchSelfUpdate = 5,
  StateReady = 6,
  PatchUpToDate = 7,
  StateError = 8,
  PlayButton = 9,
  PlayButtonUpdating = 10,
  RetryButton = 11,
  RepairButton = 12,
  NewsHeader = 13,
  NoNews = 14,
  FileLabel = 15,
  TotalLabel = 16,
  ErrConnect = 17,
  ErrSignature = 18,
  ErrManifest = 19,
  ErrOlderVersion = 20,
  ErrNoPublicKey = 21,
  ErrWriteFile = 22,      // ends in a colon: a blank and the details follow
  ErrCorruptFile = 23,    // ends in a colon
  ErrNoGameExe = 24,
  ErrFileInUse = 25,      // ends in a colon
  VersionLabel = 26,
  OfflineMode = 27,
  LinkHome = 28,
  LinkDiscord = 29,
  LinkSupport = 30,
  LinkRules = 31,
  LinkRegister = 32,
  AllNews = 33,
  FilterAll = 34,
  FilterEvents = 35,
  FilterNews = 36,
  FilterUpdates = 37,
  TagEvent = 38,
  TagNews = 39,
  TagUpdate = 40,
  ReadMore = 41,
  BackButton = 42,
  ViewPost = 43,
  SettingsHeader = 44,
  Resolution = 45,
  WindowMode = 46,
  WindowModeHint = 47,
  Music = 48,
  Effects = 49,
  Off = 50,
  AdvancedSettings = 51,
  RepairFiles = 52,
  Website = 53,
  StateWait = 54,
  FilesUnit = 55,
  LeftUnit = 56,
  Downloading = 57,
  Checking = 58,
  TeamName = 59,
  Staff = 60,
  CloseGameForSettings = 61,
  LanguageLabel = 62,
  ServerOnline = 63,
  ServerOffline = 64,
  ServerMaintenance = 65,
  ServerChecking = 66,
  OnePlayer = 67,
  PlayersFormat = 68,     // printf-style: one %d
  MaintenanceText = 69,
  BackIn = 70,
  PauseButton = 71,
  ResumeButton = 72,
  StatePaused = 73,
  PausedHint = 74,
  ErrExpired = 75,
};
constexpr int kLauncherTextCount = 76;

constexpr int32_t kInstallerLanguageCount = 11;
constexpr int32_t kLauncherLanguageCount = 12;
constexpr int32_t kEnglishLanguage = 1;  // index of "en" in both tables

// One language of the wizard: two-letter code, the game client's code page, the name shown
// in the language list, and the texts in InstallerText order.
struct InstallerLanguage {
  const char* code;
  int32_t codePage;
  const wchar_t* nativeName;
  const wchar_t* texts[kInstallerTextCount];
};

// One language of the launcher table: code and the texts in LauncherText order.
struct LauncherLanguage {
  const char* code;
  const wchar_t* texts[kLauncherTextCount];
};

// Table entries built through these refuse to compile with a text too many or too few, which
// would otherwise leave a null text that crashes the first paint.
template <std::size_t N>
constexpr InstallerLanguage InstallerLanguageEntry(const char* code, int32_t codePage, const wchar_t* nativeName,
                                                   const wchar_t* const (&texts)[N]) {
  static_assert(N == kInstallerTextCount, "an installer language needs exactly one text per InstallerText");
  InstallerLanguage language{code, codePage, nativeName, {}};
  for (std::size_t i = 0; i < N; ++i) language.texts[i] = texts[i];
  return language;
}
template <std::size_t N>
constexpr LauncherLanguage LauncherLanguageEntry(const char* code, const wchar_t* const (&texts)[N]) {
  static_assert(N == kLauncherTextCount, "a launcher language needs exactly one text per LauncherText");
  LauncherLanguage language{code, {}};
  for (std::size_t i = 0; i < N; ++i) language.texts[i] = texts[i];
  return language;
}

// The tables, in list order: pt en es fr de it ro pl cz hu tr (launcher: the same, then gr).
extern const InstallerLanguage g_installerLanguages[kInstallerLanguageCount];
extern const LauncherLanguage g_launcherLanguages[kLauncherLanguageCount];

// Current installer language index (0..10), start 1. Written by the user-interface thread
// only (start-up, language list); atomic because workers read texts while it may change.
extern std::atomic<int32_t> g_installerLanguage;
// Current launcher language index (0..11), start 1. Set only by SelectLauncherLanguage.
extern std::atomic<int32_t> g_launcherLanguage;

// Index of the installer language whose code equals code exactly (case-sensitive), or -1.
int32_t FindInstallerLanguage(const std::string& code);
// Code for a Windows primary language identifier (low 10 bits of a LANGID): the wizard's
// default when launcher is false, the launcher's when true ("gr" only there); "en" otherwise.
const char* DefaultLanguageCode(int primaryLanguage, bool launcher);
// Selects the first launcher language whose code matches, ignoring ASCII case; English when
// nothing matches (null included).
void SelectLauncherLanguage(const char* code);
// Text of the current launcher language; empty for a field outside 0..74.
const wchar_t* LauncherString(int field);
inline const wchar_t* LauncherString(LauncherText field) { return LauncherString(static_cast<int>(field)); }
// Text of the current installer language; empty for a field outside 0..63.
const wchar_t* InstallerString(int field);

// Code of an installer language ("" for an index outside 0..10).
const char* InstallerLanguageCode(int32_t index);
// The game client's code page of an installer language (0 for an index outside 0..10).
int32_t InstallerLanguageCodePage(int32_t index);
// Native name of an installer language for the language list (L"" outside 0..10).
const wchar_t* InstallerLanguageName(int32_t index);
// Code of a launcher language ("" for an index outside 0..11).
const char* LauncherLanguageCode(int32_t index);

// Makes index the wizard's language and lets the launcher texts follow it; false (nothing
// changed) for an index outside 0..10.
bool SetInstallerLanguage(int32_t index);
// The start-up choice: the launcher follows the display language first, then the wizard
// takes langOption, else storedCode (the registry's "Language"), else the display language's
// default, and the launcher follows the wizard. Returns the installer index it set.
int32_t ChooseStartupLanguages(int primaryLanguage, const std::string& langOption,
                               const std::string& storedCode);

// Windows only (app/language_default_win.cpp):
// Primary language of the user's default display language (low 10 bits).
int DisplayPrimaryLanguage();
// Installer language index for the user's display language (never -1: "en" is in the table).
int32_t DefaultInstallerLanguage();
