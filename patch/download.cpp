#include "patch/download.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "patch/ahead.h"
#include "patch/engine.h"
#include "patch/inflate.h"
#include "patch/manifest.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/http.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/sha256.h"
#include "support/text.h"
#include "support/wait.h"

// Sleeps in 100 ms steps while the engine is paused and not cancelled; true if it slept.
static bool WaitWhilePaused(PatchEngine& engine) { return WaitOutPause(engine.pause, engine.cancel); }

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
  return engine.installFolder + layout::kPartsFolder + L"\\" + std::wstring(hash.begin(), hash.end()) + layout::kObjectSuffix.wide;
}

// True for a part file's name: something ending in ".z", in any case.
static constexpr size_t kSuffixLength = sizeof(layout::kObjectSuffix.wide) / sizeof(wchar_t) - 1;

static bool IsPartName(const EntryBelow& entry) {
  const std::wstring& name = entry.name;
  return !(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > kSuffixLength &&
         ToLowerAscii(name.substr(name.size() - kSuffixLength)) == layout::kObjectSuffix.wide;
}

void BeginDownloads(const PatchEngine& engine, DownloadKnowledge& known) {
  std::vector<EntryBelow> entries;
  ListBelow(engine.root, engine.installFolder + layout::kPartsFolder, entries);
  std::lock_guard<SlimLock> lock(known.lock);
  for (const EntryBelow& entry : entries) {
    if (IsPartName(entry)) known.parts.insert(ToLowerAscii(std::string(entry.name.begin(), entry.name.end() - kSuffixLength)));
  }
  known.partsListed = true;
  known.folders.insert(engine.installFolder.substr(0, engine.installFolder.size() - 1));
}

// Makes sure folder exists below root, no level of it a link. Every folder found or made is
// remembered, so each is asked about once per phase; the final open or move of a file checks
// its whole way again, so a folder swapped for a link later is still caught.
static bool EnsureFolder(const FolderRoot& root, const std::wstring& folder, DownloadKnowledge& known) {
  {
    std::lock_guard<SlimLock> lock(known.lock);
    if (known.folders.count(folder)) return true;
  }
  if (!EnsureFoldersBelow(root, folder + L"\\")) return false;
  std::lock_guard<SlimLock> lock(known.lock);
  known.folders.insert(folder);
  return true;
}

// Makes sure the folder of path exists below root, asking only about folders no earlier file met.
static bool EnsureFolderOf(const FolderRoot& root, const std::wstring& path, DownloadKnowledge* known) {
  if (!known) return EnsureFoldersBelow(root, path);
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos || EnsureFolder(root, path.substr(0, slash), *known);
}

// The checked, held handle of the folder destination is made in, the folder made first if no
// earlier file met it; null (last error set) if it cannot be made or held, or is behind a link.
// Files come in path order, so a few dozen held folders serve nearly every file that shares a
// folder with another.
static std::shared_ptr<UniqueHandle> HeldFolderOf(const FolderRoot& root, const std::wstring& destination,
                                                  DownloadKnowledge& known) {
  constexpr size_t kHeldFolders = 32;
  const std::wstring folder = destination.substr(0, destination.rfind(L'\\'));
  bool exists = false;
  const auto lookUp = [&]() -> std::shared_ptr<UniqueHandle> {
    std::lock_guard<SlimLock> lock(known.lock);
    const auto found = known.heldFolders.find(folder);
    if (found != known.heldFolders.end()) return found->second;
    exists = known.folders.count(folder) > 0;
    return nullptr;
  };
  if (auto held = lookUp()) return held;
  std::lock_guard<SlimLock> making(known.holdLock);
  if (auto held = lookUp()) return held;  // another file held it meanwhile
  auto held = std::make_shared<UniqueHandle>(HoldFolderBelow(root, folder, !exists));
  if (!held->valid()) return nullptr;
  std::lock_guard<SlimLock> lock(known.lock);
  known.folders.insert(folder);
  known.heldFolders.emplace(folder, held);
  known.heldOrder.push_back(folder);
  if (known.heldOrder.size() > kHeldFolders) {
    known.heldFolders.erase(known.heldOrder.front());
    known.heldOrder.pop_front();
  }
  return held;
}

// The lock of the part file of hash: whoever fetches into it, reads it or deletes it holds it,
// so that two files needing one object never open its part together, and the second finds it
// complete. Without knowledge, a lock of the caller's own.
static std::shared_ptr<SlimLock> PartLock(DownloadKnowledge* known, const std::string& hash) {
  if (!known) return std::make_shared<SlimLock>();
  std::lock_guard<SlimLock> lock(known->lock);
  std::shared_ptr<SlimLock>& slot = known->partLocks[ToLowerAscii(hash)];
  if (!slot) slot = std::make_shared<SlimLock>();
  return slot;
}

// True if a part file of hash may be waiting; with a listing, no question is asked.
static bool PartFileWaiting(const FolderRoot& root, const std::wstring& partPath, const std::string& hash,
                            DownloadKnowledge* known) {
  if (known) {
    std::lock_guard<SlimLock> lock(known->lock);
    if (known->partsListed) return known->parts.count(ToLowerAscii(hash)) > 0;
  }
  return IsLinkFreeByName(root, partPath) && ExistingFileSize(partPath) > 0;
}

// Leaves a verified object as the part file of its hash for the next entry that shares it.
static void KeepAsPart(const FolderRoot& root, const std::wstring& partPath, const std::string& object,
                       const std::string& hash, DownloadKnowledge* known) {
  if (!EnsureFolderOf(root, partPath, known)) return;
  UniqueHandle file = OpenBelow(root, partPath, OpenBelowMode::Create);
  DWORD written = 0;
  if (!file.valid() || !WriteFile(file.get(), object.data(), static_cast<DWORD>(object.size()), &written, nullptr) ||
      written != object.size()) {
    file.reset();
    DeleteFileBelow(root, partPath);  // the next entry then fetches the object itself
    return;
  }
  if (known) {
    std::lock_guard<SlimLock> lock(known->lock);
    known->parts.insert(ToLowerAscii(hash));
  }
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

// The receiving end of one transfer: appends the body to the open part file, or to memory.
struct PartWriter {
  enum class Stop { None, TooLong, WriteFailed, Cancelled, Corrupt };
  PatchEngine& engine;
  Credit& credit;
  HANDLE file;                   // null when the object comes into memory or is inflated
  std::string* memory;
  uint64_t objectSize;
  uint64_t have;                 // bytes the part held when the request was sent
  uint64_t contentLength = 0;    // filled in by the request before the first chunk
  uint64_t received = 0;
  bool firstChunk = true;
  bool pausedDuring = false;
  Stop stop = Stop::None;
  DWORD writeError = 0;  // taken on the request's thread, where the write failed
  InflateStream* stream = nullptr;  // set: the body is inflated into its file as it arrives

  bool Accept(const uint8_t* data, uint32_t size) {
    if (firstChunk) {
      firstChunk = false;
      // A server that ignores the range sends the whole object: start the part over.
      if (have > 0 && contentLength == objectSize) {
        if (!TruncateAt(file, 0)) return RefuseWrite();
        credit.Remove(have);
        have = 0;
      }
    }
    if (WaitWhilePaused(engine)) pausedDuring = true;
    if (engine.cancel) return Refuse(Stop::Cancelled);
    if (have + received + size > objectSize) return Refuse(Stop::TooLong);
    if (stream) {
      if (!InflateStreamFeed(*stream, data, size)) return Refuse(Stop::Corrupt);
    } else if (memory) {
      memory->append(reinterpret_cast<const char*>(data), size);
    } else {
      DWORD written = 0;
      if (!WriteFile(file, data, size, &written, nullptr) || written != size) return RefuseWrite();
    }
    received += size;
    credit.Add(size);
    return true;
  }
  bool Refuse(Stop why) {
    stop = why;
    return false;
  }
  bool RefuseWrite() {
    writeError = GetLastError();
    if (writeError == 0) writeError = ERROR_WRITE_FAULT;  // a short write sets none
    return Refuse(Stop::WriteFailed);
  }
};

// Missing: the server does not have the object (404); NoServer: no connection could be made;
// Cut: the server answered and began the body, which then broke off or ended short.
enum class Fetch { Complete, Incomplete, IncompleteAfterPause, Missing, NoServer, Cut, WriteFailed, Cancelled };

// How a transfer that did not complete ended, once pauses are told apart.
Fetch Unfinished(const PartWriter& writer, int32_t status) {
  if (writer.pausedDuring) return Fetch::IncompleteAfterPause;
  return status == 0 && writer.received > 0 ? Fetch::Cut : Fetch::Incomplete;
}

// Whether an attempt leaves its connection to later objects: a first one does; a retry closes
// the one it went out on, so a connection that spoiled an attempt (a server's bytes beyond an
// earlier body) is gone once a retry has drawn it.
bool KeepConnectionFor(const Attempts& tries) { return tries.index == 0; }

// Brings the part file to the object's full size: nothing to do for a complete part, else one
// request for what is missing (a range request when part of it is there).
Fetch FetchPart(PatchEngine& engine, const std::wstring& url, const std::wstring& partPath,
                uint64_t objectSize, Credit& credit, bool keepConnection) {
  const FolderRoot& root = engine.root;
  // What the part holds is read from the very file the transfer appends to; a part with
  // another name elsewhere (a hard link) comes back new and empty.
  UniqueHandle file = OpenBelow(root, partPath, OpenBelowMode::Write);
  LARGE_INTEGER size{};
  if (!file.valid() || !GetFileSizeEx(file.get(), &size)) return Fetch::WriteFailed;
  uint64_t have = static_cast<uint64_t>(size.QuadPart);
  if (have > objectSize) have = 0;
  if (!TruncateAt(file.get(), have)) return Fetch::WriteFailed;
  credit.Add(have);
  if (have == objectSize) return Fetch::Complete;  // a complete part (or an empty object) needs no request

  PartWriter writer{engine, credit, file.get(), nullptr, objectSize, have};
  const ByteSink sink = [&writer](const uint8_t* data, uint32_t size) { return writer.Accept(data, size); };
  // A server that ignores the range sends the whole object: that is the most to take.
  const int32_t status = HttpGet(url, sink, &writer.contentLength, false, have, &engine.cancel, objectSize, keepConnection);
  file.reset();

  if (writer.stop == PartWriter::Stop::WriteFailed) {
    SetLastError(writer.writeError);
    return Fetch::WriteFailed;
  }
  if (writer.stop == PartWriter::Stop::TooLong) DeleteFileBelow(root, partPath);
  if (engine.cancel) return Fetch::Cancelled;
  if ((status == 200 || status == 206) && writer.have + writer.received == objectSize) return Fetch::Complete;
  if (status == 404) return Fetch::Missing;
  if (status == kHttpNoServer) return Fetch::NoServer;
  return Unfinished(writer, status);
}

// Brings a small object whole into object; nothing touches the disk.
Fetch FetchToMemory(PatchEngine& engine, const std::wstring& url, uint64_t objectSize, Credit& credit,
                    std::string& object, bool keepConnection) {
  object.clear();
  if (objectSize == 0) return Fetch::Complete;  // an empty object needs no request
  object.reserve(objectSize);
  PartWriter writer{engine, credit, nullptr, &object, objectSize, 0};
  const ByteSink sink = [&writer](const uint8_t* data, uint32_t size) { return writer.Accept(data, size); };
  const int32_t status = HttpGet(url, sink, &writer.contentLength, false, 0, &engine.cancel, objectSize, keepConnection);
  if (engine.cancel) return Fetch::Cancelled;
  if ((status == 200 || status == 206) && writer.received == objectSize) return Fetch::Complete;
  if (status == 404) return Fetch::Missing;
  if (status == kHttpNoServer) return Fetch::NoServer;
  return Unfinished(writer, status);
}

// Brings an object straight into temp, inflated and hashed as it arrives: nothing compressed
// touches the disk, and an interrupted transfer starts again. verified is the stream's verdict
// when the transfer completed.
Fetch FetchInflating(PatchEngine& engine, const std::wstring& url, const FileEntry& entry, TempFileBelow& temp,
                     Credit& credit, bool keepConnection, DownloadResult& verified) {
  verified = DownloadCorrupt;
  if (!TruncateAt(temp.file.get(), 0)) return Fetch::WriteFailed;
  InflateStream stream;
  if (!InflateStreamBegin(stream, temp.file.get(), entry.size)) return Fetch::WriteFailed;
  PartWriter writer{engine, credit, nullptr, nullptr, entry.compressedSize, 0};
  writer.stream = &stream;
  const ByteSink sink = [&writer](const uint8_t* data, uint32_t size) { return writer.Accept(data, size); };
  const int32_t status =
      HttpGet(url, sink, &writer.contentLength, false, 0, &engine.cancel, entry.compressedSize, keepConnection);
  if (engine.cancel) return Fetch::Cancelled;
  const bool whole = (status == 200 || status == 206) && writer.received == entry.compressedSize;
  if (writer.stop == PartWriter::Stop::Corrupt || whole) {
    verified = InflateStreamResult(stream, entry.hash);
    return verified == DownloadWriteFailed ? Fetch::WriteFailed : Fetch::Complete;
  }
  if (status == 404) return Fetch::Missing;
  if (status == kHttpNoServer) return Fetch::NoServer;
  return Unfinished(writer, status);
}

// Moves the verified temporary file onto destination (a read-only destination may be
// replaced); only a destination another program holds open is DownloadInUse, a folder in the
// way, a denied destination or a link is DownloadWriteFailed. The temporary file is gone after.
DownloadResult PlaceFile(TempFileBelow& temp, const std::wstring& destination) {
  if (TempFileBelowPlace(temp, true)) return DownloadOk;
  const DWORD error = GetLastError();
  TempFileBelowDiscard(temp);
  const DownloadResult result = temp.root && IsHeldOpenElsewhere(*temp.root, destination) ? DownloadInUse : DownloadWriteFailed;
  SetLastError(error);  // the caller logs why the move failed, not how the clean-up went
  return result;
}

}  // namespace

// How long a transfer waits, in pauses of 1, 2, 4, 8 and then 15 s, for a server that does not
// answer at all before its file fails.
constexpr uint32_t kNoServerPatienceMs = 60000;
constexpr uint32_t kNoServerLongestPauseMs = 15000;

namespace {

struct NoServerWait {
  uint32_t waitedMs = 0;
  uint32_t nextMs = 1000;
};

// One pause while the server does not answer, counted in engine.waitingForServer so that the
// window says it waits; false if cancelled.
bool WaitForServer(PatchEngine& engine, const std::wstring& url, NoServerWait& wait) {
  if (wait.waitedMs == 0) LogLine(L"no answer from the server for " + url + L"; waiting for it");
  ++engine.waitingForServer;
  PauseUnlessCancelled(wait.nextMs, engine.cancel);
  --engine.waitingForServer;
  wait.waitedMs += wait.nextMs;
  wait.nextMs = std::min(wait.nextMs * 2, kNoServerLongestPauseMs);
  return !engine.cancel;
}

}  // namespace

// result, with temp (if made) deleted and the error behind result kept.
static DownloadResult Discarded(TempFileBelow& temp, DownloadResult result) {
  const DWORD error = GetLastError();
  if (temp.file.valid()) TempFileBelowDiscard(temp);
  SetLastError(error);
  return result;
}

// Places temp now, or hands it to later to be placed after the files made from the old bytes.
static DownloadResult PlaceOrHold(TempFileBelow& temp, const std::shared_ptr<UniqueHandle>& folder,
                                  const std::wstring& destination, PendingPlace* later) {
  if (!later) return PlaceFile(temp, destination);
  later->temp = std::move(temp);
  later->folder = folder;
  later->destination = destination;
  return DownloadOk;
}

DownloadResult PlacePending(PendingPlace& pending) { return PlaceFile(pending.temp, pending.destination); }

DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry, const std::wstring& destination,
                            bool keepPart, DownloadKnowledge* known, PendingPlace* later) {
  size_t mirror = 0;
  std::wstring url;
  const std::wstring partPath = PartFilePath(engine, entry.hash);
  // Held for the whole call: the part of this object is this file's alone meanwhile.
  const std::shared_ptr<SlimLock> partLock = PartLock(known, entry.hash);
  std::lock_guard<SlimLock> partHeld(*partLock);
  FolderRoot outside;
  const FolderRoot& root = RootFor(engine.root, destination, outside);
  const bool shared = known && known->sharedParts.count(ToLowerAscii(entry.hash)) > 0;
  if (shared) keepPart = true;
  // Small objects come into memory, larger ones are inflated into the temporary file as they
  // arrive; only a part an earlier run left, an object another file shares, or one too large to
  // fetch again from its start goes through a part file, which a range request resumes.
  const bool partWaiting = PartFileWaiting(engine.root, partPath, entry.hash, known);
  const bool inMemory = entry.compressedSize <= kMemoryObjectLimit && !shared && !partWaiting;
  const bool streamed = !inMemory && !shared && !keepPart && !partWaiting && entry.compressedSize <= kStreamObjectLimit;
  std::string object;
  TempFileBelow streamTemp;

  Attempts tries{kObjectAttempts, engine.cancel, &engine.pause};
  Credit credit{engine};
  DownloadResult result = DownloadNetwork;
  NoServerWait noServer;
  for (;;) {
    if (!BeginAttempt(tries)) return Discarded(streamTemp, DownloadCancelled);
    credit.TakeBack();
    url = ObjectUrlAt(CurrentMirror(engine, mirror), entry.hash);  // another file may have moved on
    // The destination's folder is made and checked before anything is fetched for it; with
    // knowledge it is also held, for the temporary file made in it at the end.
    const std::shared_ptr<UniqueHandle> folder = known ? HeldFolderOf(root, destination, *known) : nullptr;
    if ((known ? !folder : !EnsureFolderOf(root, destination, nullptr)) ||
        (!inMemory && !streamed && !EnsureFolderOf(engine.root, partPath, known)))
      return Discarded(streamTemp, DownloadWriteFailed);
    if (streamed && !streamTemp.file.valid() &&
        !TempFileBelowCreate(streamTemp, root, destination, folder ? folder->get() : nullptr))
      return DownloadWriteFailed;

    DownloadResult streamedResult = DownloadCorrupt;
    const bool keep = KeepConnectionFor(tries);
    const Fetch fetched = inMemory   ? FetchToMemory(engine, url, entry.compressedSize, credit, object, keep)
                          : streamed ? FetchInflating(engine, url, entry, streamTemp, credit, keep, streamedResult)
                                     : FetchPart(engine, url, partPath, entry.compressedSize, credit, keep);
    if (fetched != Fetch::NoServer) noServer = NoServerWait();  // it answered: a later silence starts over
    switch (fetched) {
      case Fetch::WriteFailed: return Discarded(streamTemp, DownloadWriteFailed);
      case Fetch::Cancelled: return Discarded(streamTemp, DownloadCancelled);
      case Fetch::IncompleteAfterPause:
        RestartAfterPause(tries);
        result = DownloadNetwork;
        break;
      case Fetch::NoServer:
        // Another server, if there is one; else a line down for a moment is not a failed
        // attempt: growing pauses, a minute in all.
        if (LeaveMirror(engine, mirror, L"no connection for " + url)) {
          StartOver(tries);
          continue;
        }
        if (noServer.waitedMs >= kNoServerPatienceMs) return Discarded(streamTemp, DownloadNetwork);
        if (!WaitForServer(engine, url, noServer)) return Discarded(streamTemp, DownloadCancelled);
        continue;
      case Fetch::Missing:
      case Fetch::Incomplete: result = DownloadNetwork; break;
      // The server is there and sends: the object did not arrive whole, which is no connection failure.
      case Fetch::Cut: result = DownloadCorrupt; break;
      case Fetch::Complete: {
        if (streamed) {
          if (streamedResult == DownloadOk) return PlaceOrHold(streamTemp, folder, destination, later);
          result = DownloadCorrupt;
          break;
        }
        // The temporary file is made, written and moved by handle in one checked folder.
        TempFileBelow temp;
        if (!TempFileBelowCreate(temp, root, destination, folder ? folder->get() : nullptr)) return DownloadWriteFailed;
        const DownloadResult verified = inMemory ? InflateObjectAndVerify(engine, object, temp, entry)
                                                 : InflateAndVerify(engine, partPath, temp, entry);
        if (verified == DownloadCancelled || verified == DownloadWriteFailed) return verified;
        if (inMemory) {
          if (verified == DownloadOk && keepPart) KeepAsPart(engine.root, partPath, object, entry.hash, known);
        } else if (verified != DownloadOk || !keepPart) {
          DeleteFileBelow(engine.root, partPath);
        }
        if (verified == DownloadOk) return PlaceOrHold(temp, folder, destination, later);
        result = DownloadCorrupt;
        break;
      }
    }
    if (AnotherAttempt(tries)) continue;
    // The object failed on this server: the next one, with attempts of its own.
    const std::wstring why = (result == DownloadCorrupt ? L"a damaged object at " : L"no object from ") + url;
    if (!LeaveMirror(engine, mirror, why)) return Discarded(streamTemp, result);
    StartOver(tries);
    noServer = NoServerWait();
  }
}

