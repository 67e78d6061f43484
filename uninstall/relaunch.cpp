#include "uninstall/relaunch.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "app/setup_state.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/log.h"

static constexpr int kNotStarted = static_cast<int>(ExitCode::NotStarted);

static bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() &&
         CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

static std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD n = GetTempPathW(MAX_PATH, buffer);
  return n && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

std::wstring UninstallCopyName(const std::wstring& tempDir, uint64_t tick) {
  return tempDir + L"Quorvel-Uninstall-" + std::to_wstring(tick) + L".exe";
}

std::wstring UninstallFolderOf(const std::wstring& modulePath) {
  std::size_t slash = modulePath.find_last_of(L"\\/");
  std::wstring folder = slash == std::wstring::npos ? std::wstring() : modulePath.substr(0, slash + 1);
  if (folder.size() >= 5 && StartsWithNoCase(folder.substr(folder.size() - 5), L"\\bin\\"))
    folder.resize(folder.size() - 4);
  if (!folder.empty()) folder.pop_back();
  return folder;
}

std::wstring UninstallRunArguments(const std::wstring& folder, int argc, wchar_t** argv) {
  std::wstring args = L"--uninstall-run \"--dir=" + folder + L"\"";
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--silent") == 0) {
      args += L" --silent";
      break;
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (std::wcsncmp(argv[i], L"--keep=", 7) == 0) {
      if (argv[i][7] != 0) args += std::wstring(L" --keep=") + (argv[i] + 7);
      break;
    }
  }
  // The copy logs where its starter logs.
  for (int i = 1; i < argc; ++i) {
    if (std::wcsncmp(argv[i], L"--log=", 6) == 0) {
      if (argv[i][6] != 0) args += std::wstring(L" \"--log=") + (argv[i] + 6) + L"\"";
      break;
    }
  }
  return args;
}

std::wstring SelfDeleteCommand(const std::wstring& path) {
  return L"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"" + path + L"\"";
}

static bool IsPlainFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring LeftoverDeleteCommand(const std::wstring& uninstaller, const std::wstring& folder) {
  std::wstring command = SelfDeleteCommand(uninstaller);
  // rmdir removes only empty folders; a linked folder keeps its link, as the uninstall does.
  const std::wstring bin = FolderOfPath(uninstaller);
  const std::wstring binFolder = bin.size() > 1 ? bin.substr(0, bin.size() - 1) : bin;
  if (!SamePathText(binFolder, folder) && IsPlainFolder(binFolder))
    command += L" & rmdir \"" + binFolder + L"\" 2>nul";
  if (IsPlainFolder(folder)) command += L" & rmdir \"" + folder + L"\" 2>nul";
  return command;
}

// Runs command line with no window, from folder, and does not wait for it.
static void StartHiddenCommand(const std::wstring& command, const std::wstring& folder) {
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                     folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

int RelaunchForUninstall(int argc, wchar_t** argv) {
  const std::wstring temp = TempFolder();
  const std::wstring copy = UninstallCopyName(temp, GetTickCount64());
  const std::wstring self = GetModulePath();
  const std::wstring folder = UninstallFolderOf(self);
  if (temp.empty() || !CopyFileW(self.c_str(), copy.c_str(), FALSE)) {
    LogFailure(L"uninstall not started: the uninstaller could not be copied to " + copy, GetLastError());
    return kNotStarted;
  }
  const std::wstring args = UninstallRunArguments(folder, argc, argv);
  bool silent = false;
  for (int i = 1; i < argc; ++i) silent = silent || std::wcscmp(argv[i], L"--silent") == 0;

  SHELLEXECUTEINFOW run{};
  run.cbSize = sizeof run;
  run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  run.lpVerb = L"open";
  run.lpFile = copy.c_str();
  run.lpParameters = args.c_str();
  run.lpDirectory = temp.c_str();
  run.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&run) || !run.hProcess) {
    LogFailure(L"uninstall not started: " + copy + L" could not be started", GetLastError());
    DeleteFileW(copy.c_str());
    return kNotStarted;
  }
  UniqueHandle process(run.hProcess);
  LogLine(L"uninstall continues in " + copy + L" " + args);
  // The list of installed programs expects the command to return at once; an unattended
  // caller needs the outcome, which only the copy knows.
  if (!silent) return 0;
  DWORD code = kNotStarted;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code))
    return kNotStarted;
  // While this program waited, its own file could not be removed; it goes once this ends.
  if (code == 0) StartHiddenCommand(LeftoverDeleteCommand(self, folder), temp);
  return static_cast<int>(code);
}

void ScheduleSelfDelete() {
  const std::wstring temp = TempFolder();
  const std::wstring self = GetModulePath();
  if (temp.empty() || self.empty() || !StartsWithNoCase(self, temp)) return;
  StartHiddenCommand(SelfDeleteCommand(self), temp);
}
