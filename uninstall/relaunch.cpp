#include "uninstall/relaunch.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "app/setup_state.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/layout.h"
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

// cmd.exe expands %...% anywhere in its line, quotes or not, and reads & ^ outside quotes: so
// a path never appears in the line itself. It comes in a variable of the command's own
// environment, expanded once and inside quotes, where nothing in it is read as a command.
std::wstring SelfDeleteCommand(const std::wstring& variable) {
  return L"cmd.exe /d /v:off /c ping -n 3 127.0.0.1 >nul & del /f /q \"%" + variable + L"%\"";
}

static bool IsPlainFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring LeftoverDeleteCommand(const std::wstring& leftover, const std::wstring& folder, CommandPaths& paths) {
  paths.clear();
  paths.emplace_back(kDeleteVariable, leftover);
  std::wstring command = SelfDeleteCommand(kDeleteVariable);
  // rmdir removes only empty folders; a linked folder keeps its link, as the uninstall does.
  const std::wstring bin = FolderOfPath(leftover);
  const std::wstring binFolder = bin.size() > 1 ? bin.substr(0, bin.size() - 1) : bin;
  if (!SamePathText(binFolder, folder) && IsPlainFolder(binFolder)) {
    paths.emplace_back(L"QV_RMDIR_BIN", binFolder);
    command += L" & rmdir \"%QV_RMDIR_BIN%\" 2>nul";
  }
  if (IsPlainFolder(folder)) {
    paths.emplace_back(L"QV_RMDIR_FOLDER", folder);
    command += L" & rmdir \"%QV_RMDIR_FOLDER%\" 2>nul";
  }
  return command;
}

// This program's environment with the command's own variables added (a block as
// CreateProcessW takes it).
static std::vector<wchar_t> EnvironmentWith(const CommandPaths& paths) {
  std::vector<wchar_t> block;
  if (wchar_t* current = GetEnvironmentStringsW()) {
    for (const wchar_t* p = current; *p; p += std::wcslen(p) + 1) {
      const std::wstring entry(p);
      bool replaced = false;
      for (const auto& [name, value] : paths)
        replaced = replaced || (entry.size() > name.size() && entry[name.size()] == L'=' &&
                                SamePathText(entry.substr(0, name.size()), name));
      if (!replaced) block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    }
    FreeEnvironmentStringsW(current);
  }
  for (const auto& [name, value] : paths) {
    const std::wstring entry = name + L"=" + value;
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  }
  block.push_back(0);
  return block;
}

// Runs command line with no window, from folder, with paths in its environment, and does not
// wait for it.
static void StartHiddenCommand(const std::wstring& command, const std::wstring& folder, const CommandPaths& paths) {
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(0);
  std::vector<wchar_t> environment = EnvironmentWith(paths);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                     environment.data(), folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

// The running program's own file, opened so that it can be renamed while it runs; invalid
// unless the program is the registered uninstaller of folder (or the older layout's), so no
// other program started with --uninstall ever removes itself.
static UniqueHandle OpenRegisteredUninstaller(const std::wstring& self, const std::wstring& folder) {
  if (!SamePathText(self, folder + L"\\" + layout::kUninstaller) &&
      !SamePathText(self, folder + L"\\" + layout::kLegacyUninstaller))
    return UniqueHandle();
  return UniqueHandle(CreateFileW(self.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// After the uninstall: the uninstaller, still running, moves its own file (by the handle
// opened before the uninstall, so it is this very file) to a name of this run alone, which a
// later install never uses, and a hidden command removes that name and the folders left empty.
static void ScheduleLeftoverDelete(HANDLE own, const std::wstring& self, const std::wstring& folder,
                                   const std::wstring& temp) {
  const std::wstring leftover = self + L"." + std::to_wstring(GetCurrentProcessId()) + layout::kTempSuffix;
  const std::wstring leaf = leftover.substr(leftover.find_last_of(L'\\') + 1);
  if (!RenameOpenFileWithin(own, FolderOfPath(self), leaf)) return;  // gone already, or not ours
  CommandPaths paths;
  const std::wstring command = LeftoverDeleteCommand(leftover, folder, paths);
  StartHiddenCommand(command, temp, paths);
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
  const UniqueHandle own = OpenRegisteredUninstaller(self, folder);
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
  if (code == 0 && own.valid()) ScheduleLeftoverDelete(own.get(), self, folder, temp);
  return static_cast<int>(code);
}

void ScheduleSelfDelete() {
  const std::wstring temp = TempFolder();
  const std::wstring self = GetModulePath();
  if (temp.empty() || self.empty() || !StartsWithNoCase(self, temp)) return;
  StartHiddenCommand(SelfDeleteCommand(kDeleteVariable), temp, {{kDeleteVariable, self}});
}
