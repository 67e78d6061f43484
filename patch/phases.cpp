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

#include "app/languages.h"
#include "patch/download.h"
#include "patch/engine.h"
#include "patch/state.h"
#include "support/files.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/sha256.h"
#include "support/text.h"

namespace {

// What checking found on disk for one file.
struct DiskState {
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;
};

}  // namespace

// Size and last-write time of a file; false if it is missing or a folder.
static bool QueryDiskState(const std::wstring& path, DiskState& state) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  state.lastWriteTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                        data.ftLastWriteTime.dwLowDateTime;
  return true;
}

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

int RunWorkerPool(const std::vector<size_t>& list, const std::function<void(size_t)>& task, size_t maxMembers) {
  const size_t n = list.size();
  if (n == 0) return 0;
  std::atomic<size_t> next{0};
  std::atomic<bool> outOfMemory{false};
  const auto member = [&] {
    try {
      for (;;) {
        const size_t position = next.fetch_add(1);
        if (position >= n) return;
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

// Stage 3. Marks needsDownload for every file that is missing or not right; false on cancel.
static bool CheckFiles(PatchEngine& engine, const FileList& files, bool fullVerify,
                       std::vector<uint8_t>& needsDownload) {
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
    std::lock_guard<SlimLock> lock(engine.cacheLock);
    engine.cache.clear();
    engine.cacheChanged = true;
  }

  // Every question waits on the file system, so the workers share them out in runs of
  // neighbouring files, which mostly share their folders too. Each also finds every file's cache
  // record: nothing changes the cache until they are done, and a record's address outlives
  // any later insertion.
  std::vector<DiskState> diskState(files.size());
  std::vector<const CacheRecord*> cached(files.size(), nullptr);
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
      const auto found = engine.cache.find(relative);
      if (found != engine.cache.end()) cached[i] = &found->second;
    }
  });

  size_t listed = 0;
  for (const CacheRecord* record : cached) listed += record != nullptr;
  engine.cacheListed = listed;

  std::vector<size_t> hashList;
  uint64_t hashTotal = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const FileList::Item& item = files.items[i];
    if (needsDownload[i] || item.keep) continue;  // a kept file stays whatever it holds
    if (diskState[i].size != item.size) {
      needsDownload[i] = 1;
      continue;
    }
    const CacheRecord* record = cached[i];
    if (record && record->size == diskState[i].size && record->lastWriteTime == diskState[i].lastWriteTime) {
      if (record->hash != files.Hash(i)) needsDownload[i] = 1;
      continue;
    }
    hashList.push_back(i);
    hashTotal += diskState[i].size;
  }

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

// The text of the download phase's first failure.
static std::wstring DownloadErrorText(int32_t code) {
  switch (code) {
    case DownloadCorrupt: return LauncherString(LauncherText::ErrCorruptFile);
    case DownloadWriteFailed: return LauncherString(LauncherText::ErrWriteFile);
    case DownloadInUse: return LauncherString(LauncherText::ErrFileInUse);
    default: return LauncherString(LauncherText::ErrConnect);
  }
}

