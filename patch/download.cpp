#include "patch/download.h"

#include <windows.h>

#include "patch/engine.h"
#include "patch/inflate.h"
#include "patch/manifest.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/http.h"

// Sleeps in 100 ms steps while the engine is paused and not cancelled; true if it slept.
static bool WaitWhilePaused(PatchEngine& engine) {
  bool slept = false;
  while (engine.pause && !engine.cancel) {
    Sleep(100);
    slept = true;
  }
  return slept;
}

// Sleeps ms milliseconds in 100 ms steps, returning early once the run is cancelled.
static void SleepUnlessCancelled(PatchEngine& engine, DWORD ms) {
  for (DWORD slept = 0; slept < ms && !engine.cancel; slept += 100) Sleep(100);
}

// Size of the file at path; 0 if it is missing or a folder.
static uint64_t ExistingFileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Moves the file pointer to offset and cuts the file there.
static bool TruncateAt(HANDLE file, uint64_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

std::wstring PartFilePath(const PatchEngine& engine, const std::string& hash) {
  return engine.installFolder + L"patcher_parts\\" + std::wstring(hash.begin(), hash.end()) + L".z";
}

DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry,
                            const std::wstring& destination, bool keepPart) {
  const std::wstring url = ManifestFileUrl(entry.hash);
  const std::wstring partPath = PartFilePath(engine, entry.hash);
  const std::wstring tempPath = destination + L".ap_tmp";
  const uint64_t objectSize = entry.compressedSize;

  int attempt = 0;
  uint64_t credited = 0;  // what this call added to doneBytes and has not taken back
  DownloadResult result = DownloadNetwork;
  for (;;) {
    if (WaitWhilePaused(engine)) attempt = 0;
    if (engine.cancel) return DownloadCancelled;
    if (attempt > 0) {
      SleepUnlessCancelled(engine, static_cast<DWORD>(attempt) * 1000);
      if (engine.cancel) return DownloadCancelled;
    }
    engine.doneBytes -= credited;
    credited = 0;

    if (!EnsureParentFolders(destination) || !EnsureParentFolders(partPath)) return DownloadWriteFailed;
    uint64_t have = ExistingFileSize(partPath);
    if (have > objectSize) {
      DeleteFileW(partPath.c_str());
      have = 0;
    }

    bool transferred = have == objectSize;  // a complete part (or an empty object) needs no request
    if (transferred) {
      engine.doneBytes += have;
      credited += have;
    } else {
      // Starting from nothing, the open itself empties the part (one system call fewer).
      UniqueHandle file(CreateFileW(partPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                    have == 0 ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
      if (!file.valid() || (have > 0 && !TruncateAt(file.get(), have))) return DownloadWriteFailed;
      engine.doneBytes += have;
      credited += have;

      uint64_t received = 0;
      uint64_t contentLength = 0;
      bool firstChunk = true, pausedDuring = false, tooLong = false, writeFailed = false;
      const ByteSink sink = [&](const uint8_t* data, uint32_t size) -> bool {
        if (firstChunk) {
          firstChunk = false;
          // A server that ignores the range sends the whole object: start the part over.
          if (have > 0 && contentLength == objectSize) {
            if (!TruncateAt(file.get(), 0)) {
              writeFailed = true;
              return false;
            }
            engine.doneBytes -= have;
            credited -= have;
            have = 0;
          }
        }
        if (WaitWhilePaused(engine)) pausedDuring = true;
        if (engine.cancel) return false;
        if (have + received + size > objectSize) {
          tooLong = true;
          return false;
        }
        DWORD written = 0;
        if (!WriteFile(file.get(), data, size, &written, nullptr) || written != size) {
          writeFailed = true;
          return false;
        }
        received += size;
        engine.doneBytes += size;
        credited += size;
        return true;
      };
      const int32_t status = HttpGet(url, sink, &contentLength, false, have);
      file.reset();

      if (writeFailed) return DownloadWriteFailed;
      if (tooLong) DeleteFileW(partPath.c_str());
      if (engine.cancel) return DownloadCancelled;
      transferred = (status == 200 || status == 206) && have + received == objectSize;
      if (!transferred) {
        result = DownloadNetwork;
        // A pause during the transfer starts the count of attempts over, without a sleep.
        if (pausedDuring) attempt = -1;
      }
    }

    if (transferred) {
      const DownloadResult verified = InflateAndVerify(engine, partPath, tempPath, entry);
      if (verified == DownloadCancelled || verified == DownloadWriteFailed) return verified;
      if (verified != DownloadOk || !keepPart) DeleteFileW(partPath.c_str());
      if (verified == DownloadOk) {
        // A read-only destination may be replaced.
        SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (MoveFileExW(tempPath.c_str(), destination.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
          return DownloadOk;
        }
        const DWORD error = GetLastError();
        DeleteFileW(tempPath.c_str());
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
            error == ERROR_LOCK_VIOLATION) {
          return DownloadInUse;
        }
        return DownloadWriteFailed;
      }
      result = DownloadCorrupt;
    }

    if (++attempt >= 3) return result;
  }
}

void CleanPartFiles(PatchEngine& engine) {
  const std::wstring folder = engine.installFolder + L"patcher_parts\\";
  WIN32_FIND_DATAW found;
  UniqueFind find(FindFirstFileW((folder + L"*.z").c_str(), &found));
  if (find.valid()) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((folder + found.cFileName).c_str());
      }
    } while (FindNextFileW(find.get(), &found));
  }
  RemoveDirectoryW(folder.c_str());
}
