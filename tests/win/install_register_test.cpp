// Registration: the uninstaller copy, the two registry keys read back from the real registry
// (in a private HKEY_CURRENT_USER), the setup value reader, and shortcuts read back through
// the shell link interfaces.
#include <gtest/gtest.h>

#include <windows.h>
#define NO_SHDOCVW_GUIDS
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <vector>

#include "app/build_config.h"
#include "app/languages.h"
#include "app/setup_state.h"
#include "install/register.h"
#include "install_test_util.h"
#include "patch/engine.h"
#include "support/files.h"
#include "support/handles.h"
#include "ui/window.h"
#include "uninstall/worker.h"

using namespace qvtest;

namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";

struct RegValue {
  DWORD type = 0;
  std::vector<BYTE> data;
  bool found = false;
  std::wstring text() const {
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  }
  DWORD dword() const { return data.size() == 4 ? *reinterpret_cast<const DWORD*>(data.data()) : 0xFFFFFFFF; }
};

RegValue ReadValue(const wchar_t* key, const wchar_t* name) {
  RegValue v;
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &v.type, nullptr, &size) != ERROR_SUCCESS)
    return v;
  v.data.resize(size);
  v.found = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &v.type, v.data.data(), &size) ==
            ERROR_SUCCESS;
  v.data.resize(size);
  return v;
}

// A REG_SZ as stored: the text and its terminating NUL, nothing more.
void ExpectString(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
  RegValue v = ReadValue(key, name);
  ASSERT_TRUE(v.found) << Narrow(name);
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ)) << Narrow(name);
  EXPECT_EQ(v.data.size(), (text.size() + 1) * sizeof(wchar_t)) << Narrow(name);
  EXPECT_EQ(v.text(), text + L'\0') << Narrow(name);
}

std::vector<std::wstring> ValueNames(const wchar_t* key) {
  std::vector<std::wstring> names;
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = 256;
    if (RegEnumValueW(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, len);
  }
  RegCloseKey(k);
  return names;
}

void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quorvel", 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(k);
}

class Registration : public ::testing::Test {
protected:
  void SetUp() override {
    ResetSetupState();
    g_setup.noShortcuts = true;  // shortcuts are checked on their own below
  }
};

struct LinkInfo {
  bool loaded = false;
  std::wstring path, workingFolder, iconPath, description;
  int icon = -1;
};

LinkInfo ReadLink(const std::wstring& file) {
  LinkInfo info;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return info;
  ComPtr<IPersistFile> persist;
  if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void()))) return info;
  if (FAILED(persist->Load(file.c_str(), STGM_READ))) return info;
  info.loaded = true;
  wchar_t buf[MAX_PATH] = {};
  link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
  info.path = buf;
  buf[0] = 0;
  link->GetWorkingDirectory(buf, MAX_PATH);
  info.workingFolder = buf;
  buf[0] = 0;
  link->GetIconLocation(buf, MAX_PATH, &info.icon);
  info.iconPath = buf;
  buf[0] = 0;
  link->GetDescription(buf, MAX_PATH);
  info.description = buf;
  return info;
}

// Shortcut tests use a known folder no other test or program writes to.
class Shortcuts : public ::testing::Test {
protected:
  void SetUp() override {
    ResetSetupState();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    link_ = ShortcutPath(FOLDERID_Templates);
    ASSERT_FALSE(link_.empty());
    DeleteFileW(link_.c_str());
  }
  void TearDown() override {
    DeleteFileW(link_.c_str());
    RemoveDirectoryW(link_.c_str());
    CoUninitialize();
  }
  SharedStateLock lock_;
  std::wstring link_;
};

}  // namespace

