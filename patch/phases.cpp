#include "patch/phases.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>

#include "patch/download.h"
#include "patch/engine.h"
#include "patch/plan.h"
#include "patch/state.h"
#include "support/files.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/sha256.h"
#include "support/text.h"

static void StoreCacheRecord(PatchEngine& engine, const std::wstring& widePath, const DiskState& state,
                             const std::string& hash) {
  std::wstring key = ToLowerAscii(widePath);
  std::lock_guard<SlimLock> lock(engine.cacheLock);
  engine.cache[std::move(key)] = CacheRecord{state.size, state.lastWriteTime, hash};
  engine.cacheChanged = true;
}

// Hash progress: every piece read counts; going on only while the run is not cancelled.
static bool HashProgress(void* context, uint64_t bytes) {
  auto* engine = static_cast<PatchEngine*>(context);
  engine->doneBytes += bytes;
  return !engine->cancel;
}

int RunWorkerPool(const std::vector<size_t>& list, const std::function<void(size_t)>& task, size_t maxMembers,
                  const std::function<void()>& memberDone) {
  const size_t n = list.size();
  if (n == 0) return 0;
  std::atomic<size_t> next{0};
  std::atomic<bool> outOfMemory{false};
  const auto member = [&] {
    try {
      for (;;) {
        const size_t position = next.fetch_add(1);
        if (position >= n) {
          if (memberDone) memberDone();
          return;
        }
        task(list[position]);
      }
    } catch (const std::bad_alloc&) {
      outOfMemory = true;  // reported on the run thread, which fails the run
      next = n;
    }
  };
  std::vector<std::thread> threads;
  const size_t extra = std::max<size_t>(1, std::min<size_t>({n, maxMembers, 4})) - 1;
  for (size_t t = 0; t < extra; ++t) {
    try {
      threads.emplace_back(member);
    } catch (const std::exception&) {
      break;  // the members that exist still take every position
    }
  }
  member();
  for (std::thread& thread : threads) thread.join();
  if (outOfMemory) throw std::bad_alloc();
  return static_cast<int>(threads.size()) + 1;
}

// True if no folder on the way from root to relative is a link (or missing). plain holds a
// relative folder path (ending in a backslash) whose every level was found plain: the file list
// is sorted, so a file mostly shares its folders with the one before and only the levels below
// those are asked about. folder is scratch space. Looked at by name: the answer only decides
// which files are fetched, and every act on them checks its way again.
static bool FoldersArePlainByName(const std::wstring& root, const std::wstring& relative, std::wstring& plain,
                                  std::wstring& missing, std::wstring& folder) {
  const size_t last = relative.rfind(L'\\');
  if (last == std::wstring::npos) return true;
  // Below a folder found missing nothing exists: a fresh install asks once per folder, not per
  // file (under Wine each miss is a directory scan).
  if (!missing.empty() && relative.size() > missing.size() && relative.compare(0, missing.size(), missing) == 0)
    return false;
  size_t shared = 0;  // the levels relative shares with plain, up to and including a backslash
  const size_t limit = std::min(plain.size(), last + 1);
  for (size_t i = 0; i < limit && relative[i] == plain[i]; ++i) {
    if (relative[i] == L'\\') shared = i + 1;
  }
  for (size_t cut = relative.find(L'\\', shared); cut != std::wstring::npos; cut = relative.find(L'\\', cut + 1)) {
    folder.assign(root).append(relative, 0, cut);
    const DWORD a = GetFileAttributesW(folder.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
      plain.assign(relative, 0, shared);
      if (a == INVALID_FILE_ATTRIBUTES) missing.assign(relative, 0, cut + 1);
      return false;
    }
    shared = cut + 1;
  }
  plain.assign(relative, 0, last + 1);
  return true;
}

