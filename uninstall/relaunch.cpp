#include "uninstall/relaunch.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "support/files.h"

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
  return args;
}

std::wstring SelfDeleteCommand(const std::wstring& path) {
  return L"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"" + path + L"\"";
}

void RelaunchForUninstall(int argc, wchar_t** argv) {
  const std::wstring temp = TempFolder();
  const std::wstring copy = UninstallCopyName(temp, GetTickCount64());
  const std::wstring self = GetModulePath();
  const std::wstring folder = UninstallFolderOf(self);
  if (!CopyFileW(self.c_str(), copy.c_str(), FALSE)) return;
  const std::wstring args = UninstallRunArguments(folder, argc, argv);
  ShellExecuteW(nullptr, L"open", copy.c_str(), args.c_str(), temp.c_str(), SW_SHOWNORMAL);
}

void ScheduleSelfDelete() {
  const std::wstring temp = TempFolder();
  const std::wstring self = GetModulePath();
  if (temp.empty() || self.empty() || !StartsWithNoCase(self, temp)) return;
  std::wstring command = SelfDeleteCommand(self);
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, temp.c_str(),
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}