TEST_F(Registration, WritesBothKeysTheUninstallerAndRemovesTheOldLayout) {
  RegistrySandbox registry;
  ScratchFolder dir;
  WriteBytes(dir / L"bin\\quorvel.install", "Quorvel");
  WriteBytes(dir / L"quorvel.install", "Quorvel");
  WriteBytes(dir / L"Uninstall Quorvel.exe", "old uninstaller");
  g_setup.installDir = dir.path();
  g_setup.gameSize = 5000000000ull;
  g_engine.manifestVersion = 42;
  SetInstallerLanguage(FindInstallerLanguage("pl"));

  RegisterFinishedInstall();

  EXPECT_TRUE(g_setup.existingInstall);
  EXPECT_EQ(ReadBytes(dir / L"bin\\Uninstall Quorvel.exe"), ReadBytes(GetModulePath()));
  EXPECT_FALSE(Exists(dir / L"Uninstall Quorvel.exe"));
  EXPECT_FALSE(Exists(dir / L"quorvel.install"));
  EXPECT_TRUE(Exists(dir / L"bin\\quorvel.install"));

  ExpectString(L"Software\\Quorvel", L"InstallPath", dir.path());
  ExpectString(L"Software\\Quorvel", L"Language", L"pl");
  EXPECT_EQ(ValueNames(L"Software\\Quorvel"), (std::vector<std::wstring>{L"InstallPath", L"Language"}));

  const std::wstring launcher = dir / L"Quorvel.exe";
  ExpectString(kUninstallKey, L"DisplayName", L"Quorvel");
  ExpectString(kUninstallKey, L"DisplayIcon", launcher);
  ExpectString(kUninstallKey, L"DisplayVersion", L"42");
  ExpectString(kUninstallKey, L"Publisher", L"Quorvel");
  ExpectString(kUninstallKey, L"InstallLocation", dir.path());
  ExpectString(kUninstallKey, L"URLInfoAbout", g_websiteUrl);
  EXPECT_EQ(g_websiteUrl.rfind(L"https://", 0), 0u);
  ExpectString(kUninstallKey, L"UninstallString", L"\"" + dir.path() + L"\\bin\\Uninstall Quorvel.exe\" --uninstall");
  for (const wchar_t* name : {L"NoModify", L"NoRepair"}) {
    RegValue v = ReadValue(kUninstallKey, name);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD)) << Narrow(name);
    EXPECT_EQ(v.dword(), 1u) << Narrow(name);
  }
  RegValue size = ReadValue(kUninstallKey, L"EstimatedSize");
  EXPECT_EQ(size.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size.dword(), 4882812u);
  // The registry keeps no write order that could be read back; the set of names is exact.
  std::vector<std::wstring> names = ValueNames(kUninstallKey);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"DisplayIcon", L"DisplayName", L"DisplayVersion", L"EstimatedSize",
                                              L"InstallLocation", L"NoModify", L"NoRepair", L"Publisher",
                                              L"URLInfoAbout", L"UninstallString"}));
}

TEST_F(Registration, RepairOverwritesValuesAndUnknownSizeIsZero) {
  RegistrySandbox registry;
  ScratchFolder first, second;
  CreateDirectoryW((first / L"bin").c_str(), nullptr);
  CreateDirectoryW((second / L"bin").c_str(), nullptr);
  g_setup.installDir = first.path();
  g_engine.manifestVersion = 7;
  g_setup.gameSize = 123456789;
  RegisterFinishedInstall();
  g_setup.installDir = second.path();
  g_engine.manifestVersion = -3;
  g_setup.gameSize = 0;
  SetInstallerLanguage(FindInstallerLanguage("hu"));
  RegisterFinishedInstall();
  ExpectString(L"Software\\Quorvel", L"InstallPath", second.path());
  ExpectString(L"Software\\Quorvel", L"Language", L"hu");
  ExpectString(kUninstallKey, L"DisplayVersion", L"-3");
  EXPECT_EQ(ReadValue(kUninstallKey, L"EstimatedSize").dword(), 0u);
  EXPECT_EQ(ValueNames(kUninstallKey).size(), 10u);
}