// Asks the file system about every listed file: what it holds goes into diskState, a file that
// is missing, a folder or behind a link is marked in needsDownload, and each file's record in
// records (if any) goes into cached.
static void QueryListedFiles(PatchEngine& engine, const FileList& files,
                             const std::unordered_map<std::wstring, CacheRecord>& records,
                             std::vector<uint8_t>& needsDownload, std::vector<DiskState>& diskState,
                             std::vector<const CacheRecord*>& cached) {
  // Every question waits on the file system, so the workers share them out in runs of
  // neighbouring files, which mostly share their folders too. Each also finds every file's cache
  // record: nothing changes the cache until they are done, and a record's address outlives
  // any later insertion.
  diskState.assign(files.size(), DiskState());
  cached.assign(files.size(), nullptr);
  constexpr size_t kRun = 4096;
  std::vector<size_t> runs;
  for (size_t first = 0; first < files.size(); first += kRun) runs.push_back(first);
  RunWorkerPool(runs, [&](size_t first) {
    std::wstring fullPath = engine.installFolder;
    const size_t folderLength = fullPath.size();
    std::wstring relative, plainFolders, missingFolder, folder;
    for (size_t i = first; i < std::min(first + kRun, files.size()); ++i) {
      files.WidePathInto(i, relative);
      fullPath.resize(folderLength);
      fullPath += relative;
      // A file behind a link is not the installation's: it is fetched again, and that refuses.
      if (!FoldersArePlainByName(engine.installFolder, relative, plainFolders, missingFolder, folder) ||
          !QueryDiskState(fullPath, diskState[i]))
        needsDownload[i] = 1;  // missing, a folder, or behind a link
      LowerAsciiInPlace(relative);
      const auto found = records.find(relative);
      if (found != records.end()) cached[i] = &found->second;
    }
  });
}

// The files whose content must be read to be known: the rest are marked in needsDownload or
// vouched for by their record. Adds their sizes to total.
static std::vector<size_t> FilesToHash(const FileList& files, bool fullVerify, const std::vector<DiskState>& diskState,
                                       const std::vector<const CacheRecord*>& cached,
                                       std::vector<uint8_t>& needsDownload, uint64_t& total) {
  std::vector<size_t> hashList;
  for (size_t i = 0; i < files.size(); ++i) {
    const FileList::Item& item = files.items[i];
    if (needsDownload[i] || item.keep) continue;  // a kept file stays whatever it holds
    if (diskState[i].size != item.size) {
      needsDownload[i] = 1;
      continue;
    }
    const CacheRecord* record = cached[i];
    // A full verification trusts no record that calls a file right, but one that calls it
    // wrong spares reading it: it is made anew either way, and every byte of that is checked.
    if (record && record->size == diskState[i].size && record->lastWriteTime == diskState[i].lastWriteTime) {
      if (record->hash != files.Hash(i)) {
        needsDownload[i] = 1;
        continue;
      }
      if (!fullVerify) continue;
    }
    hashList.push_back(i);
    total += diskState[i].size;
  }
  return hashList;
}

// Stage 3. Marks needsDownload for every file that is missing or not right, and keeps what
// it found on disk in diskState; false on cancel.
static bool CheckFiles(PatchEngine& engine, const FileList& files, bool fullVerify,
                       std::vector<uint8_t>& needsDownload, std::vector<DiskState>& diskState,
                       std::unordered_map<std::wstring, CacheRecord>& earlier) {
  engine.PostStage(StageChecking);
  {
    // A cache holds about one record per file: room made once instead of growing 17 times.
    std::lock_guard<SlimLock> lock(engine.cacheLock);
    engine.cache.reserve(files.size());
  }
  // Read before the file system is asked, not beside it: under Wine both are mostly processor
  // work, and side by side they took longer than one after the other.
  LoadCache(engine);
  if (fullVerify) {
    // Not trusted for the check, but still where an update may find bytes it need not fetch.
    std::lock_guard<SlimLock> lock(engine.cacheLock);
    earlier = std::move(engine.cache);
    engine.cache.clear();
    engine.cacheChanged = true;
  }
  std::vector<const CacheRecord*> cached;
  QueryListedFiles(engine, files, fullVerify ? earlier : engine.cache, needsDownload, diskState, cached);
  size_t listed = 0;
  for (const CacheRecord* record : cached) listed += record != nullptr;
  engine.cacheListed = fullVerify ? SIZE_MAX : listed;

  uint64_t hashTotal = 0;
  const std::vector<size_t> hashList = FilesToHash(files, fullVerify, diskState, cached, needsDownload, hashTotal);
  engine.totalBytes = hashTotal;
  engine.doneBytes = 0;
  engine.totalFiles = static_cast<int32_t>(hashList.size());
  engine.doneFiles = 0;
  // Hashing keeps a processor busy: more members than processors only take turns.
  const size_t processors = std::max(1u, std::thread::hardware_concurrency());
  RunWorkerPool(hashList, [&](size_t i) {
    if (engine.cancel) return;
    const std::wstring widePath = files.WidePath(i);
    engine.SetCurrentFile(widePath);
    const std::wstring fullPath = engine.installFolder + widePath;
    // Read through a handle opened inside the file's checked folder: a link is never hashed.
    const UniqueHandle file = OpenBelow(engine.root, fullPath, OpenBelowMode::Read);
    const std::string hash = file.valid() ? Sha256OpenFileHex(file.get(), HashProgress, &engine) : std::string();
    if (hash != files.Hash(i)) needsDownload[i] = 1;
    if (!hash.empty()) StoreCacheRecord(engine, widePath, diskState[i], hash);
    ++engine.doneFiles;
  }, processors);
  return !engine.cancel;
}

