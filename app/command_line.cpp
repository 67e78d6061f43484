#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <climits>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
#include "support/layout.h"
#include "support/text.h"

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
  std::vector<std::wstring> args;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(commandLine, &count);
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

bool HasWholeOption(const std::vector<std::wstring>& args, const wchar_t* option) {
  for (size_t i = 1; i < args.size(); ++i)
    if (args[i] == option) return true;
  return false;
}

bool FindPrefixOption(const std::vector<std::wstring>& args, const wchar_t* option, std::wstring& value) {
  const std::wstring prefix(option);
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i].compare(0, prefix.size(), prefix) == 0) {
      value = args[i].substr(prefix.size());
      return true;
    }
  }
  return false;
}

int32_t ParsePageNumber(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && iswspace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int64_t number = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    number = number * 10 + (text[i] - L'0');
    if (number > static_cast<int64_t>(INT32_MAX) + 1) number = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) number = -number;
  if (number > INT32_MAX) number = INT32_MAX;
  return static_cast<int32_t>(number);
}

bool ParseRate(const std::wstring& text, uint64_t& bytesPerSecond) {
  size_t digits = 0;
  uint64_t number = 0;
  for (; digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9'; ++digits) {
    if (digits >= 13) return false;  // far beyond any line
    number = number * 10 + static_cast<uint64_t>(text[digits] - L'0');
  }
  if (digits == 0 || text.size() > digits + 1) return false;
  uint64_t unit = 1;
  if (text.size() == digits + 1) {
    const wchar_t suffix = text[digits];
    if (suffix == L'k' || suffix == L'K') unit = 1024;
    else if (suffix == L'm' || suffix == L'M') unit = 1048576;
    else return false;
  }
  if (number == 0 || number > (1ull << 40) / unit) return false;
  bytesPerSecond = number * unit;
  return true;
}

StartupOptions ParseStartupOptions(const std::vector<std::wstring>& args) {
  StartupOptions o;
  o.uninstallRelaunch = HasWholeOption(args, L"--uninstall");
  o.uninstallWizard = HasWholeOption(args, L"--uninstall-run");
  o.silent = HasWholeOption(args, L"--silent");
  o.noShortcuts = HasWholeOption(args, L"--no-shortcuts");
  o.noLaunch = HasWholeOption(args, L"--no-launch");
  FindPrefixOption(args, L"--dir=", o.dir);
  std::wstring keep;
  if (FindPrefixOption(args, L"--keep=", keep)) o.keepUserDataOff = keep == L"0";
  FindPrefixOption(args, L"--lang=", o.lang);
  std::wstring page;
  if (FindPrefixOption(args, L"--page=", page) && !page.empty()) {
    o.hasPage = true;
    o.page = ParsePageNumber(page);
  }
  FindPrefixOption(args, L"--log=", o.logPath);
  o.hasLimitRate = FindPrefixOption(args, L"--limit-rate=", o.limitRate);
  for (size_t i = 1; i < args.size(); ++i) o.limitRateCount += args[i].rfind(L"--limit-rate=", 0) == 0 ? 1 : 0;
  FindPrefixOption(args, L"--uninstall-finish=", o.uninstallFinish);
  o.help = HasWholeOption(args, L"--help") || HasWholeOption(args, L"/?");
  static const wchar_t* const kWhole[] = {L"--uninstall", L"--uninstall-run", L"--silent", L"--no-shortcuts",
                                          L"--no-launch",  L"--help",          L"/?"};
  static const wchar_t* const kPrefixed[] = {L"--dir=", L"--keep=", L"--lang=", L"--page=", L"--log=", L"--limit-rate=",
                                             L"--uninstall-finish="};
  for (size_t i = 1; i < args.size(); ++i) {
    bool known = false;
    for (const wchar_t* option : kWhole) known = known || args[i] == option;
    for (const wchar_t* option : kPrefixed) known = known || args[i].rfind(option, 0) == 0;
    if (!known) o.unknown.push_back(args[i]);
  }
  return o;
}

