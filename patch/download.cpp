#include "patch/download.h"

#include <windows.h>

#include "patch/engine.h"
#include "patch/inflate.h"
#include "patch/manifest.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/http.h"
#include "support/layout.h"
#include "support/wait.h"

// Sleeps in 100 ms steps while the engine is paused and not cancelled; true if it slept.
static bool WaitWhilePaused(PatchEngine& engine) {
  bool slept = false;
  while (engine.pause && !engine.cancel) {
    PauseUnlessCancelled(100, engine.cancel);
    slept = true;
  }
  return slept;
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
  return engine.installFolder + layout::kPartsFolder + L"\\" + std::wstring(hash.begin(), hash.end()) + L".z";
}

namespace {

// What one call of DownloadFile has added to engine.doneBytes, so that a failed attempt can
// take exactly that back and the progress never counts a byte twice.
struct Credit {
  PatchEngine& engine;
  uint64_t amount = 0;
  void Add(uint64_t bytes) {
    engine.doneBytes += bytes;
    amount += bytes;
  }
  void Remove(uint64_t bytes) {
    engine.doneBytes -= bytes;
    amount -= bytes;
  }
  void TakeBack() { Remove(amount); }
};

// The receiving end of one transfer: appends the body to the open part file.
struct PartWriter {
  enum class Stop { None, TooLong, WriteFailed, Cancelled };
  PatchEngine& engine;
  Credit& credit;
  HANDLE file;
  uint64_t objectSize;
  uint64_t have;                 // bytes the part held when the request was sent
  uint64_t contentLength = 0;    // filled in by the request before the first chunk
  uint64_t received = 0;
  bool firstChunk = true;
  bool pausedDuring = false;
  Stop stop = Stop::None;

  bool Accept(const uint8_t* data, uint32_t size) {
    if (firstChunk) {
      firstChunk = false;
      // A server that ignores the range sends the whole object: start the part over.
      if (have > 0 && contentLength == objectSize) {
        if (!TruncateAt(file, 0)) return Refuse(Stop::WriteFailed);
        credit.Remove(have);
        have = 0;
      }
    }
    if (WaitWhilePaused(engine)) pausedDuring = true;
    if (engine.cancel) return Refuse(Stop::Cancelled);
    if (have + received + size > objectSize) return Refuse(Stop::TooLong);
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr) || written != size) return Refuse(Stop::WriteFailed);
    received += size;
    credit.Add(size);
    return true;
  }
  bool Refuse(Stop why) {
    stop = why;
    return false;
  }
};

enum class Fetch { Complete, Incomplete, IncompleteAfterPause, WriteFailed, Cancelled };

// Brings the part file to the object's full size: nothing to do for a complete part, else one
// request for what is missing (a range request when part of it is there).
Fetch FetchPart(PatchEngine& engine, const std::wstring& url, const std::wstring& partPath,
                uint64_t objectSize, Credit& credit) {
  uint64_t have = ExistingFileSize(partPath);
  if (have > objectSize) {
    DeleteFileW(partPath.c_str());
    have = 0;
  }
  if (have == objectSize) {  // a complete part (or an empty object) needs no request
    credit.Add(have);
    return Fetch::Complete;
  }
  // Starting from nothing, the open itself empties the part (one system call fewer).
  UniqueHandle file(CreateFileW(partPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                have == 0 ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || (have > 0 && !TruncateAt(file.get(), have))) return Fetch::WriteFailed;
  credit.Add(have);

  PartWriter writer{engine, credit, file.get(), objectSize, have};
  const ByteSink sink = [&writer](const uint8_t* data, uint32_t size) { return writer.Accept(data, size); };
  const int32_t status = HttpGet(url, sink, &writer.contentLength, false, have);
  file.reset();

  if (writer.stop == PartWriter::Stop::WriteFailed) return Fetch::WriteFailed;
  if (writer.stop == PartWriter::Stop::TooLong) DeleteFileW(partPath.c_str());
  if (engine.cancel) return Fetch::Cancelled;
  if ((status == 200 || status == 206) && writer.have + writer.received == objectSize) return Fetch::Complete;
  return writer.pausedDuring ? Fetch::IncompleteAfterPause : Fetch::Incomplete;
}

// Moves the verified temporary file onto destination (a read-only destination may be
// replaced); a destination another program holds open is DownloadInUse.
DownloadResult PlaceFile(const std::wstring& tempPath, const std::wstring& destination) {
  SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (MoveFileExW(tempPath.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return DownloadOk;
  const DWORD error = GetLastError();
  DeleteFileW(tempPath.c_str());
  SetLastError(error);  // the caller logs why the move failed, not how the clean-up went
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
    return DownloadInUse;
  return DownloadWriteFailed;
}

}  // namespace

DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry,
                            const std::wstring& destination, bool keepPart) {
  const std::wstring url = ManifestFileUrl(entry.hash);
  const std::wstring partPath = PartFilePath(engine, entry.hash);
  const std::wstring tempPath = destination + layout::kTempSuffix;

  int attempt = 0;
  Credit credit{engine};
  DownloadResult result = DownloadNetwork;
  for (;;) {
    if (WaitWhilePaused(engine)) attempt = 0;
    if (engine.cancel) return DownloadCancelled;
    if (attempt > 0) {
      PauseUnlessCancelled(static_cast<uint32_t>(attempt) * 1000, engine.cancel);
      if (engine.cancel) return DownloadCancelled;
    }
    credit.TakeBack();
    if (!EnsureParentFolders(destination) || !EnsureParentFolders(partPath)) return DownloadWriteFailed;

    switch (FetchPart(engine, url, partPath, entry.compressedSize, credit)) {
      case Fetch::WriteFailed: return DownloadWriteFailed;
      case Fetch::Cancelled: return DownloadCancelled;
      case Fetch::IncompleteAfterPause:
        // A pause during the transfer starts the count of attempts over, without a sleep.
        attempt = -1;
        result = DownloadNetwork;
        break;
      case Fetch::Incomplete: result = DownloadNetwork; break;
      case Fetch::Complete: {
        const DownloadResult verified = InflateAndVerify(engine, partPath, tempPath, entry);
        if (verified == DownloadCancelled || verified == DownloadWriteFailed) return verified;
        if (verified != DownloadOk || !keepPart) DeleteFileW(partPath.c_str());
        if (verified == DownloadOk) return PlaceFile(tempPath, destination);
        result = DownloadCorrupt;
        break;
      }
    }
    if (++attempt >= 3) return result;
  }
}

void CleanPartFiles(PatchEngine& engine) {
  const std::wstring folder = engine.installFolder + layout::kPartsFolder + L"\\";
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