// The kind of the download phase's first failure.
static FailureKind DownloadFailureKind(int32_t code) {
  switch (code) {
    case DownloadCorrupt: return FailureKind::CorruptFile;
    case DownloadWriteFailed: return FailureKind::WriteFile;
    case DownloadInUse: return FailureKind::FileInUse;
    default: return FailureKind::Connect;
  }
}

namespace {

// The first failure of the download phase, and what the log needs of it.
struct FirstFailure {
  std::atomic<int32_t> result{0};
  SlimLock lock;
  std::wstring path;
  DWORD error = 0;  // the Windows error the failed step left
  // Keeps the first failure and stops the other transfers; a cancel is no failure.
  void Note(PatchEngine& engine, DownloadResult failed, const std::wstring& widePath, DWORD lastError) {
    int32_t none = 0;
    if (failed == DownloadCancelled || !result.compare_exchange_strong(none, failed)) return;
    {
      std::lock_guard<SlimLock> hold(lock);
      path = widePath;
      error = lastError;
    }
    engine.cancel = true;  // the other transfers stop at their next check
  }
};

// One needed file into place (or, placed last, into its temporary name): from local bytes when
// the plan says so, else, or when those fail, the whole object.
DownloadResult MakeFile(PatchEngine& engine, const FileEntry& entry, FilePlan* made, const UpdatePlan& plan,
                        bool keepPart, DownloadKnowledge& known, PendingPlace* later) {
  const std::wstring fullPath = engine.installFolder + entry.widePath;
  if (made && (made->wholeSource >= 0 || !made->pieces.empty())) {
    uint64_t credited = 0;
    const DownloadResult result = MakeFromLocal(engine, entry, *made, plan, fullPath, credited, &known, later);
    if (result != DownloadNetwork && result != DownloadCorrupt) return result;
    LogLine(L"the local bytes of " + entry.widePath + L" could not be used; fetching the whole file");
    // What the plan still meant to fetch leaves the totals, the whole object joins them.
    uint64_t planned = 0;
    for (size_t k = 0; k < made->pieces.size(); ++k) {
      if (made->pieces[k] < 0) planned += entry.chunks[k].compressedSize;
    }
    engine.totalBytes += entry.compressedSize - (planned - std::min(planned, credited));
  }
  return DownloadFile(engine, entry, fullPath, keepPart, &known, later);
}

// Notes the objects fetched for more than one place (a piece two files or two places of one
// file need, or a piece that is also a file fetched whole), so that all go through one part
// file and the object is fetched once; every other piece comes into memory only.
void MarkSharedParts(const FileList& files, const UpdatePlan& plan,
                     const std::unordered_map<std::string, size_t>& groupOfHash, DownloadKnowledge& known) {
  std::unordered_map<std::string, int> uses;
  for (const auto& [i, made] : plan.files) {
    if (made.pieces.empty()) continue;
    const FileEntry entry = files[i];
    for (size_t k = 0; k < made.pieces.size(); ++k) {
      if (made.pieces[k] >= 0) continue;
      const std::string hash = ToLowerAscii(entry.chunks[k].hash);
      if (++uses[hash] > 1 || groupOfHash.count(hash)) known.sharedParts.insert(hash);
    }
  }
}

// Entries with one hash share one part file (the object is the same), so they form one task:
// the part is downloaded once and verified into every destination in turn, and no two workers
// ever open it together. File names ignore case, so the grouping does too. Returns how many
// files are needed.
int32_t GroupByContent(const FileList& files, const std::vector<uint8_t>& needsDownload,
                       std::vector<std::vector<size_t>>& groups, std::unordered_map<std::string, size_t>& groupOfHash) {
  int32_t count = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!needsDownload[i]) continue;
    ++count;
    const auto placed = groupOfHash.emplace(ToLowerAscii(files.Hash(i)), groups.size());
    if (placed.second) groups.emplace_back();
    groups[placed.first->second].push_back(i);
  }
  return count;
}

