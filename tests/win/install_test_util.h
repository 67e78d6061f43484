#pragma once
// Helpers of the installation and uninstallation tests: throw-away folders on drive C, a
// private HKEY_CURRENT_USER, a lock for the state every test process shares (known folders,
// the launcher's mutex, drive letters), and the few Unix tools that Wine's API cannot stand in
// for (symbolic links, clean removal of folders that hold links).
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/languages.h"
#include "app/setup_state.h"

namespace qvinstall {

inline std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The Unix name of a Windows path under Wine; empty if it has none.
inline std::string UnixPath(const std::wstring& windowsPath) {
  using Convert = char* (*)(const wchar_t*);
  static const Convert convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return {};
  char* unix = convert(windowsPath.c_str());
  if (!unix) return {};
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// Runs a Unix program (Wine starts ELF executables directly) and waits until it has ended.
// Wine returns no usable process record for a Unix program (the handles in it are stale
// values that must not be closed), so a shell reports the end through a file.
inline void RunUnix(const std::vector<std::string>& argv) {
  static int counter = 0;
  const std::string done = "/tmp/qv-unix-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  std::wstring line = L"/bin/sh -c \"\\\"$0\\\" \\\"$@\\\"; touch " + std::wstring(done.begin(), done.end()) + L"\"";
  for (const std::string& a : argv) line += L" \"" + std::wstring(a.begin(), a.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(L"/bin/sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      << "cannot run " << argv[0];
  std::wstring doneFile = L"Z:" + std::wstring(done.begin(), done.end());
  for (auto& c : doneFile) c = c == L'/' ? L'\\' : c;
  for (int i = 0; i < 6000 && GetFileAttributesW(doneFile.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
  ASSERT_TRUE(DeleteFileW(doneFile.c_str())) << argv[0] << " did not finish";
}

// A symbolic link made by the host system: Wine lists a linked folder as a reparse point
// (as Windows lists a junction) and a linked file as a plain file.
inline void MakeLink(const std::wstring& link, const std::wstring& target) {
  const std::string unixTarget = UnixPath(target), unixLink = UnixPath(link);
  ASSERT_FALSE(unixTarget.empty() || unixLink.empty());
  RunUnix({"/bin/ln", "-s", unixTarget, unixLink});
  ASSERT_NE(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES) << "no link at " << Narrow(link);
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadBytes(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out;
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
  CloseHandle(h);
  return out;
}

// Writes a file, creating its folders.
inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  for (std::size_t cut = path.find(L'\\', 3); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1))
    CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot write " << Narrow(path);
  DWORD n = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
}

// A new empty folder C:\qvtests\<test>-<pid>-<n>, removed with everything below it (links
// removed, never followed) when the object ends.
class TestFolder {
public:
  TestFolder() {
    static int counter = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    CreateDirectoryW(L"C:\\qvtests", nullptr);
    path_ = L"C:\\qvtests\\" + std::wstring(name.begin(), name.end()) + L"-" +
            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    Remove();
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TestFolder() { Remove(); }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  // The folder, without a trailing backslash.
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& rel) const { return path_ + L"\\" + rel; }

private:
  void Remove() {
    const std::string unix = UnixPath(path_);
    if (!unix.empty() && Exists(path_)) RunUnix({"/bin/rm", "-rf", unix});
  }
  std::wstring path_;
};

// Points HKEY_CURRENT_USER of this process at a key of its own, so that tests that write or
// delete the program's keys never meet another process's installation.
class RegistrySandbox {
public:
  RegistrySandbox() {
    name_ = L"Software\\QuorvelTests\\" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, key_), ERROR_SUCCESS);
  }
  ~RegistrySandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
  }
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

private:
  std::wstring name_;
  HKEY key_ = nullptr;
};

// Held while a test touches what all processes of the Wine prefix share: the launcher's
// mutex, shortcuts in known folders, drive letters. The end-to-end scripts take it too.
class SharedStateLock {
public:
  SharedStateLock() {
    mutex_ = CreateMutexW(nullptr, FALSE, L"Quorvel.Tests.SharedState");
    DWORD r = WaitForSingleObject(mutex_, 15 * 60 * 1000);
    EXPECT_TRUE(r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) << "shared state lock not obtained";
  }
  ~SharedStateLock() {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  SharedStateLock(const SharedStateLock&) = delete;
  SharedStateLock& operator=(const SharedStateLock&) = delete;

private:
  HANDLE mutex_ = nullptr;
};

// Holds the game launcher's named mutex, as the running launcher does.
class LauncherRunning {
public:
  LauncherRunning() {
    mutex_ = CreateMutexW(nullptr, TRUE, L"Quorvel.OrskLauncher.{3F8B2C71-9D4E-4A6B-8E15-7C2D9A0B4E63}");
    EXPECT_NE(mutex_, nullptr);
  }
  ~LauncherRunning() { CloseHandle(mutex_); }
  LauncherRunning(const LauncherRunning&) = delete;
  LauncherRunning& operator=(const LauncherRunning&) = delete;

private:
  HANDLE mutex_ = nullptr;
};

// Maps a free drive letter to a host folder with a drive type, through Wine's mount manager
// (it writes the dosdevices link and the HKLM\Software\Wine\Drives type), and removes it again.
class MappedDrive {
public:
  MappedDrive(const std::wstring& folder, UINT type) {
    DWORD used = GetLogicalDrives();
    for (wchar_t l = L'y'; l > L'd' && !letter_; --l)
      if (!(used & (1u << (l - L'a')))) letter_ = l;
    EXPECT_TRUE(letter_) << "no free drive letter";
    EXPECT_TRUE(Define(UnixPath(folder), type)) << "mount manager refused the drive";
  }
  ~MappedDrive() {
    if (letter_) Define({}, DRIVE_NO_ROOT_DIR);
  }
  MappedDrive(const MappedDrive&) = delete;
  MappedDrive& operator=(const MappedDrive&) = delete;
  // "X:\"
  std::wstring root() const { return std::wstring(1, static_cast<wchar_t>(letter_ - 32)) + L":\\"; }

private:
  struct UnixDrive {  // Wine's IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE input, then the mount point
    ULONG size, type, fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset, deviceOffset, labelOffset;
  };
  bool Define(const std::string& unixFolder, UINT type) {
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(sizeof(UnixDrive) + unixFolder.size() + 1);
    auto* drive = reinterpret_cast<UnixDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = type;
    drive->letter = letter_;
    if (!unixFolder.empty()) {
      drive->mountPointOffset = sizeof(UnixDrive);
      std::memcpy(buffer.data() + sizeof(UnixDrive), unixFolder.c_str(), unixFolder.size() + 1);
    }
    DWORD n = 0;
    BOOL ok = DeviceIoControl(manager, CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS),
                              buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, 0, &n, nullptr);
    CloseHandle(manager);
    return ok;
  }
  wchar_t letter_ = 0;
};

// The setup state as the program starts it, for the parts these tests use.
inline void ResetSetupState() {
  g_setup.installDir.clear();
  g_setup.errorText.clear();
  g_setup.optLaunchGame = true;
  g_setup.optKeepUserData = true;
  g_setup.optStartMenuShortcut = true;
  g_setup.optDesktopShortcut = true;
  g_setup.page = SetupPage::Welcome;
  g_setup.exitCode = ExitCode::Done;
  g_setup.silent = g_setup.noLaunch = g_setup.noShortcuts = false;
  g_setup.existingInstall = false;
  g_setup.gameSize = 0;
  g_setup.remoteVersion = 0;
  g_setup.installFailed = g_setup.cancelRequested = false;
  g_setup.uninstallDone = 0;
  g_setup.uninstallTotal = 0;
  g_setup.mainWindow = nullptr;
  SetInstallerLanguage(kEnglishLanguage);
}

// A message-only window that collects what workers post to the main window.
class MessageSink {
public:
  MessageSink() { hwnd_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }
  ~MessageSink() { DestroyWindow(hwnd_); }
  MessageSink(const MessageSink&) = delete;
  MessageSink& operator=(const MessageSink&) = delete;
  HWND hwnd() const { return hwnd_; }
  // The number of posted messages with this code waiting for the window (removes them).
  int Take(UINT code) {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, code, code, PM_REMOVE)) ++count;
    return count;
  }

private:
  HWND hwnd_ = nullptr;
};

}  // namespace qvinstall
