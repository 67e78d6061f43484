#pragma once
// File and module helpers (Windows). None throws; failures are a false or an empty string.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/handles.h"

// Full path of the running executable; empty on failure.
std::wstring GetModulePath();
// Folder of the running executable ending in a separator, or ".\" if the path has none.
std::wstring GetModuleDir();
// The part of path up to and including its last "\" or "/", or ".\" if it has none.
std::wstring FolderOfPath(const std::wstring& path);
// Reads a whole file of at most 64 MiB into out; false if missing, too large or unreadable.
bool ReadWholeFile(const std::wstring& path, std::string& out);
// True when two paths are the same text apart from letter case, compared as the file system does.
bool SamePathText(const std::wstring& a, const std::wstring& b);
// The system's message for a Win32 error code without trailing line breaks; empty if none.
std::wstring SystemErrorText(uint32_t code);

// ---- Work below the install folder without following links ----
// The one way to touch the install folder. A run opens the install folder once (FolderRoot)
// and hands that handle down; nothing below resolves the folder by its name again. Each
// helper takes that root and a full path that begins with root.path. Every create, open,
// write, listing, attribute read or change, move, delete, folder creation and folder removal is
// made through a handle opened relative to the root's handle or to a folder handle opened inside
// it, and each handle is checked to lead exactly where its name says (no link, no folder swapped
// for a junction) before it is used: nothing is ever acted on by name after a check, so a link
// planted on the way at any moment is never walked through. A file with other names (a hard
// link) is never written: such a name is replaced by a new file, and deleting it removes only
// the name. By name are only: FolderRootOpen, which opens the folder itself; RemoveRootFolder,
// which must open it again once the root's handle is closed, and removes it only when that
// handle is no link and resolves where the name says; IsLinkFreeByName, which decides nothing
// but which message to show; and, where the file system reports no final paths, the look at
// each level's link flag before a folder is opened, which can only refuse.

// A folder files are placed below (the install folder; it may itself be a link), opened once.
struct FolderRoot {
  std::wstring path;    // ending in a backslash
  std::wstring final;   // where the handle resolves, without trailing backslash; empty where the
                        // file system reports no final paths (then each level's flags alone tell)
  UniqueHandle handle;  // every open below goes through it, so renaming or replacing the folder
                        // by its name meanwhile sends nothing elsewhere
};
// Opens folder (a backslash is added if missing) as root. False (last error set, root without
// handle) if it does not exist or cannot be opened; every helper then fails.
[[nodiscard]] bool FolderRootOpen(FolderRoot& root, const std::wstring& folder);
// Closes the root's handle, keeping its path.
void FolderRootClose(FolderRoot& root);

// True if no level from root down to path (as far as it exists) is a link, looked at by name:
// an answer for a message, never a permission to act.
bool IsLinkFreeByName(const FolderRoot& root, const std::wstring& path);
// Makes sure the folder containing path exists below root (creating levels top down); false if
// a level is a link, a file, or cannot be created.
bool EnsureFoldersBelow(const FolderRoot& root, const std::wstring& path);
enum class OpenBelowMode { Read, Write, Create };
// Opens path below root: Read (existing, shared for reading), Write (not shared, existing
// contents kept, created if missing) or Create (not shared, emptied). Invalid if a link is on
// the way or stands at path.
UniqueHandle OpenBelow(const FolderRoot& root, const std::wstring& path, OpenBelowMode mode);
// ReadWholeFile for a path below root; false also if a link is on the way.
bool ReadWholeFileBelow(const FolderRoot& root, const std::wstring& path, std::string& out);
// Writes path + ".ap_tmp" below root, flushes it to disk, then moves it over path (replace,
// write-through). False (last error set) leaves the old target unchanged and no temporary file
// behind; also if a link is on the way or at the target.
bool WriteFileAtomicBelow(const FolderRoot& root, const std::wstring& path, const std::string& contents);
// A temporary file (destination + ".ap_tmp") made inside its destination's checked folder,
// written through file, and then moved onto the destination by its own handle: one folder
// check serves the whole write. Closing it without placing or discarding leaves the file.
// The root must outlive it.
struct TempFileBelow {
  UniqueHandle ownFolder;  // the folder, when it was opened for this file alone
  HANDLE folder = nullptr;
  UniqueHandle file;  // not shared, with DELETE access
  const FolderRoot* root = nullptr;
  std::wstring rel, leaf;  // the destination below root, and its last name
};
// The folder (a full path without trailing backslash, root itself or below it) opened and
// checked as the helpers here check every folder, and held: nobody can move or delete it until
// the handle is closed, so files made in it later need no check of their own. Invalid if a link
// is on the way or it cannot be opened. create makes the missing levels first.
UniqueHandle HoldFolderBelow(const FolderRoot& root, const std::wstring& folder, bool create = false);
// Makes the temporary file in destination's folder, empty unless keep (then what a temporary file
// there holds stays, for a resumed file); heldFolder (from HoldFolderBelow for that folder) saves
// opening and checking it. False (last error set) if a link is on the way or stands at the
// temporary name.
bool TempFileBelowCreate(TempFileBelow& temp, const FolderRoot& root, const std::wstring& destination,
                         HANDLE heldFolder = nullptr, bool keep = false);
