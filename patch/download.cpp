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
  const std::wstring& root = engine.installFolder;
  uint64_t have = IsLinkFreeBelow(root, partPath) ? ExistingFileSize(partPath) : 0;
  if (have > objectSize) {
    DeleteFileBelow(root, partPath);
    have = 0;
  }
  if (have == objectSize) {  // a complete part (or an empty object) needs no request
    credit.Add(have);
    return Fetch::Complete;
  }
  // Starting from nothing, the open itself empties the part (one system call fewer).
  UniqueHandle file = OpenBelow(root, partPath, have == 0 ? OpenBelowMode::Create : OpenBelowMode::Write);
  if (!file.valid() || (have > 0 && !TruncateAt(file.get(), have))) return Fetch::WriteFailed;
  credit.Add(have);

  PartWriter writer{engine, credit, file.get(), objectSize, have};
  const ByteSink sink = [&writer](const uint8_t* data, uint32_t size) { return writer.Accept(data, size); };
  const int32_t status = HttpGet(url, sink, &writer.contentLength, false, have, &engine.cancel);
  file.reset();

  if (writer.stop == PartWriter::Stop::WriteFailed) return Fetch::WriteFailed;
  if (writer.stop == PartWriter::Stop::TooLong) DeleteFileBelow(root, partPath);
  if (engine.cancel) return Fetch::Cancelled;
  if ((status == 200 || status == 206) && writer.have + writer.received == objectSize) return Fetch::Complete;
  return writer.pausedDuring ? Fetch::IncompleteAfterPause : Fetch::Incomplete;
}

// Moves the verified temporary file onto destination (a read-only destination may be
// replaced); only a destination another program holds open is DownloadInUse, a folder in the
// way, a denied destination or a link is DownloadWriteFailed.
DownloadResult PlaceFile(const std::wstring& root, const std::wstring& tempPath, const std::wstring& destination) {
  if (IsLinkFreeBelow(root, destination)) {
    SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (MoveBelow(root, tempPath, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return DownloadOk;
  }
  const DWORD error = GetLastError();
  DeleteFileBelow(root, tempPath);
  const DownloadResult result = IsHeldOpenElsewhere(destination) ? DownloadInUse : DownloadWriteFailed;
  SetLastError(error);  // the caller logs why the move failed, not how the clean-up went
  return result;
}

}  // namespace

DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry,
                            const std::wstring& destination, bool keepPart) {
  const std::wstring url = ManifestFileUrl(entry.hash);
  const std::wstring partPath = PartFilePath(engine, entry.hash);
  const std::wstring tempPath = destination + layout::kTempSuffix;
  const std::wstring root = RootFor(engine.installFolder, destination);

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
    if (!EnsureFoldersBelow(root, destination) || !EnsureFoldersBelow(engine.installFolder, partPath))
      return DownloadWriteFailed;

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
        if (verified != DownloadOk || !keepPart) DeleteFileBelow(engine.installFolder, partPath);
        if (verified == DownloadOk) return PlaceFile(root, tempPath, destination);
        result = DownloadCorrupt;
        break;
      }
    }
    if (++attempt >= 3) return result;
  }
}

void CleanPartFiles(PatchEngine& engine) {
  const std::wstring folder = engine.installFolder + layout::kPartsFolder + L"\\";
  if (!IsLinkFreeBelow(engine.installFolder, engine.installFolder + layout::kPartsFolder)) return;
  WIN32_FIND_DATAW found;
  UniqueFind find(FindFirstFileW((folder + L"*.z").c_str(), &found));
  if (find.valid()) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileBelow(engine.installFolder, folder + found.cFileName);
      }
    } while (FindNextFileW(find.get(), &found));
  }
  RemoveFolderBelow(engine.installFolder, folder.substr(0, folder.size() - 1));
}
