#include "uninstall/worker.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <vector>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
#include "install/register.h"
#include "install/start.h"
#include "patch/state.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/migrate.h"
#include "support/text.h"

// Every deletion below is made through a handle opened inside its folder's checked handle
// (support/files.h): nothing is ever deleted through a junction or a symbolic link, including
// file links that a directory listing does not flag, nor through a folder swapped for one
// between a look and the act. A hard link loses only its name here.
void DeleteFolderContents(const std::wstring& folder) {
  FolderRoot parent;
  if (FolderRootOpen(parent, FolderOfPath(folder))) DeleteTreeBelow(parent, folder, false);
}

static void DeleteOwnFile(const FolderRoot& root, const std::wstring& rel) { DeleteFileBelow(root, root.path + rel); }

static void RemoveOwnFolder(const FolderRoot& root, const std::wstring& rel) { RemoveFolderBelow(root, root.path + rel); }

static void DeleteOwnFolder(const FolderRoot& root, const std::wstring& rel) {
  DeleteTreeBelow(root, root.path + rel, true);
}

static std::wstring InConfig(const wchar_t* name) { return std::wstring(layout::kConfigFolder) + L"\\" + name; }

// The player's settings files, which an uninstall that keeps the player's data keeps.
static bool InKeepSet(const std::wstring& path) {
  const std::wstring lower = ToLowerAscii(path);
  for (const wchar_t* kept : layout::kSettingsFiles) {
    if (lower == ToLowerAscii(InConfig(kept))) return true;
  }
  return false;
}

static bool IsUserFolder(const std::wstring& rel) {
  for (const wchar_t* folder : layout::kUserFolders) {
    if (SamePathText(rel, folder)) return true;
  }
  return false;
}

// The program's own temporary files (a name + ".ap_tmp") anywhere below rel (empty or ending in
// a backslash), which a cancelled or failed run leaves beside files the cache does not list yet.
// Links are not followed and the player's own folders are not searched.
static void DeleteTempFiles(const FolderRoot& root, const std::wstring& rel) {
  static const std::wstring kSuffix = layout::kTempSuffix;
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirstFileW((root.path + rel + L"*").c_str(), &data));
  if (!find.valid()) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    const std::wstring child = rel + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!IsUserFolder(child)) DeleteTempFiles(root, child + L"\\");
    } else if (name.size() > kSuffix.size() && SamePathText(name.substr(name.size() - kSuffix.size()), kSuffix)) {
      DeleteOwnFile(root, child);
    }
  } while (FindNextFileW(find.get(), &data));
}

void RemoveShortcut(REFKNOWNFOLDERID knownFolder, const std::wstring& installFolder) {
  const std::wstring path = ShortcutPath(knownFolder);
  if (path.empty()) return;
  DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return;
  wchar_t target[MAX_PATH] = {};
  {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
      return;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return;
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) link->GetPath(target, MAX_PATH, nullptr, 0);
  }
  // Inside the folder means below it: the prefix ends in a separator, so that a link into
  // C:\Quorvel2 does not count as one into C:\Quorvel.
  std::wstring prefix = installFolder;
  if (prefix.empty()) return;
  if (prefix.back() != L'\\') prefix += L'\\';
  const std::wstring targetText = target;
  if (targetText.size() >= prefix.size() && SamePathText(targetText.substr(0, prefix.size()), prefix))
    DeleteFileW(path.c_str());
}

