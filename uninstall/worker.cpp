#include "uninstall/worker.h"

// shlobj.h without the shell automation interfaces, whose Folder clashes with the page name.
#define NO_SHDOCVW_GUIDS
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
#include "support/files.h"
#include "support/handles.h"
#include "support/migrate.h"
#include "support/text.h"
#include "ui/window.h"

static constexpr UINT_PTR kAnimationTimer = 1;

static const wchar_t* const kKeepSet[] = {
    L"config\\locale.cfg", L"config\\tarnel.cfg",     L"config\\config.cfg",
    L"config\\channel.inf", L"config\\mouse.cfg",     L"config\\loca.cfg",
    L"config\\interface.cfg", L"config\\switchbot.pkl", L"config\\enbconvertor.ini",
};

static const wchar_t* const kFixedFiles[] = {
    L"Quorvel.exe",          L"Quorvel.exe.old",         L"Quorvel.exe.new",
    L"QuorvelClient.exe",    L"bin\\QuorvelClient.exe",  L"bin\\QuorvelClient.exe.old",
    L"config\\patcher.ini",  L"config\\patcher_cache.dat", L"config\\locale.cfg",
    L"config\\loca.cfg",     L"config\\tarnel.cfg",      L"config\\config.cfg",
    L"config\\channel.inf",  L"config\\mouse.cfg",       L"config\\interface.cfg",
    L"config\\switchbot.pkl", L"config\\enbconvertor.ini",
};

static const wchar_t* const kWorkingFolders[] = {L"logs\\syserr", L"logs", L"syserr", L"shadercache", L"mark", L"shop"};
static const wchar_t* const kUserFolders[] = {L"screenshot", L"Data\\UserData"};

static bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Where the file system really puts path, every link on the way resolved; empty if it
// cannot be opened.
static std::wstring FinalPath(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return {};
  std::wstring result(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFinalPathNameByHandleW(file.get(), result.data(), static_cast<DWORD>(result.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < result.size()) {
      result.resize(n);
      return result;
    }
    result.resize(n + 1);
  }
}

// An entry counts as ours only if it is no link itself and resolves to exactly the place its
// name says: so nothing is ever deleted through a junction or a symbolic link, including file
// links that a directory listing does not flag. An empty expectedFinal means the file system
// reports no final paths; the caller then has checked every folder on the way for links.
static bool IsPlainEntry(const std::wstring& path, const std::wstring& expectedFinal, DWORD* attributes) {
  DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  if (!expectedFinal.empty() && !EqualNoCase(FinalPath(path), expectedFinal)) return false;
  *attributes = a;
  return true;
}

static std::wstring Child(const std::wstring& folderFinal, const std::wstring& name) {
  return folderFinal.empty() ? std::wstring() : folderFinal + L"\\" + name;
}

static void EmptyFolder(const std::wstring& folder, const std::wstring& folderFinal) {
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find.valid()) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    const std::wstring path = folder + L"\\" + name;
    const std::wstring expected = Child(folderFinal, name);
    DWORD attributes = 0;
    if (!IsPlainEntry(path, expected, &attributes)) continue;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(path, expected);
      RemoveDirectoryW(path.c_str());
    } else {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
  } while (FindNextFileW(find.get(), &data));
}

void DeleteFolderContents(const std::wstring& folder) {
  DWORD a = GetFileAttributesW(folder.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) || !(a & FILE_ATTRIBUTE_DIRECTORY)) return;
  EmptyFolder(folder, FinalPath(folder));
}

// The install folder as named (path) and as resolved (final, empty if the file system reports
// none), both ending in a backslash.
struct InstallRoot {
  std::wstring path;
  std::wstring final;
};

static bool IsOwnEntry(const InstallRoot& root, const std::wstring& rel, DWORD* attributes) {
  if (root.final.empty()) {
    for (std::size_t cut = rel.find(L'\\'); cut != std::wstring::npos; cut = rel.find(L'\\', cut + 1)) {
      DWORD a = GetFileAttributesW((root.path + rel.substr(0, cut)).c_str());
      if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    }
    return IsPlainEntry(root.path + rel, {}, attributes);
  }
  return IsPlainEntry(root.path + rel, root.final + rel, attributes);
}

