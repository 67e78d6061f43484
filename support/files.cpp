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

bool FolderRootOpen(FolderRoot& root, const std::wstring& folder) {
  root.path = folder;
  if (root.path.empty() || (root.path.back() != L'\\' && root.path.back() != L'/')) root.path += L'\\';
  root.final.clear();
  // Every kind of sharing: the uninstaller and the install's own steps open the folder too.
  root.handle.reset(CreateFileW(root.path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!root.handle.valid()) return false;
  root.final = FinalPathOf(root.handle.get());
  while (!root.final.empty() && root.final.back() == L'\\') root.final.pop_back();
  return true;
}

void FolderRootClose(FolderRoot& root) {
  root.handle.reset();
  root.final.clear();
}

// The part of path below root, or false if path is not below it.
static bool RelativeBelow(const FolderRoot& root, const std::wstring& path, std::wstring& rel) {
  if (!root.handle.valid() || path.size() <= root.path.size() ||
      !SamePathText(path.substr(0, root.path.size()), root.path))
    return false;
  rel = path.substr(root.path.size());
  return rel[0] != L'\\';
}

// A handle leads where its name says: not a link itself and resolved to root + rel.
static bool HandleIsAt(HANDLE handle, const FolderRoot& root, const std::wstring& rel) {
  // Only the attributes: GetFileInformationByHandle also asks for the volume's serial number,
  // which under Wine costs half a millisecond a call.
  FILE_ATTRIBUTE_TAG_INFO info;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof(info)) ||
      (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  return root.final.empty() || SamePathText(FinalPathOf(handle), root.final + L"\\" + rel);
}

// Every existing level of rel (folders on the way and the entry itself) is no reparse point,
// looked at by name; levels that do not exist end the walk.
static bool LevelsAreNoLinksByName(const FolderRoot& root, const std::wstring& rel) {
  for (std::size_t cut = rel.find(L'\\');; cut = rel.find(L'\\', cut + 1)) {
    const DWORD a = GetFileAttributesW((root.path + rel.substr(0, cut)).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return true;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (cut == std::wstring::npos) return true;
  }
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens or makes name (one level, or several below root) inside folder with NtCreateFile,
// never following a link at its last level; sets the last error and gives an invalid handle
// on failure. created, if given, tells whether it was made by this call.
static UniqueHandle NtOpenIn(HANDLE folder, const std::wstring& leaf, ACCESS_MASK access, ULONG share,
                             ULONG disposition, ULONG options, bool* created = nullptr) {
  UNICODE_STRING name;
  name.Buffer = const_cast<PWSTR>(leaf.c_str());
  name.Length = static_cast<USHORT>(leaf.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  const NTSTATUS status = NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                       share, disposition,
                                       options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (status < 0) {
    SetLastError(RtlNtStatusToDosError(status));
    return UniqueHandle();
  }
  if (created) *created = io.Information == FILE_CREATED;
  return UniqueHandle(opened);
}

// The deepest existing level of rel resolves to where its name says.
static bool DeepestLevelIsAt(const FolderRoot& root, const std::wstring& rel) {
  if (root.final.empty()) return true;
  for (std::size_t end = rel.size(); end != std::wstring::npos && end > 0; end = rel.rfind(L'\\', end - 1)) {
    const std::wstring level = rel.substr(0, end);
    const UniqueHandle h = NtOpenIn(root.handle.get(), level, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0);
    if (h.valid()) return HandleIsAt(h.get(), root, level);
    if (end == 0) break;
  }
  return true;
}

bool IsLinkFreeByName(const FolderRoot& root, const std::wstring& path) {
  std::wstring rel;
  return RelativeBelow(root, path, rel) && LevelsAreNoLinksByName(root, rel) && DeepestLevelIsAt(root, rel);
}

// Creates the missing folders of rel (a path below root) up to its last backslash, top down,
// each made or opened inside the checked handle of the one above it; false if a level is a
// link, a file, or cannot be made.
// deepest, if given, receives the last level's handle, held against moving and deleting.
static bool CreateLevels(const FolderRoot& root, const std::wstring& rel, UniqueHandle* deepest = nullptr);

bool EnsureFoldersBelow(const FolderRoot& root, const std::wstring& path) {
  std::wstring rel;
  return RelativeBelow(root, path, rel) && CreateLevels(root, rel);
}

// How many names the open file has; above one, other names (a hard link planted below the
// install folder, possibly to a file outside it) share its bytes and attributes.
static DWORD LinkCountOf(HANDLE handle) {
  FILE_STANDARD_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof(info))) return 1;
  return info.NumberOfLinks;
}

static DWORD AttributesOf(HANDLE handle) {
  FILE_BASIC_INFO basic{};
  return GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)) ? basic.FileAttributes
                                                                                     : INVALID_FILE_ATTRIBUTES;
}

