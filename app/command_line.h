#pragma once
// The setup program's command line and the start-up decisions taken from it, as free
// functions over plain values so that each rule can be tried without starting the wizard.
#include <cstdint>
#include <string>
#include <vector>

struct SetupState;

// The arguments of a command line split as the system does (argument 0 is the program).
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);
// True if an argument after argument 0 equals option exactly (case-sensitive).
bool HasWholeOption(const std::vector<std::wstring>& args, const wchar_t* option);
// The text after option of the first argument (after argument 0) that begins with it;
// false, value untouched, when no argument does.
bool FindPrefixOption(const std::vector<std::wstring>& args, const wchar_t* option, std::wstring& value);
// A --page= value: leading blanks skipped, optional sign, digits up to the first other
// character; 0 without digits; clamped to the 32-bit range.
int32_t ParsePageNumber(const std::wstring& text);
// A --limit-rate value: whole bytes per second, optionally followed by k or K (times 1024) or
// m or M (times 1048576). False for anything else, for 0 and for more than 1 TiB per second.
bool ParseRate(const std::wstring& text, uint64_t& bytesPerSecond);

// What the command line asks for.
struct StartupOptions {
  bool uninstallRelaunch = false;  // --uninstall (beats every other option)
  bool uninstallWizard = false;    // --uninstall-run
  std::wstring uninstallFinish;    // value of --uninstall-finish= (internal: the clean-up after an uninstall)
  bool silent = false;             // --silent
  bool noShortcuts = false;        // --no-shortcuts
  bool noLaunch = false;           // --no-launch
  std::wstring dir;                // value of the first --dir= ("" when absent or empty)
  bool keepUserDataOff = false;    // the first --keep= has the value "0"
  std::wstring lang;               // value of the first --lang= ("" when absent)
  bool hasPage = false;            // the first --page= has a value
  int32_t page = 0;                // its number
  std::wstring logPath;            // value of the first --log= ("" when absent: the default log)
  bool hasLimitRate = false;       // --limit-rate= was given
  int limitRateCount = 0;          // how many times (more than once is refused)
  std::wstring limitRate;          // its value, as written
  bool help = false;               // --help or /?
  std::vector<std::wstring> unknown;  // arguments that are none of the options above
};
// Reads every option from the arguments; first match wins for each. Nothing is refused: an
// argument that is no option is listed in unknown (and logged by the caller).
StartupOptions ParseStartupOptions(const std::vector<std::wstring>& args);

enum class RunMode { UninstallRelaunch, InstallWizard, UninstallWizard, UninstallFinish };
// --uninstall first, then --uninstall-finish=, then --uninstall-run, else the install wizard.
RunMode ChooseRunMode(const StartupOptions& options);
// Makes the start-up language choice (--lang=, then the registry's "Language", then the
// display language) and returns the installer language index; the launcher follows it.
int32_t ChooseLanguages(const StartupOptions& options, const std::wstring& registryLanguage,
                        int displayPrimaryLanguage);

// The options and exit codes, as --help shows them (one text, lines ending in "\r\n").
std::wstring HelpText();

// The root of the drive that holds windowsFolder followed by "Quorvel"; with an empty
// windowsFolder (the system would not tell) C:\Quorvel.
std::wstring DefaultInstallFolder(const std::wstring& windowsFolder);
// The install folder, existing-installation flag, options and first page from the options,
// the registry's "InstallPath" value and the default folder. Marker tests touch the disk.
void ApplyStartupOptions(const StartupOptions& options, const std::wstring& registryInstallPath,
                         const std::wstring& defaultFolder, SetupState& state);
