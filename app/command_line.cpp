#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <climits>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
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
  return o;
}

RunMode ChooseRunMode(const StartupOptions& options) {
  if (options.uninstallRelaunch) return RunMode::UninstallRelaunch;
  return options.uninstallWizard ? RunMode::UninstallWizard : RunMode::InstallWizard;
}

int32_t ChooseLanguages(const StartupOptions& options, const std::wstring& registryLanguage,
                        int displayPrimaryLanguage) {
  return ChooseStartupLanguages(displayPrimaryLanguage, WideToUtf8(options.lang), WideToUtf8(registryLanguage));
}

std::wstring DefaultInstallFolder(const std::wstring& windowsFolder) {
  std::wstring root = L"C:\\";
  if (windowsFolder.size() >= 3) root = windowsFolder.substr(0, 3);
  return root + L"Quorvel";
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