// Moves the temporary file onto its destination, replacing a file (not a link) there, and
// closes it; overReadOnly lets a read-only file there go too (its other names, if any, keep
// their attributes). False (last error set) keeps the temporary file open for another try or a
// discard.
bool TempFileBelowPlace(TempFileBelow& temp, bool overReadOnly = false);
// Deletes the temporary file, if any, through its handle and closes it.
void TempFileBelowDiscard(TempFileBelow& temp);
// MoveFileExW (flags as there) of one entry below root to another; false also if a link is on
// either way, if the source is a link, or if a link stands at the destination.
bool MoveBelow(const FolderRoot& root, const std::wstring& from, const std::wstring& to, DWORD flags);
// Clears the attributes of a file below root and deletes it; a link is left alone (false).
bool DeleteFileBelow(const FolderRoot& root, const std::wstring& path);
// Removes an empty folder below root; a link is left alone (false).
bool RemoveFolderBelow(const FolderRoot& root, const std::wstring& path);
// Renames the open file (opened with DELETE access) to the full path to below root (or in root
// itself), never replacing anything there; false (last error set) if it cannot or a link is
// on the way.
bool RenameOpenFileBelow(const FolderRoot& root, HANDLE file, const std::wstring& to);
// Deletes everything inside folder (root itself, without its trailing backslash, or a folder
// below it), then, if removeFolder, the folder itself when it is then empty. Every entry is
// opened inside its folder's checked handle: a link or anything that does not lead where its
// name says is left, with its folders.
void DeleteTreeBelow(const FolderRoot& root, const std::wstring& folder, bool removeFolder);
// Closes root and removes the folder itself when it is empty; a link there is left alone (false).
bool RemoveRootFolder(FolderRoot& root);
// After a failed write onto path below root: true only if another process holds it open (a
// running program or a file opened without sharing), not for a folder, a denied destination or
// one behind a link.
bool IsHeldOpenElsewhere(const FolderRoot& root, const std::wstring& path);
// root when path lies below it, else outside opened at the folder of path (a file outside the
// install folder, such as a launcher's own executable, is then checked below its own folder).
const FolderRoot& RootFor(const FolderRoot& root, const std::wstring& path, FolderRoot& outside);
// True when the root's folder no longer is where it was opened (renamed or moved meanwhile);
// false also where the file system reports no final paths.
bool FolderRootMoved(const FolderRoot& root);
// Calls each with the full path of every file still below folder (root itself, without its
// trailing backslash, or a folder below it), each level opened inside its folder's checked
// handle; links, and whatever lies beyond one or does not lead where its name says, are skipped.
void ForEachFileBelow(const FolderRoot& root, const std::wstring& folder,
                      const std::function<void(const std::wstring& path)>& each);
// Deletes the open file (opened with DELETE access) through its handle; a read-only one too
// when the handle may write attributes. False (last error set) if it cannot.
bool DeleteOpenFile(HANDLE file);
// One entry of a folder below root, as the folder's listing or its own handle reports it.
struct EntryBelow {
  std::wstring name;           // the last name alone
  DWORD attributes = 0;        // FILE_ATTRIBUTE_*; a link carries FILE_ATTRIBUTE_REPARSE_POINT
  uint64_t size = 0;           // bytes
  uint64_t lastWriteTime = 0;  // FILETIME ticks
};
// The entries of folder (root itself without its trailing backslash, or a folder below it),
// read through its checked handle: nothing is listed through a link. False (last error set,
// entries empty) if the folder is missing, a link is on the way, or it cannot be opened.
bool ListBelow(const FolderRoot& root, const std::wstring& folder, std::vector<EntryBelow>& entries);
// The entry at path below root, opened inside its checked folder without following a link at
// path (a link there is reported with FILE_ATTRIBUTE_REPARSE_POINT); false (last error set) if
// it is missing or a link stands on the way.
bool StatBelow(const FolderRoot& root, const std::wstring& path, EntryBelow& out);