std::wstring HelpText() {
  return L"Quorvel Setup: installs, repairs and removes the game Quorvel for the current user.\r\n"
         L"\r\n"
         L"Options:\r\n"
         L"  --dir=FOLDER      install into (or uninstall from) FOLDER\r\n"
         L"  --silent          no window: install (or uninstall) and exit with a code\r\n"
         L"  --lang=CODE       language: pt en es fr de it ro pl cz hu tr\r\n"
         L"  --no-shortcuts    create no shortcuts\r\n"
         L"  --no-launch       do not start the game at the end\r\n"
         L"  --uninstall       remove the game (run from the installed uninstaller)\r\n"
         L"  --keep=0          with --uninstall: remove settings, screenshots and user data too\r\n"
         L"  --page=N          open the wizard on page N (0 to 7)\r\n"
         L"  --log=FILE        write the log to FILE instead of %TEMP%\\Quorvel Setup.log\r\n"
         L"  --limit-rate=RATE download at most RATE bytes per second in all (500k, 2M: k = 1024,\r\n"
         L"                    M = 1048576); refused: 0, a fraction, another unit, more than\r\n"
         L"                    13 digits, above 1 TiB/s (1073741824k), or the option twice\r\n"
         L"  --uninstall-run, --uninstall-finish=\r\n"
         L"                    internal: the uninstaller's own steps, not for use by hand\r\n"
         L"  --help, /?        show this text\r\n"
         L"\r\n"
         L"Exit codes:\r\n"
         L"  0  done\r\n"
         L"  1  the window could not be created, an unattended install found the folder unusable,\r\n"
         L"     or --limit-rate is refused (not checked with --help, which ends with 0, nor with\r\n"
         L"     --uninstall, whose copy never sees it)\r\n"
         L"  3  not started (with --silent: another copy is running; the game is running, not\r\n"
         L"     enough free space, the folder cannot be written, or no installation was found\r\n"
         L"     to uninstall)\r\n"
         L"  5  an unattended install was cancelled\r\n"
         L"  6  an unattended install failed (the log says which file and why)\r\n"
         L"  7  an unattended uninstall left files it could not remove (the log names each one),\r\n"
         L"     or could not open the folder; the uninstaller stays to run again\r\n";
}

RunMode ChooseRunMode(const StartupOptions& options) {
  if (options.uninstallRelaunch) return RunMode::UninstallRelaunch;
  if (!options.uninstallFinish.empty()) return RunMode::UninstallFinish;
  return options.uninstallWizard ? RunMode::UninstallWizard : RunMode::InstallWizard;
}

int32_t ChooseLanguages(const StartupOptions& options, const std::wstring& registryLanguage,
                        int displayPrimaryLanguage) {
  return ChooseStartupLanguages(displayPrimaryLanguage, WideToUtf8(options.lang), WideToUtf8(registryLanguage));
}

std::wstring DefaultInstallFolder(const std::wstring& windowsFolder) {
  std::wstring root = L"C:\\";
  if (windowsFolder.size() >= 3) root = windowsFolder.substr(0, 3);
  return root + layout::kProductFolder;
}

void ApplyStartupOptions(const StartupOptions& options, const std::wstring& registryInstallPath,
                         const std::wstring& defaultFolder, SetupState& state) {
  state.installDir = defaultFolder;
  if (!registryInstallPath.empty() && HasInstallMarker(registryInstallPath)) {
    state.installDir = registryInstallPath;
    state.existingInstall = true;
  }
  if (!options.dir.empty()) {
    state.installDir = NormalizeInstallPath(options.dir);
    state.existingInstall = HasInstallMarker(state.installDir);
  }
  if (options.silent) state.silent = true;
  if (options.noShortcuts) state.noShortcuts = true;
  if (options.noLaunch) state.noLaunch = true;
  if (options.keepUserDataOff) state.optKeepUserData = false;
  if (options.uninstallWizard) state.page = SetupPage::UninstallConfirm;
  // Any number is kept; the window shows the nearest page.
  if (options.hasPage) state.page = static_cast<SetupPage>(options.page);
}
