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
#include "support/handles.h"
#include "support/sync.h"

struct FileEntry;

// Objects up to this size are fetched into memory and inflated from there, without a part file:
// a restart costs at most this much again.
constexpr uint64_t kMemoryObjectLimit = 1u << 20;

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
};

// Downloads entry's object, verifies it and moves it onto destination. An object of at most
// kMemoryObjectLimit bytes with no part file left from earlier comes into memory; any other goes
// into installFolder\patcher_parts\<hash>.z, resuming a part left there. keepPart leaves a
// verified part file in place so that another entry with the same hash can be verified from it
// without a transfer. Adds the compressed bytes to engine.doneBytes as they arrive (and takes
// back those of a failed attempt). known (optional) saves the questions it can answer. After a
// failure GetLastError() holds the Windows error behind it, if any.
DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry, const std::wstring& destination,
                            bool keepPart = false, DownloadKnowledge* known = nullptr);
// How a file published in pieces is made from the file it replaces: which pieces that file
// already holds, and what the others cost to fetch.
struct ChunkPlan {
  std::vector<int64_t> local;  // per piece: where the same bytes start in the old file, or -1
  uint64_t fetchBytes = 0;     // compressed bytes of the pieces that must be fetched
};
// Hashes the file now at destination (below the install folder) in piece steps and plans entry's
// pieces against it. False when the file should come whole: no pieces, no old file, none of its
// pieces held, or the pieces to fetch would cost as much as the whole object.
bool PlanChunks(PatchEngine& engine, const FileEntry& entry, const std::wstring& destination, ChunkPlan& plan);
// Makes destination anew from the old file's pieces and fetched ones (each through its part
// file, with the usual attempts), checks the whole file's size and hash and moves it into
// place. DownloadNetwork (a piece missing or failing) and DownloadCorrupt (the result is not
// the file) leave the old file as it was, for the caller to fetch the whole object instead.
// credited is the compressed bytes the fetched pieces added to engine.doneBytes.
DownloadResult DownloadChunks(PatchEngine& engine, const FileEntry& entry, const ChunkPlan& plan,
                              const std::wstring& destination, uint64_t& credited, DownloadKnowledge* known);
// What a download phase knows before its first file: the part files, from one listing of
// installFolder\patcher_parts, and the install folder itself.
void BeginDownloads(const PatchEngine& engine, DownloadKnowledge& known);
// installFolder\patcher_parts\<hash>.z
std::wstring PartFilePath(const PatchEngine& engine, const std::string& hash);
// Deletes installFolder\patcher_parts\*.z and then the folder if that left it empty.
void CleanPartFiles(PatchEngine& engine);
