// The command line and the start-up decisions drawn from it, on real argument splitting and
// real folders (the installation marker is looked up on disk).
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/languages.h"
#include "app/setup_state.h"
#include "test_files.h"

using enum SetupPage;

namespace {

std::vector<std::wstring> Args(std::initializer_list<const wchar_t*> list) {
  std::vector<std::wstring> args{L"C:\\Downloads\\QuorvelSetup.exe"};
  for (const wchar_t* a : list) args.emplace_back(a);
  return args;
}

// A fresh state after the start-up steps with the given arguments and registry folder.
SetupState* Start(const std::vector<std::wstring>& args, const std::wstring& registryPath = L"") {
  static SetupState* state = nullptr;
  delete state;
  state = new SetupState();
  ApplyStartupOptions(ParseStartupOptions(args), registryPath, L"C:\\Quorvel", *state);
  return state;
}

}  // namespace

TEST(CommandLine, OptionsAreCaseSensitive) {
  const StartupOptions o = ParseStartupOptions(Args({L"--UNINSTALL", L"--Silent", L"--No-Launch", L"--DIR=D:\\X"}));
  EXPECT_EQ(ChooseRunMode(o), RunMode::InstallWizard);
  EXPECT_FALSE(o.silent);
  EXPECT_FALSE(o.noLaunch);
  SetupState* s = Start(Args({L"--UNINSTALL", L"--Silent", L"--DIR=D:\\X", L"--Page=4"}));
  EXPECT_FALSE(s->silent);
  EXPECT_EQ(s->installDir, L"C:\\Quorvel");
  EXPECT_EQ(s->page, Welcome);
}

TEST(CommandLine, RunModes) {
  EXPECT_EQ(ChooseRunMode(ParseStartupOptions(Args({}))), RunMode::InstallWizard);
  EXPECT_EQ(ChooseRunMode(ParseStartupOptions(Args({L"--uninstall-run"}))), RunMode::UninstallWizard);
  // --uninstall wins over --uninstall-run in either order.
  EXPECT_EQ(ChooseRunMode(ParseStartupOptions(Args({L"--uninstall-run", L"--uninstall"}))), RunMode::UninstallRelaunch);
  EXPECT_EQ(ChooseRunMode(ParseStartupOptions(Args({L"--uninstall", L"--uninstall-run"}))), RunMode::UninstallRelaunch);
  EXPECT_EQ(ChooseRunMode(ParseStartupOptions(Args({L"--uninstall-run", L"--uninstall-finish=4,8"}))),
            RunMode::UninstallFinish);
  // Whole-word options are not prefixes: --uninstallx and --silently mean nothing.
  const StartupOptions o = ParseStartupOptions(Args({L"--uninstallx", L"--silently"}));
  EXPECT_EQ(ChooseRunMode(o), RunMode::InstallWizard);
  EXPECT_FALSE(o.silent);
}

TEST(CommandLine, ProgramPathIsNeverAnOption) {
  const std::vector<std::wstring> args{L"--silent"};
  EXPECT_FALSE(ParseStartupOptions(args).silent);
  EXPECT_FALSE(HasWholeOption(args, L"--silent"));
}

TEST(CommandLine, QuotedFolderEndingInBackslash) {
  // The system splitter turns "--dir=D:\Games\Quorvel\" into a value ending in a quote.
  const std::vector<std::wstring> args =
      SplitCommandLine(L"\"C:\\Downloads\\QuorvelSetup.exe\" \"--dir=D:\\Games\\Quorvel\\\"");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1], L"--dir=D:\\Games\\Quorvel\"");
  SetupState* s = Start(args);
  EXPECT_EQ(s->installDir, L"D:\\Games\\Quorvel");
  EXPECT_FALSE(s->existingInstall);
}

TEST(CommandLine, FirstDirWinsAndEmptyIsIgnored) {
  EXPECT_EQ(Start(Args({L"--dir=D:\\First", L"--dir=E:\\Second"}))->installDir, L"D:\\First");
  // The first --dir= matches even when empty, so the second one never counts.
  EXPECT_EQ(Start(Args({L"--dir=", L"--dir=E:\\Second"}))->installDir, L"C:\\Quorvel");
  EXPECT_EQ(Start(Args({L"--dir=  D:/Games/Quorvel/ "}))->installDir, L"D:\\Games\\Quorvel");
}

