#pragma once
// One file from the patch server into place: resumable part file, retries, verification.
#include <cstdint>
#include <mutex>
#include <string>
#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "patch/engine.h"
#include "patch/plan.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/sha256.h"
#include "support/sync.h"

struct FileEntry;

// Objects up to this size are fetched into memory and inflated from there, without a part file:
// a restart costs at most this much again.
constexpr uint64_t kMemoryObjectLimit = 1u << 20;
// Objects up to this size are inflated into the file as they arrive; larger ones (a large file
// published without pieces) go through a part file, so that an interruption loses nothing.
constexpr uint64_t kStreamObjectLimit = 16u << 20;

// What the downloads of one phase have learnt about the install folder, shared by its workers so
// that no file pays again for a question an earlier one answered.
struct DownloadKnowledge {
  SlimLock lock;
  std::unordered_set<std::wstring> folders;         // folders known to exist, no trailing backslash
  std::unordered_set<std::string> parts;            // lower-case hashes that have a part file
  bool partsListed = false;                         // parts names every part file there is
  // Folders opened, checked and held for the files made in them (HoldFolderBelow), the most
  // recently added kHeldFolders; a file being made keeps its folder's handle alive.
  std::unordered_map<std::wstring, std::shared_ptr<UniqueHandle>> heldFolders;
  std::deque<std::wstring> heldOrder;
  // Taken while a folder is made and held, so that two files of one new folder never both
  // make it: the second finds it held.
  SlimLock holdLock;
  // One lock per part file (lower-case hash), held by whoever fetches into it or reads it.
  std::unordered_map<std::string, std::shared_ptr<SlimLock>> partLocks;
  // Objects (lower-case hashes) that a whole file and a piece of another share: fetched once
  // through their part file, which stays for the other.
  std::unordered_set<std::string> sharedParts;
};

// A verified file in its temporary name, to be moved into place once the files made from the
// old file's bytes are done.
struct PendingPlace {
  TempFileBelow temp;
  std::shared_ptr<UniqueHandle> folder;  // keeps the folder temp was made in held
  std::wstring destination;
};

// Downloads entry's object, verifies it and moves it onto destination (or, with later, leaves
// it there to be placed by PlacePending). An object of at most
// kMemoryObjectLimit bytes with no part file left from earlier comes into memory; any other goes
// into installFolder\patcher_parts\<hash>.z, resuming a part left there. keepPart leaves a
// verified part file in place so that another entry with the same hash can be verified from it
// without a transfer. Adds the compressed bytes to engine.doneBytes as they arrive (and takes
// back those of a failed attempt). known (optional) saves the questions it can answer. After a
// failure GetLastError() holds the Windows error behind it, if any.
DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry, const std::wstring& destination,
                            bool keepPart = false, DownloadKnowledge* known = nullptr, PendingPlace* later = nullptr);
// Makes destination from local bytes as made says (a whole local copy, or local and fetched
// pieces, each fetched piece through its part file with the usual attempts), checking every
// local piece's hash as it is copied and the whole file's hash, then places it (or hands it to
// later). DownloadNetwork (a piece missing or failing) and DownloadCorrupt (the local bytes are
// not what the plan said) leave destination as it was, for the caller to fetch the whole object
// instead. credited is the compressed bytes the fetched pieces added to engine.doneBytes.
DownloadResult MakeFromLocal(PatchEngine& engine, const FileEntry& entry, const FilePlan& made,
                             const UpdatePlan& plan, const std::wstring& destination, uint64_t& credited,
                             DownloadKnowledge* known, PendingPlace* later = nullptr);
// How many of entry's pieces, from the start, the open temporary file already holds (left by an
// interrupted run), each checked against its hash and fed to whole; the file is cut after them,
// its position there (0 pieces, and an emptied file, if the cut fails).
size_t KeptPieces(HANDLE temp, const FileEntry& entry, Sha256Hasher& whole, std::string& buffer);
// Moves a held file into place; DownloadInUse or DownloadWriteFailed as for DownloadFile.
DownloadResult PlacePending(PendingPlace& pending);
// What a download phase knows before its first file: the part files, from one listing of
// installFolder\patcher_parts, and the install folder itself.
void BeginDownloads(const PatchEngine& engine, DownloadKnowledge& known);
// installFolder\patcher_parts\<hash>.z
std::wstring PartFilePath(const PatchEngine& engine, const std::string& hash);
// Deletes installFolder\patcher_parts\*.z and then the folder if that left it empty.
void CleanPartFiles(PatchEngine& engine);