static void DeleteOwnFile(const InstallRoot& root, const std::wstring& rel) {
  DWORD attributes = 0;
  if (!IsOwnEntry(root, rel, &attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  const std::wstring path = root.path + rel;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}

static void RemoveOwnFolder(const InstallRoot& root, const std::wstring& rel) {
  DWORD attributes = 0;
  if (IsOwnEntry(root, rel, &attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    RemoveDirectoryW((root.path + rel).c_str());
}

static void DeleteOwnFolder(const InstallRoot& root, const std::wstring& rel) {
  DWORD attributes = 0;
  if (!IsOwnEntry(root, rel, &attributes) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  EmptyFolder(root.path + rel, root.final.empty() ? std::wstring() : root.final + rel);
  RemoveDirectoryW((root.path + rel).c_str());
}

// Paths after the third tab of each cache line that pass the relative path rule.
static void AppendCachedFiles(const std::wstring& cacheFile, std::vector<std::wstring>& list) {
  std::string contents;
  if (!ReadWholeFile(cacheFile, contents)) return;
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t tab = std::string::npos;
    bool complete = true;
    for (int i = 0; i < 3 && complete; ++i) {
      tab = line.find('\t', tab == std::string::npos ? 0 : tab + 1);
      complete = tab != std::string::npos;
    }
    std::wstring path;
    if (complete && ToSafeRelativePath(line.substr(tab + 1), path)) list.push_back(path);
  }
}

static bool InKeepSet(const std::wstring& path) {
  const std::wstring lower = ToLowerAscii(path);
  for (const wchar_t* kept : kKeepSet) {
    if (lower == kept) return true;
  }
  return false;
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
  if (targetText.size() >= prefix.size() && EqualNoCase(targetText.substr(0, prefix.size()), prefix))
    DeleteFileW(path.c_str());
}

void UninstallWorker(std::wstring folder, bool keep) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  RemoveShortcut(FOLDERID_Desktop, folder);
  RemoveShortcut(FOLDERID_Programs, folder);
  if (SUCCEEDED(com)) CoUninitialize();

  InstallRoot root;
  root.path = folder;
  if (root.path.empty() || root.path.back() != L'\\') root.path += L'\\';
  MigrateLegacyLayout(root.path);
  root.final = FinalPath(root.path);
  if (!root.final.empty() && root.final.back() != L'\\') root.final += L'\\';

  std::vector<std::wstring> files;
  AppendCachedFiles(root.path + L"config\\patcher_cache.dat", files);
  for (const wchar_t* name : kFixedFiles) files.push_back(name);
  g_setup.uninstallDone.store(0);
  g_setup.uninstallTotal.store(static_cast<int32_t>(files.size() + 1));

  std::set<std::wstring> parents;
  for (const std::wstring& rel : files) {
    g_setup.uninstallDone.fetch_add(1);
    if (keep && InKeepSet(rel)) continue;
    DeleteOwnFile(root, rel);
    DeleteOwnFile(root, rel + L".ap_tmp");
    for (std::size_t cut = rel.rfind(L'\\'); cut != std::wstring::npos && cut > 0; cut = rel.rfind(L'\\', cut - 1))
      parents.insert(rel.substr(0, cut));
  }

  for (const wchar_t* name : kWorkingFolders) DeleteOwnFolder(root, name);
  RemoveOwnFolder(root, L"config");
  RemoveOwnFolder(root, L"bin");
  if (!keep) {
    for (const wchar_t* name : kUserFolders) DeleteOwnFolder(root, name);
  }

  std::vector<std::wstring> byLength(parents.begin(), parents.end());
  std::stable_sort(byLength.begin(), byLength.end(),
                   [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
  for (const std::wstring& rel : byLength) RemoveOwnFolder(root, rel);
  RemoveOwnFolder(root, L"Data");

  DeleteOwnFile(root, L"bin\\Uninstall Quorvel.exe");
  DeleteOwnFile(root, L"bin\\quorvel.install");
  DeleteOwnFile(root, L"Uninstall Quorvel.exe");
  DeleteOwnFile(root, L"quorvel.install");
  RemoveOwnFolder(root, L"bin");
  // The folder itself goes only when empty, and a linked install folder keeps its link.
  DWORD a = GetFileAttributesW(folder.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveDirectoryW(folder.c_str());

  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvel");

  g_setup.uninstallDone.store(g_setup.uninstallTotal.load());
  if (g_setup.mainWindow) PostMessageW(g_setup.mainWindow, kMsgUninstallDone, 0, 0);
}

// "X:", "X:\..." or "\\server\share...": never a folder relative to the current one.
static bool IsAbsoluteFolder(const std::wstring& folder) {
  if (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\') return true;
  return folder.size() >= 2 && std::iswalpha(folder[0]) && folder[1] == L':' &&
         (folder.size() == 2 || folder[2] == L'\\');
}

bool StartUninstall() {
  if (IsLauncherRunning()) {
    g_setup.errorText = InstallerString(ErrorGameRunning);
    Redraw();
    return false;
  }
  if (!IsAbsoluteFolder(g_setup.installDir) || !HasInstallMarker(g_setup.installDir) ||
      g_setup.uninstallThread.joinable()) {
    g_setup.errorText = InstallerString(ErrorFolderInvalid);
    Redraw();
    return false;
  }
  g_setup.errorText.clear();
  g_setup.page = Uninstalling;
  if (g_setup.mainWindow) SetTimer(g_setup.mainWindow, kAnimationTimer, 33, nullptr);
  g_setup.uninstallThread = std::thread(UninstallWorker, g_setup.installDir, g_setup.optKeepUserData);
  Redraw();
  return true;
}