TEST(CommandLine, PageNumbers) {
  EXPECT_EQ(ParsePageNumber(L"abc"), 0);
  EXPECT_EQ(ParsePageNumber(L"4"), 4);
  EXPECT_EQ(ParsePageNumber(L"  -3x"), -3);
  EXPECT_EQ(ParsePageNumber(L"+7"), 7);
  EXPECT_EQ(ParsePageNumber(L"12abc34"), 12);
  EXPECT_EQ(ParsePageNumber(L"-"), 0);
  EXPECT_EQ(ParsePageNumber(L"99999999999"), INT_MAX);
  EXPECT_EQ(ParsePageNumber(L"-99999999999"), INT_MIN);
  EXPECT_EQ(Start(Args({L"--page=abc"}))->page, SetupPage{0});
  EXPECT_EQ(Start(Args({L"--page=9"}))->page, SetupPage{9});
  EXPECT_EQ(Start(Args({L"--uninstall-run"}))->page, UninstallConfirm);
  // --page= overrides the uninstall wizard's first page, even with 0; an empty value does not.
  EXPECT_EQ(Start(Args({L"--uninstall-run", L"--page=0"}))->page, Welcome);
  EXPECT_EQ(Start(Args({L"--uninstall-run", L"--page="}))->page, UninstallConfirm);
}

TEST(CommandLine, LimitRates) {
  const StartupOptions o = ParseStartupOptions(Args({L"--limit-rate=500k"}));
  EXPECT_TRUE(o.hasLimitRate);
  EXPECT_EQ(o.limitRate, L"500k");
  EXPECT_EQ(o.limitRateCount, 1);
  EXPECT_TRUE(o.unknown.empty());
  // Given twice it is counted, so that the program can refuse it as it refuses a bad value.
  EXPECT_EQ(ParseStartupOptions(Args({L"--limit-rate=10M", L"--dir=C:\\Q", L"--limit-rate=abc"})).limitRateCount, 2);
  const std::pair<const wchar_t*, uint64_t> good[] = {
      {L"1", 1}, {L"8k", 8192}, {L"8K", 8192}, {L"500k", 512000}, {L"2M", 2097152}, {L"2m", 2097152}, {L"1048576", 1048576}};
  for (const auto& [text, expected] : good) {
    uint64_t rate = 0;
    EXPECT_TRUE(ParseRate(text, rate)) << qvtest::Narrow(text);
    EXPECT_EQ(rate, expected) << qvtest::Narrow(text);
  }
  for (const wchar_t* bad : {L"", L"0", L"0k", L"k", L"1.5k", L"-5", L"+5", L"5 k", L"5kb", L"5G", L" 5", L"2000000M",
                             L"99999999999999"}) {
    uint64_t rate = 7;
    EXPECT_FALSE(ParseRate(bad, rate)) << qvtest::Narrow(bad);
  }
}

TEST(CommandLine, KeepValues) {
  EXPECT_FALSE(Start(Args({L"--keep=0"}))->optKeepUserData);
  EXPECT_TRUE(Start(Args({L"--keep=1"}))->optKeepUserData);
  EXPECT_TRUE(Start(Args({L"--keep=no"}))->optKeepUserData);
  EXPECT_TRUE(Start(Args({L"--keep="}))->optKeepUserData);
  EXPECT_TRUE(Start(Args({L"--keep=00"}))->optKeepUserData);
  EXPECT_TRUE(Start(Args({L"--keep=1", L"--keep=0"}))->optKeepUserData);  // first wins
}

TEST(CommandLine, Flags) {
  SetupState* s = Start(Args({L"--silent", L"--no-shortcuts", L"--no-launch"}));
  EXPECT_TRUE(s->silent);
  EXPECT_TRUE(s->noShortcuts);
  EXPECT_TRUE(s->noLaunch);
  s = Start(Args({}));
  EXPECT_FALSE(s->silent || s->noShortcuts || s->noLaunch);
  EXPECT_TRUE(s->optKeepUserData && s->optLaunchGame && s->optDesktopShortcut && s->optStartMenuShortcut);
}

