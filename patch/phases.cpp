#include "patch/phases.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "app/languages.h"
#include "patch/download.h"
#include "patch/engine.h"
#include "patch/state.h"
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
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  state.lastWriteTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                        data.ftLastWriteTime.dwLowDateTime;
  return true;
}

static std::wstring CacheKey(const FileEntry& entry) { return ToLowerAscii(entry.widePath); }

static void StoreCacheRecord(PatchEngine& engine, const FileEntry& entry, const DiskState& state,
                             const std::string& hash) {
  std::lock_guard<std::mutex> lock(engine.cacheLock);
  engine.cache[CacheKey(entry)] = CacheRecord{state.size, state.lastWriteTime, hash};
}

// Hash progress: every piece read counts; going on only while the run is not cancelled.
static bool HashProgress(void* context, uint64_t bytes) {
  auto* engine = static_cast<PatchEngine*>(context);
  engine->doneBytes += bytes;
  return !engine->cancel;
}

int RunWorkerPool(const std::vector<size_t>& list, const std::function<void(size_t)>& task) {
  const size_t n = list.size();
  if (n == 0) return 0;
  std::atomic<size_t> next{0};
  const auto member = [&] {
    for (;;) {
      const size_t position = next.fetch_add(1);
      if (position >= n) return;
      task(list[position]);
    }
  };
  std::vector<std::thread> threads;
  const size_t extra = std::min<size_t>(n, 4) - 1;
  for (size_t t = 0; t < extra; ++t) {
    try {
      threads.emplace_back(member);
    } catch (const std::exception&) {
      break;  // the members that exist still take every position
    }
  }
  member();
  for (std::thread& thread : threads) thread.join();
  return static_cast<int>(threads.size()) + 1;
}