// What the download phase's workers share.
struct DownloadPhase {
  PatchEngine& engine;
  const FileList& files;
  UpdatePlan& plan;
  DownloadKnowledge known;
  FirstFailure failure;
  // Files whose old bytes others are made of wait here, made, until those are done.
  SlimLock pendingLock;
  std::vector<std::pair<size_t, std::unique_ptr<PendingPlace>>> pending;
};

// Keeps what a placed file now is in the cache.
void StoreMade(PatchEngine& engine, const std::wstring& widePath, const std::string& hash) {
  DiskState state;
  if (QueryDiskState(engine.installFolder + widePath, state)) StoreCacheRecord(engine, widePath, state, hash);
}

// Makes the files of one content, in turn; stops at the first failure (noted) or a cancel.
void MakeGroup(DownloadPhase& phase, const std::vector<size_t>& members) {
  PatchEngine& engine = phase.engine;
  for (size_t m = 0; m < members.size(); ++m) {
    if (engine.cancel || phase.failure.result != 0) return;
    const FileEntry entry = phase.files[members[m]];
    engine.SetCurrentFile(entry.widePath);
    const auto found = phase.plan.files.find(members[m]);
    FilePlan* made = found == phase.plan.files.end() ? nullptr : &found->second;
    std::unique_ptr<PendingPlace> later = made && made->placeLast ? std::make_unique<PendingPlace>() : nullptr;
    const DownloadResult result =
        MakeFile(engine, entry, made, phase.plan, m + 1 < members.size(), phase.known, later.get());
    if (result != DownloadOk) {
      phase.failure.Note(engine, result, entry.widePath, GetLastError());
      return;
    }
    if (later) {
      std::lock_guard<SlimLock> lock(phase.pendingLock);
      phase.pending.emplace_back(members[m], std::move(later));
      continue;
    }
    StoreMade(engine, entry.widePath, entry.hash);
    ++engine.doneFiles;
  }
}

// Every file made from their old bytes is done: now those waiting are replaced, or, after a
// failure or a cancel, let go of.
void PlacePendingFiles(DownloadPhase& phase) {
  for (auto& [i, held] : phase.pending) {
    if (phase.failure.result != 0 || phase.engine.cancel) {
      TempFileBelowDiscard(held->temp);
      continue;
    }
    const DownloadResult result = PlacePending(*held);
    if (result != DownloadOk) {
      phase.failure.Note(phase.engine, result, phase.files.WidePath(i), GetLastError());
      continue;
    }
    StoreMade(phase.engine, phase.files.WidePath(i), std::string(phase.files.Hash(i)));
    ++phase.engine.doneFiles;
  }
}

}  // namespace