TEST_F(Registration, SetupValueReaderTakesOnlyShortEnoughStrings) {
  RegistrySandbox registry;
  EXPECT_EQ(ReadSetupRegistryValue(L"InstallPath"), L"") << "no key";
  const std::wstring path = L"D:\\Games\\Quorvel";
  SetValue(L"InstallPath", REG_SZ, path.c_str(), static_cast<DWORD>((path.size() + 1) * 2));
  EXPECT_EQ(ReadSetupRegistryValue(L"InstallPath"), path);
  EXPECT_EQ(ReadSetupRegistryValue(L"Language"), L"") << "no value";

  DWORD number = 5;
  SetValue(L"Language", REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(ReadSetupRegistryValue(L"Language"), L"");

  const std::wstring longest(510, L'x');
  SetValue(L"Long", REG_SZ, longest.c_str(), static_cast<DWORD>((longest.size() + 1) * 2));
  EXPECT_EQ(ReadSetupRegistryValue(L"Long"), longest);
  const std::wstring tooLong(511, L'x');
  SetValue(L"Long", REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2));
  EXPECT_EQ(ReadSetupRegistryValue(L"Long"), L"");
  // Stored without its NUL: the reader still ends the text where the data ends.
  SetValue(L"Bare", REG_SZ, L"enXX", 4);
  EXPECT_EQ(ReadSetupRegistryValue(L"Bare"), L"en");
}

TEST_F(Shortcuts, PathIsTheKnownFolderPlusQuorvelLnk) {
  PWSTR folder = nullptr;
  ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Templates, 0, nullptr, &folder), S_OK);
  EXPECT_EQ(link_, std::wstring(folder) + L"\\Quorvel.lnk");
  CoTaskMemFree(folder);
}

TEST_F(Shortcuts, CreatedLinkCarriesTargetFolderIconAndDescription) {
  ScratchFolder dir;
  WriteBytes(dir / L"Quorvel.exe", "launcher");
  g_setup.installDir = dir.path();
  CreateShortcut(FOLDERID_Templates, dir / L"Quorvel.exe", g_setup.installDir);
  LinkInfo info = ReadLink(link_);
  ASSERT_TRUE(info.loaded);
  EXPECT_EQ(info.path, dir / L"Quorvel.exe");
  EXPECT_EQ(info.workingFolder, dir.path());
  EXPECT_EQ(info.iconPath, dir / L"Quorvel.exe");
  EXPECT_EQ(info.icon, 0);
  EXPECT_EQ(info.description, L"Quorvel");

  // A second install elsewhere overwrites the link of the same name.
  ScratchFolder other;
  WriteBytes(other / L"Quorvel.exe", "launcher");
  g_setup.installDir = other.path();
  CreateShortcut(FOLDERID_Templates, other / L"Quorvel.exe", g_setup.installDir);
  EXPECT_EQ(ReadLink(link_).path, other / L"Quorvel.exe");
}

TEST_F(Shortcuts, RemovalOnlyForLinksIntoTheFolder) {
  ScratchFolder base;
  const std::wstring dir = base / L"Quorvel", sibling = base / L"Quorvel2";
  WriteBytes(dir + L"\\Quorvel.exe", "launcher");
  WriteBytes(sibling + L"\\Quorvel.exe", "another installation");

  g_setup.installDir = sibling;
  CreateShortcut(FOLDERID_Templates, sibling + L"\\Quorvel.exe", g_setup.installDir);
  RemoveShortcut(FOLDERID_Templates, dir);
  EXPECT_TRUE(Exists(link_)) << "a link into a folder that merely starts with the same text";

  g_setup.installDir = dir;
  CreateShortcut(FOLDERID_Templates, dir + L"\\Quorvel.exe", g_setup.installDir);
  RemoveShortcut(FOLDERID_Templates, base / L"Elsewhere");
  EXPECT_TRUE(Exists(link_));
  RemoveShortcut(FOLDERID_Templates, base / L"QUORVEL");  // the comparison ignores case
  EXPECT_FALSE(Exists(link_));

  // Not a shortcut at all: unreadable, so it stays.
  WriteBytes(link_, "not a shell link");
  RemoveShortcut(FOLDERID_Templates, dir);
  EXPECT_EQ(ReadBytes(link_), "not a shell link");
  DeleteFileW(link_.c_str());

  // A folder of that name stays as well.
  ASSERT_TRUE(CreateDirectoryW(link_.c_str(), nullptr));
  RemoveShortcut(FOLDERID_Templates, dir);
  EXPECT_TRUE(Exists(link_));
}
