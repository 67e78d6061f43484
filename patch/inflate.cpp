#include "patch/inflate.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "patch/engine.h"
#include "patch/manifest.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/sha256.h"

namespace {

constexpr DWORD kInputSize = 262144;   // one read of the part file
constexpr DWORD kOutputSize = 524288;  // one inflate window; hashed and written from here

// A buffer aligned to 32 bytes, freed on every path.
struct AlignedBuffer {
  explicit AlignedBuffer(size_t size)
      : data(static_cast<uint8_t*>(::operator new(size, std::align_val_t{32}, std::nothrow))) {}
  ~AlignedBuffer() { ::operator delete(data, std::align_val_t{32}); }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  uint8_t* data;
};

// Where the compressed bytes come from: the part file in pieces of kInputSize, or an object
// already in memory, handed to inflate in place.
struct Source {
  HANDLE file = nullptr;
  const std::string* object = nullptr;
  size_t offset = 0;

  // Points data at the next piece (got = 0 at the end); false on a read error.
  bool Next(uint8_t* buffer, const uint8_t*& data, DWORD& got) {
    if (object) {
      got = static_cast<DWORD>(std::min<size_t>(kInputSize, object->size() - offset));
      data = reinterpret_cast<const uint8_t*>(object->data()) + offset;
      offset += got;
      return true;
    }
    data = buffer;
    return ReadFile(file, buffer, kInputSize, &got, nullptr) != 0;
  }
};

}  // namespace

struct InflateStream::State {
  z_stream zs{};
  HANDLE file = nullptr;
  uint64_t expected = 0, total = 0;
  Sha256Hasher hasher;
  std::string out;
  bool ended = false, corrupt = false, writeFailed = false;
  DWORD writeError = 0;
};

// Inflates source into the open, empty file temp while hashing; the decisions of
// InflateAndVerify, with temp left as it is.
static DownloadResult InflateFrom(PatchEngine& engine, Source source, HANDLE temp, const FileEntry& entry) {
  if (engine.cancel) return DownloadCancelled;
  AlignedBuffer in(source.object ? 32 : kInputSize);
  InflateStream stream;
  if (!in.data || !InflateStreamBegin(stream, temp, entry.size)) return DownloadCorrupt;
  DWORD got = 0;
  do {
    const uint8_t* data = nullptr;
    if (!source.Next(in.data, data, got)) return engine.cancel ? DownloadCancelled : DownloadCorrupt;
    // Whatever follows the stream in the part file is never looked at.
    if (got > 0 && (!InflateStreamFeed(stream, data, got) || stream.state->ended)) break;
  } while (got > 0 && !engine.cancel);
  if (engine.cancel) return DownloadCancelled;
  return InflateStreamResult(stream, entry.hash);
}

// Inflates source into temp; anything but DownloadOk discards temp.
static DownloadResult InflateInto(PatchEngine& engine, Source source, TempFileBelow& temp, const FileEntry& entry) {
  const DownloadResult result = InflateFrom(engine, source, temp.file.get(), entry);
  if (result != DownloadOk) {
    const DWORD error = GetLastError();  // why it failed, not how the clean-up went
    TempFileBelowDiscard(temp);
    SetLastError(error);
  }
  return result;
}

DownloadResult InflateAndVerify(PatchEngine& engine, const std::wstring& partPath, TempFileBelow& temp,
                                const FileEntry& entry) {
  FolderRoot outside;
  UniqueHandle part = OpenBelow(RootFor(engine.root, partPath, outside), partPath, OpenBelowMode::Read);
  if (!part.valid()) {
    TempFileBelowDiscard(temp);
    return DownloadCorrupt;
  }
  Source source;
  source.file = part.get();
  return InflateInto(engine, source, temp, entry);
}

DownloadResult InflateObjectAndVerify(PatchEngine& engine, const std::string& object, TempFileBelow& temp,
                                      const FileEntry& entry) {
  Source source;
  source.object = &object;
  return InflateInto(engine, source, temp, entry);
}

