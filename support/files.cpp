// The program's own path, folder creation, and whole-file reads and atomic writes.
#include "support/files.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "support/handles.h"
#include "support/layout.h"
#include "support/sync.h"

std::wstring GetModulePath() {
  // A longer name than 32767 units cannot exist; stop doubling there.
  for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
    std::vector<wchar_t> buffer(size, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) return std::wstring();
    if (n < size) return std::wstring(buffer.data(), n);
  }
  return std::wstring();
}

std::wstring FolderOfPath(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".\\";
  return path.substr(0, slash + 1);
}

std::wstring GetModuleDir() { return FolderOfPath(GetModulePath()); }

bool EnsureParentFolders(const std::wstring& path) {
  std::size_t slash = path.rfind(L'\\');
  if (path.empty() || slash == std::wstring::npos) return true;
  std::wstring parent = path.substr(0, slash);
  DWORD attributes = GetFileAttributesW(parent.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!EnsureParentFolders(parent)) return false;
  return CreateDirectoryW(parent.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 64 * 1024 * 1024) return false;
  DWORD expected = static_cast<DWORD>(size.QuadPart);
  out.resize(expected);
  if (expected == 0) return true;
  DWORD read = 0;
  return ReadFile(file.get(), out.data(), expected, &read, nullptr) && read == expected;
}

static bool WriteAll(HANDLE file, const std::string& contents) {
  // One call for any file this program writes; larger contents go in 1 GiB pieces.
  const char* p = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written != chunk) return false;
    p += chunk;
    left -= chunk;
  }
  return true;
}