// Stage 4 (only when something is missing). False if the run must end: a failed download
// (error text set) or a cancel.
static bool DownloadFiles(PatchEngine& engine, const FileList& files,
                          const std::vector<uint8_t>& needsDownload) {
  uint64_t total = 0;
  int32_t count = 0;
  // Entries with one hash share one part file (the object is the same), so they form one
  // task: the part is downloaded once and verified into every destination in turn, and no
  // two workers ever open it together. File names ignore case, so the grouping does too.
  std::vector<std::vector<size_t>> groups;
  std::unordered_map<std::string, size_t> groupOfHash;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!needsDownload[i]) continue;
    total += files.items[i].compressedSize;
    ++count;
    std::string key(files.Hash(i));
    std::transform(key.begin(), key.end(), key.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    const auto placed = groupOfHash.emplace(key, groups.size());
    if (placed.second) groups.emplace_back();
    groups[placed.first->second].push_back(i);
  }
  if (groups.empty()) return true;

  // A file published in pieces that replaces a file holding some of them is made from those
  // and the others alone; only what is fetched counts in the stage's totals.
  std::unordered_map<size_t, ChunkPlan> plans;
  {
    std::vector<size_t> planned;
    for (const FileList::ChunkRange& range : files.chunkRanges) {
      const size_t i = range.item;
      std::string key(files.Hash(i));
      std::transform(key.begin(), key.end(), key.begin(),
                     [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
      const auto group = groupOfHash.find(key);
      if (needsDownload[i] && group != groupOfHash.end() && groups[group->second].size() == 1) planned.push_back(i);
    }
    std::vector<ChunkPlan> found(planned.size());
    std::vector<uint8_t> usable(planned.size(), 0);
    std::vector<size_t> order(planned.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    RunWorkerPool(order, [&](size_t k) {
      usable[k] = PlanChunks(engine, files[planned[k]], engine.installFolder + files.WidePath(planned[k]), found[k]);
    });
    if (engine.cancel) {
      SaveCache(engine, files);  // what the check learnt stays, as after a cancel while downloading
      return false;
    }
    for (size_t k = 0; k < planned.size(); ++k) {
      if (!usable[k]) continue;
      total -= files.items[planned[k]].compressedSize - found[k].fetchBytes;
      plans.emplace(planned[k], std::move(found[k]));
    }
  }

  // The stage counts what this run fetches: files already right on disk are neither done nor
  // to do, and a part file a resumed transfer finds counts as done once its transfer starts.
  // The totals are in place before the stage is seen.
  engine.totalBytes = total;
  engine.doneBytes = 0;
  engine.totalFiles = count;
  engine.doneFiles = 0;
  engine.PostStage(StageDownloading);

  std::atomic<int32_t> firstError{0};
  SlimLock errorLock;
  std::wstring errorPath;
  DWORD errorCode = 0;  // the Windows error the failed download left, for the log
  std::vector<size_t> groupList(groups.size());
  for (size_t g = 0; g < groups.size(); ++g) groupList[g] = g;
  DownloadKnowledge known;
  BeginDownloads(engine, known);
  RunWorkerPool(groupList, [&](size_t g) {
    const std::vector<size_t>& members = groups[g];
    for (size_t m = 0; m < members.size(); ++m) {
      if (engine.cancel || firstError != 0) return;
      const FileEntry entry = files[members[m]];
      const std::wstring fullPath = engine.installFolder + entry.widePath;
      engine.SetCurrentFile(entry.widePath);
      const bool keepPart = m + 1 < members.size();
      DownloadResult result = DownloadNetwork;
      const auto plan = plans.find(members[m]);
      if (plan != plans.end()) {
        uint64_t credited = 0;
        result = DownloadChunks(engine, entry, plan->second, fullPath, credited, &known);
        if (result == DownloadNetwork || result == DownloadCorrupt) {
          LogLine(L"pieces of " + entry.widePath + L" could not be used; fetching the whole file");
          // The pieces not fetched leave the totals, the whole object joins them.
          engine.totalBytes += entry.compressedSize - (plan->second.fetchBytes - credited);
          plan->second.fetchBytes = 0;
        }
      }
      if (plan == plans.end() || result == DownloadNetwork || result == DownloadCorrupt)
        result = DownloadFile(engine, entry, fullPath, keepPart, &known);
      if (result != DownloadOk) {
        const DWORD lastError = GetLastError();
        int32_t none = 0;
        if (result != DownloadCancelled && firstError.compare_exchange_strong(none, result)) {
          {
            std::lock_guard<SlimLock> lock(errorLock);
            errorPath = entry.widePath;
            errorCode = lastError;
          }
          engine.cancel = true;  // the other transfers stop at their next check
        }
        return;
      }
      DiskState state;
      if (QueryDiskState(fullPath, state)) StoreCacheRecord(engine, entry.widePath, state, entry.hash);
      ++engine.doneFiles;
    }
  });

  SaveCache(engine, files);
  if (firstError != 0) {
    engine.SetError(DownloadErrorText(firstError) + L" " + errorPath, errorCode);
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
    engine.SetError(std::wstring(LauncherString(LauncherText::ErrWriteFile)) + L" " + layout::kPatcherCache,
                    GetLastError());
    return;
  }
  if (!WriteInstalledVersion(engine.root, version)) {
    engine.SetError(std::wstring(LauncherString(LauncherText::ErrWriteFile)) + L" " + layout::kPatcherIni,
                    GetLastError());
    return;
  }
  CleanPartFiles(engine);
  engine.SetCurrentFile(L"");
  engine.PostStage(StageDone);
}

void RunFilePhases(PatchEngine& engine, const FileList& files, const std::vector<std::string>& deleteList,
                   int32_t version, bool fullVerify) {
  std::vector<uint8_t> needsDownload(files.size(), 0);
  if (!CheckFiles(engine, files, fullVerify, needsDownload)) return;
  if (!DownloadFiles(engine, files, needsDownload)) return;
  ApplyChanges(engine, files, deleteList, version);
}