// Stage 3. Marks needsDownload for every file that is missing or not right; false on cancel.
static bool CheckFiles(PatchEngine& engine, const std::vector<FileEntry>& files, bool fullVerify,
                       std::vector<uint8_t>& needsDownload) {
  engine.PostStage(StageChecking);
  LoadCache(engine);
  if (fullVerify) {
    std::lock_guard<std::mutex> lock(engine.cacheLock);
    engine.cache.clear();
  }

  std::vector<DiskState> diskState(files.size());
  std::vector<size_t> hashList;
  uint64_t hashTotal = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const FileEntry& entry = files[i];
    if (!QueryDiskState(engine.installFolder + entry.widePath, diskState[i])) {
      needsDownload[i] = 1;
      continue;
    }
    if (entry.keep) continue;  // the player's copy stays whatever it holds
    if (diskState[i].size != entry.size) {
      needsDownload[i] = 1;
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(engine.cacheLock);
      const auto found = engine.cache.find(CacheKey(entry));
      if (found != engine.cache.end() && found->second.size == diskState[i].size &&
          found->second.lastWriteTime == diskState[i].lastWriteTime) {
        if (found->second.hash != entry.hash) needsDownload[i] = 1;
        continue;
      }
    }
    hashList.push_back(i);
    hashTotal += diskState[i].size;
  }

  engine.totalBytes = hashTotal;
  engine.doneBytes = 0;
  engine.totalFiles = static_cast<int32_t>(hashList.size());
  engine.doneFiles = 0;
  RunWorkerPool(hashList, [&](size_t i) {
    if (engine.cancel) return;
    const FileEntry& entry = files[i];
    engine.SetCurrentFile(entry.widePath);
    const std::string hash =
        Sha256FileHex(engine.installFolder + entry.widePath, HashProgress, &engine);
    if (hash != entry.hash) needsDownload[i] = 1;
    if (!hash.empty()) StoreCacheRecord(engine, entry, diskState[i], hash);
    ++engine.doneFiles;
  });
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
static bool DownloadFiles(PatchEngine& engine, const std::vector<FileEntry>& files,
                          const std::vector<uint8_t>& needsDownload) {
  uint64_t total = 0, verified = 0;
  int32_t count = 0;
  // Entries with one hash share one part file (the object is the same), so they form one
  // task: the part is downloaded once and verified into every destination in turn, and no
  // two workers ever open it together. File names ignore case, so the grouping does too.
  std::vector<std::vector<size_t>> groups;
  std::unordered_map<std::string, size_t> groupOfHash;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!needsDownload[i]) {
      verified += files[i].compressedSize;
      continue;
    }
    total += files[i].compressedSize;
    ++count;
    std::string key = files[i].hash;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    const auto placed = groupOfHash.emplace(key, groups.size());
    if (placed.second) groups.emplace_back();
    groups[placed.first->second].push_back(i);
  }
  if (groups.empty()) return true;

  // What is already right on disk counts as done, so that a retried or resumed install goes
  // on from where the last one got to; the totals are in place before the stage is seen.
  engine.totalBytes = verified + total;
  engine.doneBytes = verified;
  engine.totalFiles = count;
  engine.doneFiles = 0;
  engine.PostStage(StageDownloading);

  std::atomic<int32_t> firstError{0};
  std::mutex errorLock;
  std::wstring errorPath;
  DWORD errorCode = 0;  // the Windows error the failed download left, for the log
  std::vector<size_t> groupList(groups.size());
  for (size_t g = 0; g < groups.size(); ++g) groupList[g] = g;
  RunWorkerPool(groupList, [&](size_t g) {
    const std::vector<size_t>& members = groups[g];
    for (size_t m = 0; m < members.size(); ++m) {
      if (engine.cancel || firstError != 0) return;
      const FileEntry& entry = files[members[m]];
      const std::wstring fullPath = engine.installFolder + entry.widePath;
      engine.SetCurrentFile(entry.widePath);
      const bool keepPart = m + 1 < members.size();
      const DownloadResult result = DownloadFile(engine, entry, fullPath, keepPart);
      if (result != DownloadOk) {
        const DWORD lastError = GetLastError();
        int32_t none = 0;
        if (result != DownloadCancelled && firstError.compare_exchange_strong(none, result)) {
          {
            std::lock_guard<std::mutex> lock(errorLock);
            errorPath = entry.widePath;
            errorCode = lastError;
          }
          engine.cancel = true;  // the other transfers stop at their next check
        }
        return;
      }
      DiskState state;
      if (QueryDiskState(fullPath, state)) StoreCacheRecord(engine, entry, state, entry.hash);
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
static void RemoveEmptyParents(const std::wstring& installFolder, const std::wstring& relativePath) {
  for (size_t pos = relativePath.size(); pos-- > 1;) {
    if (relativePath[pos] != L'\\' && relativePath[pos] != L'/') continue;
    if (!RemoveDirectoryW((installFolder + relativePath.substr(0, pos)).c_str())) return;
  }
}

// Stage 5: the delete list, the local state, the part files; then stage 8.
static void ApplyChanges(PatchEngine& engine, const std::vector<FileEntry>& files,
                         const JsonValue& deleteList, int32_t version) {
  engine.PostStage(StageApplying);
  if (deleteList.type == JsonType::Array) {
    for (const JsonValue& element : deleteList.array) {
      std::wstring relative;
      if (!ToSafeRelativePath(JsonAsString(element, ""), relative)) continue;
      const std::wstring fullPath = engine.installFolder + relative;
      SetFileAttributesW(fullPath.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(fullPath.c_str());
      {
        std::lock_guard<std::mutex> lock(engine.cacheLock);
        engine.cache.erase(ToLowerAscii(relative));
      }
      RemoveEmptyParents(engine.installFolder, relative);
    }
  }
  SaveCache(engine, files);
  WriteInstalledVersion(engine.installFolder, version);
  CleanPartFiles(engine);
  engine.SetCurrentFile(L"");
  engine.PostStage(StageDone);
}

void RunFilePhases(PatchEngine& engine, const std::vector<FileEntry>& files,
                   const JsonValue& deleteList, int32_t version, bool fullVerify) {
  std::vector<uint8_t> needsDownload(files.size(), 0);
  if (!CheckFiles(engine, files, fullVerify, needsDownload)) return;
  if (!DownloadFiles(engine, files, needsDownload)) return;
  ApplyChanges(engine, files, deleteList, version);
}