// ---- Files made from local bytes and fetched pieces ---------------------------------------

namespace {

bool PieceHashIs(const std::string& bytes, const std::string& hash) {
  Sha256Hasher hasher;
  hasher.Update(bytes.data(), bytes.size());
  return hasher.Finish() == hash;
}

// Brings one piece into out: through its part file, which stays in patcher_parts until the run
// ends (so an interrupted update does not fetch it again, and another file needing it finds it
// there), inflated and checked against its hash, with the attempts of a whole file. credited
// counts the bytes this added to doneBytes. A piece the server does not have fails at once.
DownloadResult FetchPiece(PatchEngine& engine, const Chunk& chunk, std::string& out, uint64_t& credited,
                          DownloadKnowledge* known) {
  size_t mirror = 0;
  const std::wstring url = ObjectUrlAt(CurrentMirror(engine, mirror), chunk.hash);
  // A piece another file (or another place of this one) needs too waits in its part file for
  // it; any other comes into memory only.
  const bool viaPart = known && known->sharedParts.count(ToLowerAscii(chunk.hash)) > 0;
  const std::wstring partPath = PartFilePath(engine, chunk.hash);
  const std::shared_ptr<SlimLock> partLock = PartLock(known, chunk.hash);
  std::unique_lock<SlimLock> partHeld(*partLock, std::defer_lock);
  if (viaPart) partHeld.lock();
  Credit credit{engine};
  std::string object;
  Attempts tries{kObjectAttempts, engine.cancel, &engine.pause};
  do {
    if (!BeginAttempt(tries)) return DownloadCancelled;
    credit.TakeBack();
    if (viaPart && !EnsureFolderOf(engine.root, partPath, known)) return DownloadWriteFailed;
    const bool keep = KeepConnectionFor(tries);
    const Fetch fetched = viaPart ? FetchPart(engine, url, partPath, chunk.compressedSize, credit, keep)
                                  : FetchToMemory(engine, url, chunk.compressedSize, credit, object, keep);
    switch (fetched) {
      case Fetch::WriteFailed: return DownloadWriteFailed;
      case Fetch::Cancelled: return DownloadCancelled;
      case Fetch::Missing: credit.TakeBack(); return DownloadNetwork;
      case Fetch::IncompleteAfterPause: RestartAfterPause(tries); continue;
      case Fetch::NoServer:  // the whole file then waits for the server
      case Fetch::Cut:
      case Fetch::Incomplete: continue;
      case Fetch::Complete: break;
    }
    if ((!viaPart || ReadWholeFileBelow(engine.root, partPath, object)) && InflateWhole(object, chunk.size, out) &&
        PieceHashIs(out, chunk.hash)) {
      credited += credit.amount;
      return DownloadOk;
    }
    if (viaPart) DeleteFileBelow(engine.root, partPath);  // a damaged piece is fetched anew
  } while (AnotherAttempt(tries));
  credit.TakeBack();
  return DownloadNetwork;
}

// Reads exactly size bytes at offset of file into out.
bool ReadAt(HANDLE file, uint64_t offset, uint32_t size, std::string& out) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  out.resize(size);
  DWORD read = 0;
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ReadFile(file, out.data(), size, &read, nullptr) &&
         read == size;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
  DWORD written = 0;
  return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// The local files one made file reads, each opened once for it and closed before it is placed
// (a file made from its own old bytes is replaced by then).
struct OpenSources {
  const FolderRoot& root;
  const UpdatePlan& plan;
  std::unordered_map<uint32_t, UniqueHandle> open;
  HANDLE Get(uint32_t source) {
    auto found = open.find(source);
    if (found == open.end()) found = open.emplace(source, OpenBelow(root, plan.sources[source], OpenBelowMode::Read)).first;
    return found->second.valid() ? found->second.get() : nullptr;
  }
};

// Copies a local file of exactly the entry's content into temp, hashing on the way.
DownloadResult CopyWhole(PatchEngine& engine, const FileEntry& entry, HANDLE source, TempFileBelow& temp) {
  constexpr DWORD kBlock = 1u << 20;
  std::string block(kBlock, '\0');
  Sha256Hasher whole;
  uint64_t total = 0;
  for (;;) {
    if (engine.cancel) return DownloadCancelled;
    DWORD got = 0;
    if (!ReadFile(source, block.data(), kBlock, &got, nullptr)) return DownloadCorrupt;
    if (got == 0) break;
    total += got;
    if (total > entry.size) return DownloadCorrupt;
    whole.Update(block.data(), got);
    if (!WriteAll(temp.file.get(), block.data(), got)) return DownloadWriteFailed;
  }
  return total == entry.size && whole.Finish() == entry.hash ? DownloadOk : DownloadCorrupt;
}

// Takes up to wanted of the transfers the download phase's pool leaves unused.
size_t BorrowTransfers(PatchEngine& engine, size_t wanted) {
  int32_t spare = engine.spareTransfers.load();
  for (;;) {
    const int32_t take = std::min<int32_t>(spare, static_cast<int32_t>(wanted));
    if (take <= 0) return 0;
    if (engine.spareTransfers.compare_exchange_weak(spare, spare - take)) return static_cast<size_t>(take);
  }
}

// Writes the entry's pieces into temp in order: each local one read once and checked against its
// hash as it is copied (one that no longer matches is fetched instead), the others fetched ahead
// of the copy, on this file's own transfer and any the other files leave unused.
DownloadResult CopyPieces(PatchEngine& engine, const FileEntry& entry, const FilePlan& made, OpenSources& sources,
                          TempFileBelow& temp, uint64_t& credited, DownloadKnowledge* known) {
  Sha256Hasher whole;
  std::string piece;
  const size_t kept = KeptPieces(temp.file.get(), entry, whole, piece);
  if (kept > 0) LogLine(L"resuming " + entry.widePath + L" after " + std::to_wstring(kept) + L" pieces kept from before");
  std::vector<size_t> missing;
  for (size_t k = kept; k < entry.chunks.size(); ++k) {
    if (made.pieces[k] < 0) missing.push_back(k);
  }
  const size_t borrowed = missing.size() > 1 ? BorrowTransfers(engine, std::min<size_t>(missing.size() - 1, 3)) : 0;
  FetchAhead ahead;
  const auto fetch = [&](size_t k, std::string& out, uint64_t& got) -> int32_t {
    return FetchPiece(engine, entry.chunks[k], out, got, known);
  };
  // Without a thread the copy fetches each piece itself when it comes to it.
  const bool aheadRuns =
      FetchAheadStart(ahead, missing, fetch, 1 + borrowed, 2 + borrowed, DownloadNetwork, DownloadCancelled);
  DownloadResult result = DownloadOk;
  for (size_t k = kept; k < entry.chunks.size() && result == DownloadOk; ++k) {
    if (engine.cancel) {
      result = DownloadCancelled;
      break;
    }
    const Chunk& chunk = entry.chunks[k];
    DownloadResult got = DownloadOk;
    if (made.pieces[k] >= 0) {
      const HeldPiece& held = sources.plan.held[static_cast<size_t>(made.pieces[k])];
      const HANDLE source = sources.Get(held.source);
      if (!source || !ReadAt(source, held.offset, chunk.size, piece) || !PieceHashIs(piece, chunk.hash))
        got = static_cast<DownloadResult>(aheadRuns ? FetchAheadNow(ahead, k, piece, credited)
                                                    : fetch(k, piece, credited));
    } else {
      got = static_cast<DownloadResult>(aheadRuns ? FetchAheadTake(ahead, piece, credited)
                                                  : fetch(k, piece, credited));
    }
    if (got != DownloadOk) {
      result = got;
      continue;
    }
    whole.Update(piece.data(), piece.size());
    if (!WriteAll(temp.file.get(), piece.data(), piece.size())) result = DownloadWriteFailed;
  }
  const DWORD error = GetLastError();  // why it failed, not how the threads ended
  credited += FetchAheadStop(ahead);
  engine.spareTransfers += static_cast<int32_t>(borrowed);
  if (ahead.outOfMemory) throw std::bad_alloc();
  SetLastError(error);
  if (result != DownloadOk) return result;
  return whole.Finish() == entry.hash ? DownloadOk : DownloadCorrupt;
}

}  // namespace