DownloadResult InflateAndVerify(PatchEngine& engine, const std::wstring& partPath, const std::wstring& tempPath,
                                const FileEntry& entry) {
  FolderRoot partOutside, tempOutside;
  UniqueHandle part = OpenBelow(RootFor(engine.root, partPath, partOutside), partPath, OpenBelowMode::Read);
  if (!part.valid()) return DownloadCorrupt;
  const FolderRoot& tempRoot = RootFor(engine.root, tempPath, tempOutside);
  UniqueHandle temp = OpenBelow(tempRoot, tempPath, OpenBelowMode::Create);
  if (!temp.valid()) return DownloadWriteFailed;
  Source source;
  source.file = part.get();
  const DownloadResult result = InflateFrom(engine, source, temp.get(), entry);
  temp.reset();
  if (result != DownloadOk) DeleteFileBelow(tempRoot, tempPath);
  return result;
}

bool InflateWhole(const std::string& object, size_t size, std::string& out) {
  out.resize(size);
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(object.data()));
  zs.avail_in = static_cast<uInt>(object.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(size);
  // A stream that wants more room than size is longer than it should be.
  const int ret = inflate(&zs, Z_FINISH);
  const bool whole = ret == Z_STREAM_END && zs.total_out == size;
  inflateEnd(&zs);
  return whole;
}

InflateStream::~InflateStream() {
  if (!state) return;
  inflateEnd(&state->zs);
  delete state;
}

bool InflateStreamBegin(InflateStream& stream, HANDLE file, uint64_t size) {
  if (stream.state) {
    inflateEnd(&stream.state->zs);
    delete stream.state;
    stream.state = nullptr;
  }
  auto* state = new (std::nothrow) InflateStream::State;
  if (!state) return false;
  if (inflateInit(&state->zs) != Z_OK) {
    delete state;
    return false;
  }
  state->file = file;
  state->expected = size;
  state->out.resize(size < kOutputSize - 4096 ? static_cast<size_t>(size) + 4096 : kOutputSize);
  stream.state = state;
  return true;
}

bool InflateStreamFeed(InflateStream& stream, const uint8_t* data, uint32_t size) {
  InflateStream::State& s = *stream.state;
  if (s.corrupt || s.writeFailed) return false;
  if (s.ended) return true;  // what follows the stream's end is never looked at
  s.zs.next_in = const_cast<Bytef*>(data);
  s.zs.avail_in = size;
  const uInt room = static_cast<uInt>(s.out.size());
  do {
    s.zs.next_out = reinterpret_cast<Bytef*>(s.out.data());
    s.zs.avail_out = room;
    const int ret = inflate(&s.zs, Z_NO_FLUSH);
    if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR) return (s.corrupt = true, false);
    const uInt produced = room - s.zs.avail_out;
    s.total += produced;
    // A stream longer than the manifest says is refused before its excess is used.
    if (s.total > s.expected) return (s.corrupt = true, false);
    if (produced > 0) {
      s.hasher.Update(s.out.data(), produced);
      DWORD written = 0;
      if (!WriteFile(s.file, s.out.data(), produced, &written, nullptr) || written != produced) {
        s.writeError = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        s.writeFailed = true;
        return false;
      }
    }
    if (ret == Z_STREAM_END) {
      s.ended = true;
      return true;
    }
    if (ret == Z_BUF_ERROR && produced == 0) break;
  } while (s.zs.avail_in > 0 || s.zs.avail_out == 0);
  return true;
}

DownloadResult InflateStreamResult(InflateStream& stream, const std::string& hash) {
  InflateStream::State& s = *stream.state;
  if (s.writeFailed) {
    SetLastError(s.writeError);
    return DownloadWriteFailed;
  }
  if (s.corrupt || !s.ended || s.total != s.expected || s.hasher.Finish() != hash) return DownloadCorrupt;
  // The verified content must be on the disk before it is moved into place and cached.
  if (!FlushFileBuffers(s.file)) return DownloadWriteFailed;
  return DownloadOk;
}