// Stage 4 (only when something is missing). False if the run must end: a failed download
// (error text set) or a cancel.
static bool DownloadFiles(PatchEngine& engine, const FileList& files, const std::vector<uint8_t>& needsDownload,
                          const std::vector<DiskState>& diskState,
                          const std::unordered_map<std::wstring, CacheRecord>& earlier) {
  std::vector<std::vector<size_t>> groups;
  std::unordered_map<std::string, size_t> groupOfHash;
  const int32_t count = GroupByContent(files, needsDownload, groups, groupOfHash);
  if (groups.empty()) return true;

  // Whatever the installation already holds, at any path, is copied instead of fetched; only
  // what is fetched counts in the stage's totals.
  UpdatePlan plan;
  if (!PlanUpdate(engine, files, needsDownload, diskState, earlier, plan)) {
    SaveCache(engine, files);  // what the check learnt stays, as after a cancel while downloading
    return false;
  }

  // The stage counts what this run fetches: files already right on disk are neither done nor
  // to do, and a part file a resumed transfer finds counts as done once its transfer starts.
  // The totals are in place before the stage is seen.
  engine.totalBytes = plan.fetchBytes;
  engine.doneBytes = 0;
  engine.totalFiles = count;
  engine.doneFiles = 0;
  engine.PostStage(StageDownloading);

  DownloadPhase phase{engine, files, plan};
  BeginDownloads(engine, phase.known);
  MarkSharedParts(files, plan, groupOfHash, phase.known);
  std::vector<size_t> groupList(groups.size());
  for (size_t g = 0; g < groups.size(); ++g) groupList[g] = g;
  // A member with no file left lends its transfer to the pieces of a file still being made.
  engine.spareTransfers = 4 - static_cast<int32_t>(std::min<size_t>(groups.size(), 4));
  RunWorkerPool(groupList, [&](size_t g) { MakeGroup(phase, groups[g]); }, 4, [&engine] { ++engine.spareTransfers; });
  engine.spareTransfers = 0;
  PlacePendingFiles(phase);

  FirstFailure& failure = phase.failure;
  SaveCache(engine, files);
  if (failure.result != 0) {
    engine.SetError({DownloadFailureKind(failure.result), failure.error, 0, failure.path});
    return false;
  }
  return !engine.cancel;
}

// Removes the folders above relativePath inside the install folder, deepest first, while
// they are empty.
static void RemoveEmptyParents(const FolderRoot& root, const std::wstring& relativePath) {
  for (size_t pos = relativePath.size(); pos-- > 1;) {
    if (relativePath[pos] != L'\\' && relativePath[pos] != L'/') continue;
    if (!RemoveFolderBelow(root, root.path + relativePath.substr(0, pos))) return;
  }
}

// Stage 5: the delete list, the local state, the part files; then stage 8.
static void ApplyChanges(PatchEngine& engine, const FileList& files,
                         const std::vector<std::string>& deleteList, int32_t version) {
  engine.PostStage(StageApplying);
  for (const std::string& element : deleteList) {
    std::wstring relative;
    if (!ToSafeRelativePath(element, relative)) continue;
    const std::wstring fullPath = engine.installFolder + relative;
    DeleteFileBelow(engine.root, fullPath);
    {
      std::lock_guard<SlimLock> lock(engine.cacheLock);
      if (engine.cache.erase(ToLowerAscii(relative)) > 0) engine.cacheChanged = true;
    }
    RemoveEmptyParents(engine.root, relative);
  }
  // A deletion that fails is left alone, but a state file that is not written fails the run:
  // the next run would trust or miss what it says.
  if (!SaveCache(engine, files)) {
    engine.SetError({FailureKind::WriteFile, GetLastError(), 0, layout::kPatcherCache});
    return;
  }
  // The piece lists only spare the next update some reading: one that is not written costs that.
  if (!SavePieceLists(engine, files)) LogLine(std::wstring(L"could not write ") + layout::kPatcherPieces);
  if (!WriteInstalledVersion(engine.root, version)) {
    engine.SetError({FailureKind::WriteFile, GetLastError(), 0, layout::kPatcherIni});
    return;
  }
  CleanPartFiles(engine);
  engine.SetCurrentFile(L"");
  engine.PostStage(StageDone);
}

void RunFilePhases(PatchEngine& engine, const FileList& files, const std::vector<std::string>& deleteList,
                   int32_t version, bool fullVerify) {
  std::vector<uint8_t> needsDownload(files.size(), 0);
  std::vector<DiskState> diskState;
  std::unordered_map<std::wstring, CacheRecord> earlier;
  if (!CheckFiles(engine, files, fullVerify, needsDownload, diskState, earlier)) return;
  if (!DownloadFiles(engine, files, needsDownload, diskState, earlier)) return;
  diskState = std::vector<DiskState>();
  earlier = std::unordered_map<std::wstring, CacheRecord>();
  ApplyChanges(engine, files, deleteList, version);
}