static bool SetAttributesOf(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFO basic{};  // zero times leave them as they are
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic)) != 0;
}

static bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
}

// Removes the name of an open file (DELETE access; a read-only one also needs
// FILE_WRITE_ATTRIBUTES). Attributes are shared by every name of a file, so a read-only file
// with other names gets its attributes back: only this name goes, the bytes elsewhere keep
// everything they had.
static bool DeleteThroughHandle(HANDLE handle) {
  if (MarkForDeletion(handle)) return true;
  const DWORD error = GetLastError();
  const DWORD attributes = AttributesOf(handle);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(error);
    return false;
  }
  const bool shared = LinkCountOf(handle) > 1;
  if (!SetAttributesOf(handle, attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
  const bool deleted = MarkForDeletion(handle);
  if (shared || !deleted) SetAttributesOf(handle, attributes);
  return deleted;
}

// True if the open folder holds nothing but "." and "..".
static bool FolderIsEmpty(HANDLE folder) {
  alignas(8) uint8_t buffer[4096];
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!GetFileInformationByHandleEx(folder, kind, buffer, sizeof(buffer))) return GetLastError() == ERROR_NO_MORE_FILES;
    kind = FileIdBothDirectoryInfo;
    for (auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(buffer);;) {
      const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") return false;
      if (entry->NextEntryOffset == 0) break;
      entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<uint8_t*>(entry) + entry->NextEntryOffset);
    }
  }
}

// Removes an empty folder through its own handle (opened with DELETE access).
static bool RemoveFolderThroughHandle(HANDLE folder) {
  if (!FolderIsEmpty(folder)) {
    SetLastError(ERROR_DIR_NOT_EMPTY);
    return false;
  }
  return MarkForDeletion(folder);
}

// ---- Work relative to a checked folder handle ----
// A file is opened, made and renamed by its name inside a folder handle that was checked once:
// nothing on the way can be swapped for a link between the check and the use, and a file costs
// a few system calls instead of one per level.

// The folder rel below root (root itself when rel is empty), opened relative to the root's
// handle without following a link at its own name, and checked to be the folder its name says;
// invalid if not. share is the sharing the handle allows others (by default all of it).
static UniqueHandle OpenFolderAt(const FolderRoot& root, const std::wstring& rel, DWORD share = kShareAll,
                                 DWORD extraAccess = 0) {
  if (!root.handle.valid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return UniqueHandle();
  }
  const DWORD access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | extraAccess;
  if (rel.empty()) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), root.handle.get(), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      return UniqueHandle();
    return UniqueHandle(copy);
  }
  // Without final paths, only the levels' own flags can tell.
  if (root.final.empty() && !LevelsAreNoLinksByName(root, rel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return UniqueHandle();
  }
  UniqueHandle folder = NtOpenIn(root.handle.get(), rel, access, share, FILE_OPEN, FILE_DIRECTORY_FILE);
  if (folder.valid() && !HandleIsAt(folder.get(), root, rel)) {
    folder.reset();
    SetLastError(ERROR_CANT_ACCESS_FILE);
  }
  return folder;
}

// Opens or makes the file leaf inside folder; invalid (last error set) if it is a folder.
static UniqueHandle OpenIn(HANDLE folder, const std::wstring& leaf, ACCESS_MASK access, ULONG share, ULONG disposition,
                           ULONG options = 0) {
  return NtOpenIn(folder, leaf, access, share, disposition, options | FILE_NON_DIRECTORY_FILE);
}

// Opens or makes (disposition FILE_OPEN or FILE_OPEN_IF) the folder leaf inside folder;
// invalid (last error set) if it is no folder.
static UniqueHandle OpenFolderIn(HANDLE folder, const std::wstring& leaf, ACCESS_MASK access, ULONG disposition) {
  return NtOpenIn(folder, leaf, access, kShareAll, disposition, FILE_DIRECTORY_FILE);
}