size_t KeptPieces(HANDLE temp, const FileEntry& entry, Sha256Hasher& whole, std::string& buffer) {
  size_t kept = 0;
  uint64_t offset = 0;
  for (; kept < entry.chunks.size(); ++kept) {
    const Chunk& chunk = entry.chunks[kept];
    DWORD read = 0;
    buffer.resize(chunk.size);
    if (!ReadFile(temp, buffer.data(), chunk.size, &read, nullptr) || read != chunk.size ||
        !PieceHashIs(buffer, chunk.hash))
      break;
    whole.Update(buffer.data(), buffer.size());
    offset += chunk.size;
  }
  return TruncateAt(temp, offset) ? kept : 0;
}

DownloadResult MakeFromLocal(PatchEngine& engine, const FileEntry& entry, const FilePlan& made,
                             const UpdatePlan& plan, const std::wstring& destination, uint64_t& credited,
                             DownloadKnowledge* known, PendingPlace* later) {
  credited = 0;
  const std::shared_ptr<UniqueHandle> folder = known ? HeldFolderOf(engine.root, destination, *known) : nullptr;
  if (known ? !folder : !EnsureFolderOf(engine.root, destination, nullptr)) return DownloadWriteFailed;
  // Made piece by piece, it keeps what an interrupted run left in it.
  const bool resumable = made.wholeSource < 0;
  TempFileBelow temp;
  if (!TempFileBelowCreate(temp, engine.root, destination, folder ? folder->get() : nullptr, resumable))
    return DownloadWriteFailed;
  DownloadResult result = DownloadOk;
  {
    OpenSources sources{engine.root, plan, {}};
    if (made.wholeSource >= 0) {
      const HANDLE source = sources.Get(static_cast<uint32_t>(made.wholeSource));
      result = source ? CopyWhole(engine, entry, source, temp) : DownloadCorrupt;
    } else {
      result = CopyPieces(engine, entry, made, sources, temp, credited, known);
    }
  }
  if (result == DownloadOk && engine.cancel) result = DownloadCancelled;
  if (result == DownloadOk && !FlushFileBuffers(temp.file.get())) result = DownloadWriteFailed;
  if (result == DownloadCancelled && resumable) return result;  // its pieces wait for the next run
  if (result != DownloadOk) return Discarded(temp, result);
  return PlaceOrHold(temp, folder, destination, later);
}

void CleanPartFiles(PatchEngine& engine) {
  const std::wstring folder = engine.installFolder + layout::kPartsFolder;
  std::vector<EntryBelow> entries;
  if (!ListBelow(engine.root, folder, entries)) return;  // missing, or a link: nothing to clean
  for (const EntryBelow& entry : entries) {
    if (IsPartName(entry)) DeleteFileBelow(engine.root, folder + L"\\" + entry.name);
  }
  RemoveFolderBelow(engine.root, folder);
}