void UninstallWorker(std::wstring folder, bool keep) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  RemoveShortcut(FOLDERID_Desktop, folder);
  RemoveShortcut(FOLDERID_Programs, folder);
  if (SUCCEEDED(com)) CoUninitialize();

  // Opened once: every removal below goes through this handle, never the folder's name again.
  FolderRoot root;
  FolderRootOpen(root, folder);
  MigrateLegacyLayout(root);

  std::vector<std::wstring> files;
  ReadCachePaths(root, [&files](std::wstring& path) { files.push_back(std::move(path)); });
  for (const wchar_t* name : layout::kProgramFiles) files.push_back(name);
  files.push_back(layout::kPatcherIni);
  files.push_back(layout::kPatcherCache);
  files.push_back(layout::kPatcherPieces);
  for (const wchar_t* name : layout::kSettingsFiles) files.push_back(InConfig(name));
  g_setup.uninstallDone.store(0);
  g_setup.uninstallTotal.store(static_cast<int32_t>(files.size() + 1));

  std::set<std::wstring> parents;
  for (const std::wstring& rel : files) {
    g_setup.uninstallDone.fetch_add(1);
    if (keep && InKeepSet(rel)) continue;
    DeleteOwnFile(root, rel);
    DeleteOwnFile(root, rel + layout::kTempSuffix);
    for (std::size_t cut = rel.rfind(L'\\'); cut != std::wstring::npos && cut > 0; cut = rel.rfind(L'\\', cut - 1))
      parents.insert(rel.substr(0, cut));
  }

  DeleteTempFiles(root, L"");
  DeleteOwnFolder(root, layout::kPartsFolder);
  for (const wchar_t* name : layout::kWorkingFolders) DeleteOwnFolder(root, name);
  RemoveOwnFolder(root, layout::kConfigFolder);
  RemoveOwnFolder(root, layout::kBinFolder);
  if (!keep) {
    for (const wchar_t* name : layout::kUserFolders) DeleteOwnFolder(root, name);
  }

  std::vector<std::wstring> byLength(parents.begin(), parents.end());
  std::stable_sort(byLength.begin(), byLength.end(),
                   [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
  for (const std::wstring& rel : byLength) RemoveOwnFolder(root, rel);
  RemoveOwnFolder(root, L"Data");

  DeleteOwnFile(root, layout::kUninstaller);
  DeleteOwnFile(root, layout::kMarker);
  DeleteOwnFile(root, layout::kLegacyUninstaller);
  DeleteOwnFile(root, layout::kLegacyMarker);
  RemoveOwnFolder(root, layout::kBinFolder);
  // The folder itself goes only when empty, and a linked install folder keeps its link.
  RemoveRootFolder(root);

  RegDeleteTreeW(HKEY_CURRENT_USER, layout::kUninstallKey);
  RegDeleteTreeW(HKEY_CURRENT_USER, layout::kSetupKey);

  g_setup.uninstallDone.store(g_setup.uninstallTotal.load());
  LogLine(L"uninstall of " + folder + L" finished");
  if (g_setup.mainWindow) PostMessageW(g_setup.mainWindow, kMsgUninstallDone, 0, 0);
}

// "X:", "X:\..." or "\\server\share...": never a folder relative to the current one.
static bool IsAbsoluteFolder(const std::wstring& folder) {
  if (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\') return true;
  return folder.size() >= 2 && std::iswalpha(folder[0]) && folder[1] == L':' &&
         (folder.size() == 2 || folder[2] == L'\\');
}

bool StartUninstall() {
  LogLine(L"uninstall " + g_setup.installDir + (g_setup.optKeepUserData ? L" (keep the player's data)" : L" (remove everything)"));
  if (IsLauncherRunning()) {
    g_setup.errorText = InstallerString(ErrorGameRunning);
    LogLine(L"uninstall not started: " + g_setup.errorText);
    return false;
  }
  if (!IsAbsoluteFolder(g_setup.installDir) || !HasInstallMarker(g_setup.installDir) ||
      g_setup.uninstallThread.joinable()) {
    // No folder can be chosen on that page, so the message only says what is missing.
    g_setup.errorText = InstallerString(ErrorNoInstallation);
    LogLine(L"uninstall not started: no installation in this folder");
    return false;
  }
  g_setup.errorText.clear();
  g_setup.uninstallThread = std::thread(UninstallWorker, g_setup.installDir, g_setup.optKeepUserData);
  return true;
}