// What a folder handle needs for listing, walking on and checking.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

static bool CreateLevels(const FolderRoot& root, const std::wstring& rel, UniqueHandle* deepest) {
  if (!root.handle.valid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  UniqueHandle parent;
  for (std::size_t begin = 0, cut = rel.find(L'\\'); cut != std::wstring::npos; begin = cut + 1, cut = rel.find(L'\\', begin)) {
    bool created = false;
    // The deepest level, when the caller keeps it, is held as HoldFolderBelow holds a folder.
    const bool last = deepest && rel.find(L'\\', cut + 1) == std::wstring::npos;
    UniqueHandle level = NtOpenIn(parent.valid() ? parent.get() : root.handle.get(), rel.substr(begin, cut - begin),
                                  kFolderAccess, last ? FILE_SHARE_READ | FILE_SHARE_WRITE : kShareAll, FILE_OPEN_IF,
                                  FILE_DIRECTORY_FILE, &created);
    if (!level.valid()) return false;
    // A folder this call made inside a checked one is the run's own; only one found there is looked at.
    if (!created && !HandleIsAt(level.get(), root, rel.substr(0, cut))) {
      SetLastError(ERROR_CANT_ACCESS_FILE);
      return false;
    }
    parent = std::move(level);
  }
  if (deepest) *deepest = std::move(parent);
  return true;
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
static UniqueHandle OpenForWritingIn(HANDLE folder, const FolderRoot& root, const std::wstring& rel,
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
  if (LinkCountOf(file.get()) > 1) {
    // Writing would change every other name of these bytes too: this name alone goes, and a
    // new, empty file takes its place (what it held is fetched or written again).
    if (!DeleteThroughHandle(file.get())) {
      file.reset();
      SetLastError(ERROR_CANT_ACCESS_FILE);
      return file;
    }
    file.reset();
    return OpenIn(folder, leaf, access, 0, FILE_CREATE);
  }
  if (empty && !SetEndOfFile(file.get())) file.reset();
  return file;
}

UniqueHandle OpenBelow(const FolderRoot& root, const std::wstring& path, OpenBelowMode mode) {
  std::wstring rel, folderRel, leaf;
  if (!RelativeBelow(root, path, rel)) return UniqueHandle();
  if (mode == OpenBelowMode::Read && !root.final.empty()) {
    // A reader changes nothing, so one look suffices: the file's own final path, which runs
    // through every folder on the way, replaces the check of its folder.
    UniqueHandle file = OpenIn(root.handle.get(), rel, GENERIC_READ, FILE_SHARE_READ, FILE_OPEN, FILE_SEQUENTIAL_ONLY);
    if (file.valid() && !HandleIsAt(file.get(), root, rel)) file.reset();
    return file;
  }
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

bool ReadWholeFileBelow(const FolderRoot& root, const std::wstring& path, std::string& out) {
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

bool WriteFileAtomicBelow(const FolderRoot& root, const std::wstring& path, const std::string& contents) {
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

// A read-only file at leaf in folder (checked to be at rel) made replaceable: its read-only
// flag cleared, or, when other names share it, this name removed (their attributes stay).
// False if it is a link or cannot be changed.
static bool MakeReplaceable(HANDLE folder, const FolderRoot& root, const std::wstring& rel, const std::wstring& leaf) {
  const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const UniqueHandle existing =
      OpenIn(folder, leaf, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, shareAll, FILE_OPEN);
  if (!existing.valid()) return false;
  if (!HandleIsAt(existing.get(), root, rel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  const DWORD attributes = AttributesOf(existing.get());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (LinkCountOf(existing.get()) > 1) return DeleteThroughHandle(existing.get());
  return SetAttributesOf(existing.get(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Renames source (open with DELETE access, checked) onto toLeaf inside folder; replace allows
// an existing file there to go, but never a link (toRel names it for the check); clearReadOnly
// lets a read-only file there go too.
static bool RenameOnto(HANDLE source, HANDLE folder, const FolderRoot& root, const std::wstring& toRel,
                       const std::wstring& toLeaf, bool replace, bool clearReadOnly = false) {
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
  if (RenameIn(source, folder, toLeaf, true)) return true;
  if (!clearReadOnly || GetLastError() != ERROR_ACCESS_DENIED) return false;
  if (!MakeReplaceable(folder, root, toRel, toLeaf)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return RenameIn(source, folder, toLeaf, true);
}

bool MoveBelow(const FolderRoot& root, const std::wstring& from, const std::wstring& to, DWORD flags) {
  std::wstring fromRel, toRel, fromFolder, toFolder, fromLeaf, toLeaf;
  if (!RelativeBelow(root, from, fromRel) || !RelativeBelow(root, to, toRel)) return false;
  SplitLeaf(fromRel, fromFolder, fromLeaf);
  SplitLeaf(toRel, toFolder, toLeaf);
  // Both folders checked and held, the source opened inside its own, and a rename by handle
  // into the other: one install folder is one volume, so no move is ever a copy, and
  // MOVEFILE_WRITE_THROUGH (which asks only that a copy be flushed) has nothing to do.
  const UniqueHandle folder = OpenFolderAt(root, fromFolder);
  if (!folder.valid()) return false;
  UniqueHandle otherFolder;
  if (!SamePathText(fromFolder, toFolder)) {
    otherFolder = OpenFolderAt(root, toFolder);
    if (!otherFolder.valid()) return false;
  }
  // The source is a file or a folder (the older layout's syserr).
  UniqueHandle source = OpenIn(folder.get(), fromLeaf, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN);
  if (!source.valid()) source = OpenFolderIn(folder.get(), fromLeaf, DELETE | FILE_READ_ATTRIBUTES, FILE_OPEN);
  if (!source.valid()) return false;
  if (!HandleIsAt(source.get(), root, fromRel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  return RenameOnto(source.get(), otherFolder.valid() ? otherFolder.get() : folder.get(), root, toRel, toLeaf,
                    (flags & MOVEFILE_REPLACE_EXISTING) != 0);
}

UniqueHandle HoldFolderBelow(const FolderRoot& root, const std::wstring& folder, bool create) {
  std::wstring rel;
  if (SamePathText(folder + L"\\", root.path)) return OpenFolderAt(root, std::wstring());
  if (!RelativeBelow(root, folder, rel)) return UniqueHandle();
  if (!create) return OpenFolderAt(root, rel, FILE_SHARE_READ | FILE_SHARE_WRITE);
  // Made or found level by level, each checked unless this call made it: the last is the one held.
  UniqueHandle held;
  return CreateLevels(root, rel + L"\\", &held) ? std::move(held) : UniqueHandle();
}

bool TempFileBelowCreate(TempFileBelow& temp, const FolderRoot& root, const std::wstring& destination,
                         HANDLE heldFolder, bool keep) {
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
  temp.root = &root;
  temp.file = OpenForWritingIn(temp.folder, root, temp.rel + layout::kTempSuffix, temp.leaf + layout::kTempSuffix, !keep);
  if (temp.file.valid()) return true;
  const DWORD error = GetLastError();
  temp.ownFolder.reset();
  temp.folder = nullptr;
  SetLastError(error);
  return false;
}

bool TempFileBelowPlace(TempFileBelow& temp, bool overReadOnly) {
  if (!temp.file.valid() || !temp.folder || !temp.root) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!RenameOnto(temp.file.get(), temp.folder, *temp.root, temp.rel, temp.leaf, true, overReadOnly)) return false;
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

bool DeleteFileBelow(const FolderRoot& root, const std::wstring& path) {
  std::wstring rel, folderRel, leaf;
  if (!RelativeBelow(root, path, rel)) return false;
  SplitLeaf(rel, folderRel, leaf);
  const UniqueHandle folder = OpenFolderAt(root, folderRel);
  if (!folder.valid()) return false;
  const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const UniqueHandle file = OpenIn(folder.get(), leaf, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, shareAll, FILE_OPEN);
  if (!file.valid()) return false;
  if (!HandleIsAt(file.get(), root, rel)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  return DeleteThroughHandle(file.get());
}

bool RemoveFolderBelow(const FolderRoot& root, const std::wstring& path) {
  std::wstring rel;
  if (!RelativeBelow(root, path, rel)) return false;
  const UniqueHandle folder = OpenFolderAt(root, rel, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, DELETE);
  return folder.valid() && RemoveFolderThroughHandle(folder.get());
}

// What the open folder holds (its own "." and ".." left out), read through its handle.
static std::vector<EntryBelow> EntriesOf(HANDLE folder) {
  std::vector<EntryBelow> entries;
  alignas(8) uint8_t buffer[16384];
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
       GetFileInformationByHandleEx(folder, kind, buffer, sizeof(buffer)); kind = FileIdBothDirectoryInfo) {
    for (auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(buffer);;) {
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..")
        entries.push_back({std::move(name), entry->FileAttributes, static_cast<uint64_t>(entry->EndOfFile.QuadPart),
                           static_cast<uint64_t>(entry->LastWriteTime.QuadPart)});
      if (entry->NextEntryOffset == 0) break;
      entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<uint8_t*>(entry) + entry->NextEntryOffset);
    }
  }
  return entries;
}

// Deletes everything inside the open folder at rel below root, each entry opened inside its
// folder's handle and checked; a link, or anything that does not lead where its name says,
// stays with whatever it holds, and so do the folders above it.
static void EmptyFolderThroughHandle(HANDLE folder, const FolderRoot& root, const std::wstring& rel) {
  for (const EntryBelow& entry : EntriesOf(folder)) {
    const std::wstring& name = entry.name;
    const DWORD attributes = entry.attributes;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    const std::wstring childRel = rel.empty() ? name : rel + L"\\" + name;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      const UniqueHandle child = OpenFolderIn(folder, name, kFolderAccess | DELETE, FILE_OPEN);
      if (!child.valid() || !HandleIsAt(child.get(), root, childRel)) continue;
      EmptyFolderThroughHandle(child.get(), root, childRel);
      RemoveFolderThroughHandle(child.get());
    } else {
      const UniqueHandle file = OpenIn(folder, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, FILE_OPEN);
      if (file.valid() && HandleIsAt(file.get(), root, childRel)) DeleteThroughHandle(file.get());
    }
  }
}

void DeleteTreeBelow(const FolderRoot& root, const std::wstring& folder, bool removeFolder) {
  std::wstring rel;
  if (!SamePathText(folder + L"\\", root.path) && !RelativeBelow(root, folder, rel)) return;
  const UniqueHandle held = OpenFolderAt(root, rel, kShareAll, rel.empty() ? 0 : DELETE);
  if (!held.valid()) return;
  EmptyFolderThroughHandle(held.get(), root, rel);
  if (removeFolder && !rel.empty()) RemoveFolderThroughHandle(held.get());
}

bool RemoveRootFolder(FolderRoot& root) {
  FolderRootClose(root);  // a folder still open here would only be marked, not removed
  // Opened without following a link at its own name: a linked install folder keeps its link.
  std::wstring named = root.path;
  while (named.size() > 3 && named.back() == L'\\') named.pop_back();
  const UniqueHandle folder(CreateFileW(named.c_str(), kFolderAccess | DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_ATTRIBUTE_TAG_INFO info;
  if (!folder.valid() || !GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &info, sizeof(info)) ||
      (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  // Under Wine a linked folder opened this way may carry no reparse flag: it must resolve to
  // its own name inside its resolved parent.
  const std::wstring parent = FolderOfPath(named);
  const UniqueHandle parentHandle(CreateFileW(parent.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::wstring parentFinal = parentHandle.valid() ? FinalPathOf(parentHandle.get()) : std::wstring();
  while (!parentFinal.empty() && parentFinal.back() == L'\\') parentFinal.pop_back();
  if (!parentFinal.empty() &&
      !SamePathText(FinalPathOf(folder.get()), parentFinal + L"\\" + named.substr(parent.size())))
    return false;
  return RemoveFolderThroughHandle(folder.get());
}

bool RenameOpenFileBelow(const FolderRoot& root, HANDLE file, const std::wstring& to) {
  std::wstring rel, folderRel, leaf;
  if (!RelativeBelow(root, to, rel)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  SplitLeaf(rel, folderRel, leaf);
  const UniqueHandle folder = OpenFolderAt(root, folderRel);
  return folder.valid() && RenameIn(file, folder.get(), leaf, false);
}

bool IsHeldOpenElsewhere(const FolderRoot& root, const std::wstring& path) {
  std::wstring rel, folderRel, leaf;
  if (!RelativeBelow(root, path, rel)) return false;
  SplitLeaf(rel, folderRel, leaf);
  const UniqueHandle folder = OpenFolderAt(root, folderRel);
  if (!folder.valid()) return false;
  // Asking for what a replacement needs, while allowing every kind of sharing, fails with a
  // sharing violation only when another open handle (or a running image) forbids it; a folder
  // there fails otherwise.
  const UniqueHandle h = OpenIn(folder.get(), leaf, GENERIC_WRITE | DELETE, kShareAll, FILE_OPEN);
  if (h.valid()) return false;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

const FolderRoot& RootFor(const FolderRoot& root, const std::wstring& path, FolderRoot& outside) {
  std::wstring rel;
  if (RelativeBelow(root, path, rel)) return root;
  // One that does not open has no handle, and every act through it fails.
  static_cast<void>(FolderRootOpen(outside, FolderOfPath(path)));
  return outside;
}

bool FolderRootMoved(const FolderRoot& root) {
  if (!root.handle.valid() || root.final.empty()) return false;
  std::wstring now = FinalPathOf(root.handle.get());
  while (!now.empty() && now.back() == L'\\') now.pop_back();
  return !SamePathText(now, root.final);
}

static void ListFilesThroughHandle(HANDLE folder, const FolderRoot& root, const std::wstring& rel,
                                   const std::function<void(const std::wstring&)>& each) {
  for (const EntryBelow& entry : EntriesOf(folder)) {
    const std::wstring& name = entry.name;
    const DWORD attributes = entry.attributes;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    const std::wstring childRel = rel.empty() ? name : rel + L"\\" + name;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      const UniqueHandle child = OpenFolderIn(folder, name, kFolderAccess, FILE_OPEN);
      if (child.valid() && HandleIsAt(child.get(), root, childRel)) ListFilesThroughHandle(child.get(), root, childRel, each);
      continue;
    }
    // A file link under Wine carries no reparse flag in the listing: only its final path tells.
    const UniqueHandle file = OpenIn(folder, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN);
    if (!file.valid() || HandleIsAt(file.get(), root, childRel)) each(root.path + childRel);
  }
}

void ForEachFileBelow(const FolderRoot& root, const std::wstring& folder,
                      const std::function<void(const std::wstring& path)>& each) {
  std::wstring rel;
  if (!SamePathText(folder + L"\\", root.path) && !RelativeBelow(root, folder, rel)) return;
  const UniqueHandle held = OpenFolderAt(root, rel);
  if (held.valid()) ListFilesThroughHandle(held.get(), root, rel, each);
}

bool DeleteOpenFile(HANDLE file) { return DeleteThroughHandle(file); }

// The folder given as a full path (root itself without its trailing backslash, or below it),
// as a path relative to root; false if it is neither.
static bool FolderBelow(const FolderRoot& root, const std::wstring& folder, std::wstring& rel) {
  rel.clear();
  return SamePathText(folder + L"\\", root.path) || RelativeBelow(root, folder, rel);
}

bool ListBelow(const FolderRoot& root, const std::wstring& folder, std::vector<EntryBelow>& entries) {
  entries.clear();
  std::wstring rel;
  if (!FolderBelow(root, folder, rel)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const UniqueHandle held = OpenFolderAt(root, rel);
  if (!held.valid()) return false;
  entries = EntriesOf(held.get());
  return true;
}

bool StatBelow(const FolderRoot& root, const std::wstring& path, EntryBelow& out) {
  std::wstring rel, folderRel, leaf;
  if (!RelativeBelow(root, path, rel)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  SplitLeaf(rel, folderRel, leaf);
  const UniqueHandle folder = OpenFolderAt(root, folderRel);
  if (!folder.valid()) return false;
  // Neither a file nor a folder option: whichever stands there is opened, a link not followed.
  const UniqueHandle entry = NtOpenIn(folder.get(), leaf, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0);
  if (!entry.valid()) return false;
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (!GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic, sizeof(basic)) ||
      !GetFileInformationByHandleEx(entry.get(), FileStandardInfo, &standard, sizeof(standard)))
    return false;
  out = {leaf, basic.FileAttributes, static_cast<uint64_t>(standard.EndOfFile.QuadPart),
         static_cast<uint64_t>(basic.LastWriteTime.QuadPart)};
  // A file link under Wine carries no reparse flag: only its final path tells.
  if (!HandleIsAt(entry.get(), root, rel)) out.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return true;
}
