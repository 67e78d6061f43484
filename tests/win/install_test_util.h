#pragma once
// Helpers of the installation and uninstallation tests: a private HKEY_CURRENT_USER, a lock
// for the state every test process shares (known folders, the launcher's mutex, drive
// letters), a running launcher, mapped drives, and the setup state as the program starts it.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/languages.h"
#include "app/setup_state.h"
#include "test_files.h"

namespace qvtest {

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

}  // namespace qvtest