bool WriteFileAtomic(const std::wstring& path, const std::string& contents) {
  std::wstring temp = path + layout::kTempSuffix;
  UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  // The bytes must be on disk before the name points at them, or a crash could leave a
  // target that reads back as zeros.
  bool written = WriteAll(file.get(), contents) && FlushFileBuffers(file.get());
  file.reset();
  if (!written || !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

std::wstring SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (n != 0 && buffer) text.assign(buffer, n);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text;
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

// ---- No link below the install folder -------------------------------------------------

static std::wstring FinalPathOf(HANDLE handle) {
  std::wstring result(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFinalPathNameByHandleW(handle, result.data(), static_cast<DWORD>(result.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < result.size()) {
      result.resize(n);
      return result;
    }
    result.resize(n + 1);
  }
}

std::wstring FinalPathOf(const std::wstring& path) {
  UniqueHandle h(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return h.valid() ? FinalPathOf(h.get()) : std::wstring();
}

// The resolved install folder without its trailing backslash; empty where the file system
// reports no final paths (then the checks of each level stand alone). Kept for the last root
// asked, since a run asks about one folder thousands of times.
static std::wstring RootFinal(const std::wstring& root) {
  static SlimLock lock;
  static std::wstring lastRoot, lastFinal;
  std::lock_guard<SlimLock> guard(lock);
  if (!SamePathText(root, lastRoot) || lastFinal.empty()) {
    lastRoot = root;
    lastFinal = FinalPathOf(root);
    while (!lastFinal.empty() && lastFinal.back() == L'\\') lastFinal.pop_back();
  }
  return lastFinal;
}

// The part of path below root, or false if path is not below it.
static bool RelativeBelow(const std::wstring& root, const std::wstring& path, std::wstring& rel) {
  if (root.empty() || path.size() <= root.size() || !SamePathText(path.substr(0, root.size()), root)) return false;
  rel = path.substr(root.size());
  return rel[0] != L'\\';
}

// A handle leads where its name says: not a link itself and resolved to root + rel.
static bool HandleIsAt(HANDLE handle, const std::wstring& root, const std::wstring& rel) {
  // Only the attributes: GetFileInformationByHandle also asks for the volume's serial number,
  // which under Wine costs half a millisecond a call.
  FILE_ATTRIBUTE_TAG_INFO info;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof(info)) ||
      (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  const std::wstring rootFinal = RootFinal(root);
  return rootFinal.empty() || SamePathText(FinalPathOf(handle), rootFinal + L"\\" + rel);
}

// Every existing level of rel (folders on the way and the entry itself) is no reparse point;
// levels that do not exist end the walk.
static bool LevelsAreNoLinks(const std::wstring& root, const std::wstring& rel) {
  for (std::size_t cut = rel.find(L'\\');; cut = rel.find(L'\\', cut + 1)) {
    const DWORD a = GetFileAttributesW((root + rel.substr(0, cut)).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return true;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (cut == std::wstring::npos) return true;
  }
}

// The deepest existing level of rel resolves to where its name says.
static bool DeepestLevelIsAt(const std::wstring& root, const std::wstring& rel) {
  if (RootFinal(root).empty()) return true;
  for (std::size_t end = rel.size(); end != std::wstring::npos && end > 0; end = rel.rfind(L'\\', end - 1)) {
    const std::wstring level = rel.substr(0, end);
    UniqueHandle h(CreateFileW((root + level).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (h.valid()) return HandleIsAt(h.get(), root, level);
    if (end == 0) break;
  }
  return true;
}

bool IsLinkFreeBelow(const std::wstring& root, const std::wstring& path) {
  std::wstring rel;
  return RelativeBelow(root, path, rel) && LevelsAreNoLinks(root, rel) && DeepestLevelIsAt(root, rel);
}

// Creates the missing folders of rel (a path below root) top down; false if a level is a link,
// a file, or cannot be made. The deepest folder is left for the caller to check.
static bool CreateLevels(const std::wstring& root, const std::wstring& rel) {
  std::size_t cut = rel.find(L'\\');
  for (; cut != std::wstring::npos; cut = rel.find(L'\\', cut + 1)) {
    const std::wstring folder = root + rel.substr(0, cut);
    const DWORD a = GetFileAttributesW(folder.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
      if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    } else if ((a & FILE_ATTRIBUTE_REPARSE_POINT) || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
      return false;
    }
  }
  return true;
}

bool EnsureFoldersBelow(const std::wstring& root, const std::wstring& path) {
  std::wstring rel;
  if (!RelativeBelow(root, path, rel) || !CreateLevels(root, rel)) return false;
  const std::size_t last = rel.rfind(L'\\');
  return last == std::wstring::npos || DeepestLevelIsAt(root, rel.substr(0, last));
}

// Removes a file through its own handle, so nothing but that very file can go.
static void DeleteThroughHandle(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition));
}

// ---- Work relative to a checked folder handle ----
// A file is opened, made and renamed by its name inside a folder handle that was checked once:
// nothing on the way can be swapped for a link between the check and the use, and a file costs
// a few system calls instead of one per level.

// The folder rel below root (root itself when rel is empty; it may be a link), opened without
// following a link at its own name and checked to be the folder its name says; invalid if not.
// share is the sharing the handle allows others (by default all of it).
static UniqueHandle OpenFolderAt(const std::wstring& root, const std::wstring& rel,
                                 DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) {
  const DWORD access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  if (rel.empty()) {
    return UniqueHandle(CreateFileW(root.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  }
  // Without final paths, only the levels' own flags can tell.
  if (RootFinal(root).empty() && !LevelsAreNoLinks(root, rel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return UniqueHandle();
  }
  UniqueHandle folder(CreateFileW((root + rel).c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (folder.valid() && !HandleIsAt(folder.get(), root, rel)) {
    folder.reset();
    SetLastError(ERROR_CANT_ACCESS_FILE);
  }
  return folder;
}

// Opens or makes the file leaf (a single name) inside folder, never following a link at that
// name; sets the last error and gives an invalid handle on failure.
static UniqueHandle OpenIn(HANDLE folder, const std::wstring& leaf, ACCESS_MASK access, ULONG share, ULONG disposition,
                           ULONG options = 0) {
  UNICODE_STRING name;
  name.Buffer = const_cast<PWSTR>(leaf.c_str());
  name.Length = static_cast<USHORT>(leaf.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE file = nullptr;
  const NTSTATUS status =
      NtCreateFile(&file, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                   options | FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (status < 0) {
    SetLastError(RtlNtStatusToDosError(status));
    return UniqueHandle();
  }
  return UniqueHandle(file);
}

// Splits rel into its folder (empty at root level) and its last name.
static void SplitLeaf(const std::wstring& rel, std::wstring& folder, std::wstring& leaf) {
  const std::size_t last = rel.rfind(L'\\');
  folder = last == std::wstring::npos ? std::wstring() : rel.substr(0, last);
  leaf = last == std::wstring::npos ? rel : rel.substr(last + 1);
}

// Opens leaf (the last name of rel) inside its checked folder for writing, not shared, with
// DELETE access; empty is true empties an existing file. A file made here is new in a checked
// folder and needs no further look; an existing one is opened without changing it, checked (a
// file link under Wine carries no reparse flag, only its final path tells), and only then emptied.
static UniqueHandle OpenForWritingIn(HANDLE folder, const std::wstring& root, const std::wstring& rel,
                                     const std::wstring& leaf, bool empty) {
  const ACCESS_MASK access = GENERIC_WRITE | GENERIC_READ | DELETE;
  UniqueHandle file = OpenIn(folder, leaf, access, 0, FILE_CREATE);
  if (file.valid()) return file;
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return UniqueHandle();
  file = OpenIn(folder, leaf, access, 0, FILE_OPEN);
  if (!file.valid()) return file;
  if (!HandleIsAt(file.get(), root, rel)) {
    file.reset();
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return file;
  }
  if (empty && !SetEndOfFile(file.get())) file.reset();
  return file;
}

UniqueHandle OpenBelow(const std::wstring& root, const std::wstring& path, OpenBelowMode mode) {
  std::wstring rel, folderRel, leaf;
  if (!RelativeBelow(root, path, rel)) return UniqueHandle();
  SplitLeaf(rel, folderRel, leaf);
  const UniqueHandle folder = OpenFolderAt(root, folderRel);
  if (!folder.valid()) return UniqueHandle();
  if (mode == OpenBelowMode::Read) {
    UniqueHandle file = OpenIn(folder.get(), leaf, GENERIC_READ, FILE_SHARE_READ, FILE_OPEN, FILE_SEQUENTIAL_ONLY);
    if (file.valid() && !HandleIsAt(file.get(), root, rel)) file.reset();
    return file;
  }
  return OpenForWritingIn(folder.get(), root, rel, leaf, mode == OpenBelowMode::Create);
}

bool ReadWholeFileBelow(const std::wstring& root, const std::wstring& path, std::string& out) {
  UniqueHandle file = OpenBelow(root, path, OpenBelowMode::Read);
  if (!file.valid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 64 * 1024 * 1024) return false;
  const DWORD expected = static_cast<DWORD>(size.QuadPart);
  out.resize(expected);
  if (expected == 0) return true;
  DWORD read = 0;
  return ReadFile(file.get(), out.data(), expected, &read, nullptr) && read == expected;
}

bool WriteFileAtomicBelow(const std::wstring& root, const std::wstring& path, const std::string& contents) {
  TempFileBelow temp;
  if (!TempFileBelowCreate(temp, root, path)) return false;
  if (!WriteAll(temp.file.get(), contents) || !FlushFileBuffers(temp.file.get()) || !TempFileBelowPlace(temp)) {
    const DWORD error = GetLastError();
    TempFileBelowDiscard(temp);
    SetLastError(error);  // why the file could not be written, not how the clean-up went
    return false;
  }
  return true;
}

// An existing entry at rel must be the entry its name says (a link there is refused).
static bool ExistingEntryIsAt(const std::wstring& root, const std::wstring& rel) {
  UniqueHandle h(CreateFileW((root + rel).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (h.valid()) return HandleIsAt(h.get(), root, rel);
  const DWORD error = GetLastError();
  // A file held open without sharing cannot be looked at; the move then fails by itself.
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_SHARING_VIOLATION;
}

// MoveBelow between two folders: each level of both ways checked by name.
static bool MoveBelowByName(const std::wstring& root, const std::wstring& from, const std::wstring& to, DWORD flags) {
  std::wstring fromRel, toRel;
  if (!RelativeBelow(root, from, fromRel) || !RelativeBelow(root, to, toRel)) return false;
  if (!LevelsAreNoLinks(root, fromRel) || !LevelsAreNoLinks(root, toRel)) return false;
  if (!ExistingEntryIsAt(root, fromRel) || !ExistingEntryIsAt(root, toRel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  const std::size_t last = toRel.rfind(L'\\');
  if (last != std::wstring::npos && !DeepestLevelIsAt(root, toRel.substr(0, last))) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  return MoveFileExW(from.c_str(), to.c_str(), flags) != 0;
}

// Renames file (open with DELETE access) to leaf inside folder. Through the native call:
// Wine's SetFileInformationByHandle refuses a rename relative to a folder handle.
static bool RenameIn(HANDLE file, HANDLE folder, const std::wstring& leaf, bool replace) {
  constexpr auto kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);
  const std::size_t nameBytes = leaf.size() * sizeof(wchar_t);
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace;
  info->RootDirectory = folder;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, leaf.c_str(), nameBytes);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = NtSetInformationFile(file, &io, info, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
  if (status < 0) SetLastError(RtlNtStatusToDosError(status));
  return status >= 0;
}

// Renames source (open with DELETE access, checked) onto toLeaf inside folder; replace allows
// an existing file there to go, but never a link (toRel names it for the check).
static bool RenameOnto(HANDLE source, HANDLE folder, const std::wstring& root, const std::wstring& toRel,
                       const std::wstring& toLeaf, bool replace) {
  if (RenameIn(source, folder, toLeaf, false)) return true;
  const DWORD error = GetLastError();
  if (!replace || (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)) return false;
  {
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const UniqueHandle existing = OpenIn(folder, toLeaf, FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN);
    if (existing.valid() && !HandleIsAt(existing.get(), root, toRel)) {
      SetLastError(ERROR_CANT_ACCESS_FILE);
      return false;
    }
  }
  // A read-only destination refuses with access denied, as MoveFileExW does.
  return RenameIn(source, folder, toLeaf, true);
}

bool MoveBelow(const std::wstring& root, const std::wstring& from, const std::wstring& to, DWORD flags) {
  std::wstring fromRel, toRel, fromFolder, toFolder, fromLeaf, toLeaf;
  if (!RelativeBelow(root, from, fromRel) || !RelativeBelow(root, to, toRel)) return false;
  SplitLeaf(fromRel, fromFolder, fromLeaf);
  SplitLeaf(toRel, toFolder, toLeaf);
  if (!SamePathText(fromFolder, toFolder) || (flags & MOVEFILE_COPY_ALLOWED)) return MoveBelowByName(root, from, to, flags);
  // Within one folder (a temporary file onto its target, the common case): one checked folder
  // handle, the source opened inside it, and a rename by handle. MOVEFILE_WRITE_THROUGH asks
  // only that a move made as a copy be flushed, and a rename within one folder never is one.
  const UniqueHandle folder = OpenFolderAt(root, fromFolder);
  if (!folder.valid()) return false;
  const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const UniqueHandle source = OpenIn(folder.get(), fromLeaf, DELETE | FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN);
  if (!source.valid()) return false;
  if (!HandleIsAt(source.get(), root, fromRel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  return RenameOnto(source.get(), folder.get(), root, toRel, toLeaf, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
}

UniqueHandle HoldFolderBelow(const std::wstring& root, const std::wstring& folder, bool create) {
  std::wstring rel;
  if (SamePathText(folder + L"\\", root)) return OpenFolderAt(root, std::wstring(), FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!RelativeBelow(root, folder, rel) || (create && !CreateLevels(root, rel + L"\\"))) return UniqueHandle();
  return OpenFolderAt(root, rel, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

bool TempFileBelowCreate(TempFileBelow& temp, const std::wstring& root, const std::wstring& destination,
                         HANDLE heldFolder) {
  TempFileBelowDiscard(temp);
  std::wstring folderRel;
  if (!RelativeBelow(root, destination, temp.rel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  SplitLeaf(temp.rel, folderRel, temp.leaf);
  if (!heldFolder) {
    temp.ownFolder = OpenFolderAt(root, folderRel);
    if (!temp.ownFolder.valid()) return false;
  }
  temp.folder = heldFolder ? heldFolder : temp.ownFolder.get();
  temp.root = root;
  temp.file = OpenForWritingIn(temp.folder, root, temp.rel + layout::kTempSuffix, temp.leaf + layout::kTempSuffix, true);
  if (temp.file.valid()) return true;
  const DWORD error = GetLastError();
  temp.ownFolder.reset();
  temp.folder = nullptr;
  SetLastError(error);
  return false;
}

bool TempFileBelowPlace(TempFileBelow& temp) {
  if (!temp.file.valid() || !temp.folder) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!RenameOnto(temp.file.get(), temp.folder, temp.root, temp.rel, temp.leaf, true)) return false;
  temp.file.reset();
  temp.ownFolder.reset();
  temp.folder = nullptr;
  return true;
}

void TempFileBelowDiscard(TempFileBelow& temp) {
  if (temp.file.valid()) DeleteThroughHandle(temp.file.get());
  temp.file.reset();
  temp.ownFolder.reset();
  temp.folder = nullptr;
}

bool DeleteFileBelow(const std::wstring& root, const std::wstring& path) {
  std::wstring rel;
  if (!RelativeBelow(root, path, rel) || !LevelsAreNoLinks(root, rel)) return false;
  UniqueHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid() || !HandleIsAt(file.get(), root, rel)) return false;
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof(basic));
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
}

bool RemoveFolderBelow(const std::wstring& root, const std::wstring& path) {
  std::wstring rel;
  if (!RelativeBelow(root, path, rel) || !LevelsAreNoLinks(root, rel)) return false;
  const DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY) || !ExistingEntryIsAt(root, rel)) return false;
  return RemoveDirectoryW(path.c_str()) != 0;
}

bool IsHeldOpenElsewhere(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // Asking for what a replacement needs, while allowing every kind of sharing, fails with a
  // sharing violation only when another open handle (or a running image) forbids it.
  UniqueHandle h(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (h.valid()) return false;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

std::wstring RootFor(const std::wstring& root, const std::wstring& path) {
  std::wstring rel;
  return RelativeBelow(root, path, rel) ? root : FolderOfPath(path);
}

bool FoldersAreNoLinks(const std::wstring& root, const std::wstring& path) {
  std::wstring rel;
  if (!RelativeBelow(root, path, rel)) return false;
  const std::size_t last = rel.rfind(L'\\');
  return last == std::wstring::npos || LevelsAreNoLinks(root, rel.substr(0, last));
}
