#include "uninstall/worker.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <set>
#include <vector>

#include "app/setup_state.h"  // kMsgUninstallDone
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

// What the running uninstall could not remove: each path once, logged when first met. Written by
// the worker's thread alone; read by others only after that thread was joined.
static std::set<std::wstring> s_left;
static std::mutex s_leftLock;
static bool s_incomplete = false;

static void NoteLeft(const std::wstring& path, DWORD error) {
  std::lock_guard<std::mutex> hold(s_leftLock);
  s_incomplete = true;
  if (s_left.insert(path).second) LogFailure(L"could not remove " + path, error);
}

// After a removal that failed: true when the entry is still there for a reason the player must
// be told, false when it is absent or a link (never followed nor deleted, on purpose).
static bool FailedForReal(const FolderRoot& root, const std::wstring& path, DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY) return false;
  return !(error == ERROR_CANT_ACCESS_FILE && !IsLinkFreeByName(root, path));
}

static void DeleteFileNoting(const FolderRoot& root, const std::wstring& path) {
  if (DeleteFileBelow(root, path)) return;
  const DWORD error = GetLastError();
  // A folder standing where a game file was is the player's, as any folder that holds something.
  EntryBelow entry;
  if (StatBelow(root, path, entry) && (entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  if (FailedForReal(root, path, error)) NoteLeft(path, error);
}

static void DeleteOwnFile(const FolderRoot& root, const std::wstring& rel) { DeleteFileNoting(root, root.path + rel); }

// A folder that holds something stays without a word: the player's files, kept settings, a
// link, or a file already named in the log.
static void RemoveOwnFolder(const FolderRoot& root, const std::wstring& rel) {
  const std::wstring path = root.path + rel;
  if (RemoveFolderBelow(root, path)) return;
  const DWORD error = GetLastError();
  if (error != ERROR_DIR_NOT_EMPTY && FailedForReal(root, path, error)) NoteLeft(path, error);
}

// Removed with everything in it: whatever file stays there was not removed.
static void DeleteOwnFolder(const FolderRoot& root, const std::wstring& rel) {
  DeleteTreeBelow(root, root.path + rel, true);
  // Each file still there is tried once more, for the error that keeps it.
  ForEachFileBelow(root, root.path + rel, [&root](const std::wstring& path) { DeleteFileNoting(root, path); });
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
  std::vector<EntryBelow> entries;
  const std::wstring folder = root.path + rel;
  if (!ListBelow(root, folder.substr(0, folder.size() - 1), entries)) return;
  for (const EntryBelow& entry : entries) {
    const std::wstring& name = entry.name;
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    const std::wstring child = rel + name;
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!IsUserFolder(child)) DeleteTempFiles(root, child + L"\\");
    } else if (name.size() > kSuffix.size() && SamePathText(name.substr(name.size() - kSuffix.size()), kSuffix)) {
      DeleteOwnFile(root, child);
    }
  }
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

// The end of a run: the page and the window learn it from the message.
static void PostDone(const UninstallProgress& progress) {
  if (progress.done && progress.total) progress.done->store(progress.total->load());
  if (progress.notifyWindow) PostMessageW(progress.notifyWindow, kMsgUninstallDone, 0, 0);
}

void UninstallWorker(std::wstring folder, bool keep, UninstallProgress progress) {
  {
    std::lock_guard<std::mutex> hold(s_leftLock);
    s_left.clear();
    s_incomplete = false;
  }
  // Opened once: every removal below goes through this handle, never the folder's name again.
  // A folder that cannot be opened loses nothing, its shortcuts and registry entries included.
  FolderRoot root;
  if (!FolderRootOpen(root, folder)) {
    LogFailure(L"uninstall of " + folder + L" changed nothing: the folder could not be opened", GetLastError());
    {
      std::lock_guard<std::mutex> hold(s_leftLock);
      s_incomplete = true;
    }
    PostDone(progress);
    return;
  }

  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  RemoveShortcut(FOLDERID_Desktop, folder);
  RemoveShortcut(FOLDERID_Programs, folder);
  if (SUCCEEDED(com)) CoUninitialize();

  MigrateLegacyLayout(root);

  std::vector<std::wstring> files;
  ReadCachePaths(root, [&files](std::wstring& path) { files.push_back(std::move(path)); });
  for (const wchar_t* name : layout::kProgramFiles) files.push_back(name);
  files.push_back(layout::kPatcherIni);
  files.push_back(layout::kPatcherCache);
  files.push_back(layout::kPatcherPieces);
  for (const wchar_t* name : layout::kSettingsFiles) files.push_back(InConfig(name));
  if (progress.done) progress.done->store(0);
  if (progress.total) progress.total->store(static_cast<int32_t>(files.size() + 1));

  std::set<std::wstring> parents;
  for (const std::wstring& rel : files) {
    if (progress.done) progress.done->fetch_add(1);
    if (keep && InKeepSet(rel)) continue;
    // The cache names every game file: it goes last, so that a run that left some finds them again.
    if (!SamePathText(rel, layout::kPatcherCache)) DeleteOwnFile(root, rel);
    DeleteOwnFile(root, rel + layout::kTempSuffix);
    for (std::size_t cut = rel.rfind(L'\\'); cut != std::wstring::npos && cut > 0; cut = rel.rfind(L'\\', cut - 1))
      parents.insert(rel.substr(0, cut));
  }

  DeleteTempFiles(root, L"");
  DeleteOwnFolder(root, layout::kPartsFolder);
  for (const wchar_t* name : layout::kWorkingFolders) DeleteOwnFolder(root, name);
  if (!keep) {
    for (const wchar_t* name : layout::kUserFolders) DeleteOwnFolder(root, name);
  }

  std::vector<std::wstring> byLength(parents.begin(), parents.end());
  std::stable_sort(byLength.begin(), byLength.end(),
                   [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
  for (const std::wstring& rel : byLength) {
    // config and bin hold the program's own files until the end.
    if (!SamePathText(rel, layout::kConfigFolder) && !SamePathText(rel, layout::kBinFolder)) RemoveOwnFolder(root, rel);
  }
  RemoveOwnFolder(root, layout::kDataFolder);

  if (FolderRootMoved(root)) {
    std::lock_guard<std::mutex> hold(s_leftLock);
    s_incomplete = true;
    LogLine(L"the folder " + folder + L" was moved while it was being uninstalled: what it still holds stays");
  }
  // Whatever could not be removed can be once it is free: the cache that names it, the marker,
  // the uninstaller and both registry keys stay for the next run.
  if (!UninstallLeftFiles()) DeleteOwnFile(root, layout::kPatcherCache);
  if (!UninstallLeftFiles()) DeleteOwnFile(root, layout::kMarker);
  if (!UninstallLeftFiles()) DeleteOwnFile(root, layout::kLegacyMarker);
  if (UninstallLeftFiles()) {
    LogLine(L"uninstall of " + folder + L" incomplete: " + std::to_wstring(s_left.size()) +
            L" path(s) could not be removed; the uninstaller and the uninstall entry stay, to run again");
    PostDone(progress);
    return;
  }
  // The registered uninstaller may be running (it waits for this copy) and then removes itself.
  DeleteFileBelow(root, root.path + layout::kUninstaller);
  DeleteFileBelow(root, root.path + layout::kLegacyUninstaller);
  RemoveOwnFolder(root, layout::kConfigFolder);
  RemoveFolderBelow(root, root.path + layout::kBinFolder);
  // The folder itself goes only when empty, and a linked install folder keeps its link.
  RemoveRootFolder(root);

  RegDeleteTreeW(HKEY_CURRENT_USER, layout::kUninstallKey);
  RegDeleteTreeW(HKEY_CURRENT_USER, layout::kSetupKey);
  LogLine(L"uninstall of " + folder + L" finished");
  PostDone(progress);
}

bool UninstallLeftFiles() {
  std::lock_guard<std::mutex> hold(s_leftLock);
  return s_incomplete;
}

// "X:", "X:\..." or "\\server\share...": never a folder relative to the current one.
static bool IsAbsoluteFolder(const std::wstring& folder) {
  if (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\') return true;
  return folder.size() >= 2 && std::iswalpha(folder[0]) && folder[1] == L':' &&
         (folder.size() == 2 || folder[2] == L'\\');
}

Failure StartUninstall(const std::wstring& folder, bool keep, std::thread& thread, UninstallProgress progress) {
  LogLine(L"uninstall " + folder + (keep ? L" (keep the player's data)" : L" (remove everything)"));
  Failure failure;
  if (IsLauncherRunning()) {
    failure = {FailureKind::GameRunning};
  } else if (!IsAbsoluteFolder(folder) || !HasInstallMarker(folder) || thread.joinable()) {
    // No folder can be chosen on that page, so the message only says what is missing.
    failure = {FailureKind::NoInstallation, 0, 0, folder};
  }
  if (Failed(failure)) {
    LogFailure(L"uninstall not started", failure);
    return failure;
  }
  thread = std::thread(UninstallWorker, folder, keep, progress);
  return {};
}
