#include "uninstall/relaunch.h"

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

// cmd.exe expands %...% anywhere in its line, quotes or not (Wine's even inside the values of
// variables), and reads & ^ outside quotes: so no path ever appears in the line. The command
// starts in the folder of the file it removes and names only names this program made, and a
// name that cmd.exe could read otherwise is never handed to it.
static bool IsPlainName(const std::wstring& name) {
  // Inside quotes, & ^ and (with delayed expansion off) ! are plain characters.
  return !name.empty() && name.find_first_of(L"%\"\\/:") == std::wstring::npos;
}

std::wstring SelfDeleteCommand(const std::wstring& leaf) {
  if (!IsPlainName(leaf)) return {};
  return L"cmd.exe /d /v:off /c ping -n 3 127.0.0.1 >nul & del /f /q \"" + leaf + L"\"";
}

static std::wstring LastName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Runs command line with no window, from folder (the command's names are relative to it), and
// does not wait for it.
static void StartHiddenCommand(const std::wstring& command, const std::wstring& folder) {
  if (command.empty()) return;
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

// Starts a copy of the program, from the leftover file at source, as the finisher of folder:
// it waits for this process to end, deletes that file through the handle own (inherited, as is
// the handle it waits on), and removes bin and the folder when they are empty. Only this
// program's own executable ever gets a path; no command interpreter is involved.
static bool StartFinisher(HANDLE own, const std::wstring& source, const std::wstring& folder, const std::wstring& temp,
                          int argc, wchar_t** argv) {
  const std::wstring copy = UninstallCopyName(temp, GetTickCount64());
  if (temp.empty() || !CopyFileW(source.c_str(), copy.c_str(), TRUE)) {
    LogFailure(L"the uninstaller's clean-up could not be copied to " + copy, GetLastError());
    return false;
  }
  HANDLE self = nullptr, file = nullptr;
  const HANDLE me = GetCurrentProcess();
  if (!DuplicateHandle(me, me, me, &self, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0) ||
      !DuplicateHandle(me, own, me, &file, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
    LogFailure(L"the uninstaller's clean-up could not be prepared", GetLastError());
    if (self) CloseHandle(self);
    DeleteFileW(copy.c_str());
    return false;
  }
  const UniqueHandle selfHolder(self), fileHolder(file);
  std::wstring line = L"\"" + copy + L"\" --uninstall-finish=" + std::to_wstring(reinterpret_cast<uintptr_t>(self)) +
                      L"," + std::to_wstring(reinterpret_cast<uintptr_t>(file)) + L" \"--dir=" + folder + L"\"";
  for (int i = 1; i < argc; ++i) {
    if (std::wcsncmp(argv[i], L"--log=", 6) == 0) {
      if (argv[i][6] != 0) line += std::wstring(L" \"--log=") + (argv[i] + 6) + L"\"";
      break;
    }
  }
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(copy.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, temp.c_str(), &startup,
                      &process)) {
    LogFailure(L"the uninstaller's clean-up could not be started: " + copy, GetLastError());
    DeleteFileW(copy.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// After the uninstall: the uninstaller, still running, moves its own file (by the handle
// opened before the uninstall, so it is this very file) out of the way, under a name of this
// run alone that a later install never uses, and a hidden command deletes that name once the
// program has ended. Moved into the temporary folder, it leaves bin and the install folder
// empty, and they go here, through checked handles (a link stays). On another drive it can
// only move within bin, and a finisher started from the temporary folder removes it, bin and
// the folder once this process has ended.
static void ScheduleLeftoverDelete(HANDLE own, const std::wstring& self, const std::wstring& folder,
                                   const std::wstring& temp, int argc, wchar_t** argv) {
  const std::wstring moved = UninstallCopyName(temp, GetTickCount64());
  // A folder that does not open keeps bin; RemoveRootFolder still tries the folder itself.
  FolderRoot root;
  const bool opened = FolderRootOpen(root, folder);
  FolderRoot tempRoot;
  if (!temp.empty() && FolderRootOpen(tempRoot, temp) && RenameOpenFileBelow(tempRoot, own, moved)) {
    const std::wstring bin = FolderOfPath(self);
    if (opened && !SamePathText(bin, root.path)) RemoveFolderBelow(root, bin.substr(0, bin.size() - 1));
    RemoveRootFolder(root);
    StartHiddenCommand(SelfDeleteCommand(LastName(moved)), temp);
    return;
  }
  const std::wstring leftover = self + L"." + std::to_wstring(GetCurrentProcessId()) + layout::kTempSuffix;
  FolderRoot outside;  // the uninstaller's own folder, when it is not below the installation
  if (!RenameOpenFileBelow(RootFor(root, leftover, outside), own, leftover)) return;  // gone already
  if (StartFinisher(own, leftover, folder, temp, argc, argv)) return;
  StartHiddenCommand(SelfDeleteCommand(LastName(leftover)), FolderOfPath(leftover));
}

int FinishUninstall(const std::wstring& handles, const std::wstring& folder) {
  const std::size_t comma = handles.find(L',');
  if (comma == std::wstring::npos || folder.empty()) return kNotStarted;
  const auto process = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(handles.c_str(), nullptr, 10)));
  const auto given = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(handles.c_str() + comma + 1, nullptr, 10)));
  // Only the uninstaller's leftover, handed down with the process to wait for, is ever deleted
  // here: a handle value typed by hand names nothing this program would delete.
  wchar_t name[MAX_PATH + 64] = {};
  const DWORD n = given ? GetFinalPathNameByHandleW(given, name, MAX_PATH + 63, FILE_NAME_NORMALIZED) : 0;
  const std::wstring leaf = n && n < MAX_PATH + 63 ? LastName(std::wstring(name, n)) : std::wstring();
  const std::wstring prefix = std::wstring(layout::kUninstallerName) + L".", suffix = layout::kTempSuffix;
  if (!process || GetProcessId(process) == 0 || GetFileType(given) != FILE_TYPE_DISK ||
      leaf.size() <= prefix.size() + suffix.size() || !StartsWithNoCase(leaf, prefix) ||
      !SamePathText(leaf.substr(leaf.size() - suffix.size()), suffix)) {
    LogLine(L"uninstall clean-up not started: no uninstaller was handed down");
    return kNotStarted;
  }
  UniqueHandle file(given);
  if (WaitForSingleObject(process, 5 * 60 * 1000) != WAIT_OBJECT_0) {
    LogFailure(L"uninstall clean-up: the uninstaller did not end", GetLastError());
    return kNotStarted;
  }
  CloseHandle(process);
  if (!DeleteOpenFile(file.get())) LogFailure(L"uninstall clean-up: the uninstaller's file could not be deleted", GetLastError());
  file.reset();  // the file goes when its last handle closes
  FolderRoot root;
  if (FolderRootOpen(root, folder)) {
    RemoveFolderBelow(root, root.path + layout::kBinFolder);
    RemoveRootFolder(root);
  }
  LogLine(L"uninstall clean-up of " + folder + L" finished");
  ScheduleSelfDelete();
  return 0;
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

  // Started by its own path, never through the shell, which would expand a % in the
  // temporary folder's name.
  std::wstring line = L"\"" + copy + L"\" " + args;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(copy.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, temp.c_str(), &startup,
                      &started)) {
    LogFailure(L"uninstall not started: " + copy + L" could not be started", GetLastError());
    DeleteFileW(copy.c_str());
    return kNotStarted;
  }
  CloseHandle(started.hThread);
  UniqueHandle process(started.hProcess);
  LogLine(L"uninstall continues in " + copy + L" " + args);
  // The list of installed programs expects the command to return at once; an unattended
  // caller needs the outcome, which only the copy knows.
  if (!silent) return 0;
  DWORD code = kNotStarted;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code))
    return kNotStarted;
  // While this program waited, its own file could not be removed; it goes once this ends.
  if (code == 0 && own.valid()) ScheduleLeftoverDelete(own.get(), self, folder, temp, argc, argv);
  return static_cast<int>(code);
}

void ScheduleSelfDelete() {
  const std::wstring temp = TempFolder();
  const std::wstring self = GetModulePath();
  if (temp.empty() || self.empty() || !StartsWithNoCase(self, temp)) return;
  StartHiddenCommand(SelfDeleteCommand(LastName(self)), FolderOfPath(self));
}