TEST(CommandLine, HelpLogAndUnknownArguments) {
  StartupOptions o = ParseStartupOptions(Args({L"/?", L"--log=D:\\setup.log", L"--log=E:\\other.log", L"--verbose",
                                               L"-silent", L"--dir=C:\\Q", L"--silent=1"}));
  EXPECT_TRUE(o.help);
  EXPECT_EQ(o.logPath, L"D:\\setup.log");
  EXPECT_EQ(o.unknown, (std::vector<std::wstring>{L"--verbose", L"-silent", L"--silent=1"}));
  EXPECT_FALSE(o.silent);
  o = ParseStartupOptions(Args({L"--help", L"--uninstall", L"--keep=0", L"--page=3", L"--lang=de", L"--no-launch"}));
  EXPECT_TRUE(o.help);
  EXPECT_TRUE(o.unknown.empty());
  EXPECT_FALSE(ParseStartupOptions(Args({L"--HELP", L"/help"})).help);
  const std::wstring help = HelpText();
  for (const wchar_t* option : {L"--dir=", L"--silent", L"--lang=", L"--no-shortcuts", L"--no-launch", L"--uninstall",
                                L"--keep=0", L"--page=", L"--log=", L"--help"})
    EXPECT_NE(help.find(option), std::wstring::npos) << std::string(option, option + wcslen(option));
}

TEST(CommandLine, DefaultFolderIsOnTheSystemDrive) {
  EXPECT_EQ(DefaultInstallFolder(L"D:\\WINDOWS"), L"D:\\Quorvel");
  EXPECT_EQ(DefaultInstallFolder(L"C:\\windows"), L"C:\\Quorvel");
  EXPECT_EQ(DefaultInstallFolder(L""), L"C:\\Quorvel");
}

TEST(CommandLine, RegistryFolderCountsOnlyWithAMarker) {
  qvtest::ScratchFolder marked, unmarked;
  ASSERT_TRUE(qvtest::WriteBytes(marked / L"bin\\quorvel.install", ""));
  ASSERT_TRUE(CreateDirectoryW((unmarked / L"bin").c_str(), nullptr));
  const std::wstring withMarker = marked.path(), without = unmarked.path();
  SetupState* s = Start(Args({}), without);
  EXPECT_EQ(s->installDir, L"C:\\Quorvel");
  EXPECT_FALSE(s->existingInstall);

  // Taken exactly as stored, trailing backslash and all.
  s = Start(Args({}), withMarker + L"\\");
  EXPECT_EQ(s->installDir, withMarker + L"\\");
  EXPECT_TRUE(s->existingInstall);

  // --dir= overrides it, and the flag then describes the new folder only.
  s = Start(Args({(L"--dir=" + without).c_str()}), withMarker);
  EXPECT_EQ(s->installDir, without);
  EXPECT_FALSE(s->existingInstall);
  s = Start(Args({(L"--dir=" + withMarker + L"\\").c_str()}), without);
  EXPECT_EQ(s->installDir, withMarker);
  EXPECT_TRUE(s->existingInstall);
}

TEST(CommandLine, LanguageChoice) {
  // EN is not en: the registry decides, then the display language.
  int32_t index = ChooseLanguages(ParseStartupOptions(Args({L"--lang=EN"})), L"de", LANG_FRENCH);
  EXPECT_STREQ(InstallerLanguageCode(index), "de");
  index = ChooseLanguages(ParseStartupOptions(Args({L"--lang=EN"})), L"", LANG_FRENCH);
  EXPECT_STREQ(InstallerLanguageCode(index), "fr");
  index = ChooseLanguages(ParseStartupOptions(Args({L"--lang=pl", L"--lang=tr"})), L"de", LANG_FRENCH);
  EXPECT_STREQ(InstallerLanguageCode(index), "pl");
  EXPECT_EQ(g_installerLanguage.load(), index);
  EXPECT_STREQ(LauncherLanguageCode(g_launcherLanguage.load()), "pl");
  // An unknown stored code falls through to the display language.
  index = ChooseLanguages(ParseStartupOptions(Args({})), L"xx", LANG_HUNGARIAN);
  EXPECT_STREQ(InstallerLanguageCode(index), "hu");
}
