#include "install/register.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "app/build_config.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/text.h"


// A registry step that failed: logged, and skipped, as registration is best effort.
static Failure RegistryFailure(LSTATUS status, const std::wstring& path) {
  if (status == ERROR_SUCCESS) return {};
  const Failure failure{FailureKind::RegistryWrite, static_cast<uint32_t>(status), 0, path};
  LogFailure(L"registration step skipped", failure);
  return failure;
}

// REG_SZ with its terminating NUL counted, as readers of the uninstall list expect.
static Failure SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegistryFailure(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                         name);
}

static Failure SetDword(HKEY key, const wchar_t* name, DWORD value) {
  return RegistryFailure(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
                         name);
}

static bool CreateKey(const wchar_t* path, UniqueRegKey& key) {
  return !Failed(RegistryFailure(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 KEY_WRITE, nullptr, key.put(), nullptr),
                                 path));
}

std::wstring ReadSetupRegistryValue(const wchar_t* name) {
  wchar_t buffer[512] = {};  // 1,024 bytes; at most 510 characters and the NUL are accepted
  DWORD size = 1022;
  if (RegGetValueW(HKEY_CURRENT_USER, layout::kSetupKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return {};
  return buffer;
}

std::wstring ShortcutPath(REFKNOWNFOLDERID folder) {
  PWSTR path = nullptr;
  HRESULT hr = SHGetKnownFolderPath(folder, KF_FLAG_CREATE, nullptr, &path);
  std::wstring result;
  if (SUCCEEDED(hr) && path) result = std::wstring(path) + L"\\" + layout::kShortcutName;
  CoTaskMemFree(path);
  return result;
}

void CreateShortcut(REFKNOWNFOLDERID folder, const std::wstring& target, const std::wstring& workingFolder) {
  const std::wstring path = ShortcutPath(folder);
  if (path.empty()) return;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return;
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  link->SetIconLocation(target.c_str(), 0);
  link->SetDescription(layout::kProductName);
  ComPtr<IPersistFile> file;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void()))) file->Save(path.c_str(), TRUE);
}

Failure RegisterInstallation(const RegistrationRequest& request) {
  const std::wstring& dir = request.folder;
  const std::wstring launcher = dir + L"\\" + layout::kLauncherExe;
  const std::wstring uninstaller = dir + L"\\" + layout::kUninstaller;
  const std::wstring oldUninstaller = dir + L"\\" + layout::kLegacyUninstaller;
  const std::wstring oldMarker = dir + L"\\" + layout::kLegacyMarker;
  const std::wstring self = GetModulePath();

  // A repair started from the uninstaller itself must not copy the file onto itself. Without
  // the copy the uninstall entry would point at nothing, so nothing is registered. The copy is
  // written like any file of the folder, never through a link in bin or at its name.
  FolderRoot root;
  const bool opened = FolderRootOpen(root, dir);
  const DWORD openError = opened ? 0 : GetLastError();
  std::string program;
  if (!SamePathText(self, uninstaller) &&
      !(ReadWholeFile(self, program) && WriteFileAtomicBelow(root, uninstaller, program))) {
    const Failure failure{FailureKind::WriteFile, opened ? GetLastError() : openError, 0, uninstaller};
    LogFailure(L"registration failed", failure);
    return failure;
  }
  if (!SamePathText(self, oldUninstaller)) DeleteFileBelow(root, oldUninstaller);
  DeleteFileBelow(root, oldMarker);

  if (request.desktopShortcut) CreateShortcut(FOLDERID_Desktop, launcher, dir);
  if (request.startMenuShortcut) CreateShortcut(FOLDERID_Programs, launcher, dir);

  UniqueRegKey key;
  if (CreateKey(layout::kSetupKey, key)) {
    SetString(key.get(), layout::kInstallPathValue, dir);
    SetString(key.get(), layout::kLanguageValue, request.languageCode);
  }
  UniqueRegKey entry;
  if (CreateKey(layout::kUninstallKey, entry)) {
    SetString(entry.get(), layout::kEntryDisplayName, layout::kProductName);
    SetString(entry.get(), layout::kEntryDisplayIcon, launcher);
    SetString(entry.get(), layout::kEntryDisplayVersion, std::to_wstring(request.version));
    SetString(entry.get(), layout::kEntryPublisher, layout::kProductName);
    SetString(entry.get(), layout::kEntryInstallLocation, dir);
    SetString(entry.get(), layout::kEntryUrlInfoAbout, g_websiteUrl);
    SetString(entry.get(), layout::kEntryUninstallString, L"\"" + uninstaller + L"\" --uninstall");
    SetDword(entry.get(), layout::kEntryNoModify, 1);
    SetDword(entry.get(), layout::kEntryNoRepair, 1);
    SetDword(entry.get(), layout::kEntryEstimatedSize, static_cast<DWORD>(request.size >> 10));
  }
  LogLine(L"registered " + dir);
  return {};
}
