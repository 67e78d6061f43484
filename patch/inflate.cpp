#include "patch/inflate.h"

#include <windows.h>
#include <zlib.h>

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

}  // namespace

DownloadResult InflateAndVerify(PatchEngine& engine, const std::wstring& partPath,
                                const std::wstring& tempPath, const FileEntry& entry) {
  const std::wstring tempRoot = RootFor(engine.installFolder, tempPath);
  UniqueHandle part = OpenBelow(RootFor(engine.installFolder, partPath), partPath, OpenBelowMode::Read);
  if (!part.valid()) return DownloadCorrupt;
  UniqueHandle temp = OpenBelow(tempRoot, tempPath, OpenBelowMode::Create);
  if (!temp.valid()) return DownloadWriteFailed;

  z_stream zs{};
  const bool initialised = inflateInit(&zs) == Z_OK;
  Sha256Hasher hasher;
  AlignedBuffer in(kInputSize), out(kOutputSize);

  bool corrupt = !initialised || !in.data || !out.data;
  bool writeFailed = false;
  bool ended = false;
  uint64_t total = 0;

  if (!corrupt && !engine.cancel) {
    DWORD got = 0;
    do {
      if (!ReadFile(part.get(), in.data, kInputSize, &got, nullptr)) {
        corrupt = true;
        break;
      }
      zs.next_in = in.data;
      zs.avail_in = got;
      const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
      bool leave = false;
      int ret = Z_OK;
      uInt produced = 0;
      do {
        zs.next_out = out.data;
        zs.avail_out = kOutputSize;
        ret = inflate(&zs, flush);
        if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR) {
          corrupt = true;
          leave = true;
          break;
        }
        produced = kOutputSize - zs.avail_out;
        if (produced > 0) {
          total += produced;
          // A stream longer than the manifest says is refused before its excess is used.
          if (total > entry.size) {
            corrupt = true;
            leave = true;
            break;
          }
          hasher.Update(out.data, produced);
          DWORD written = 0;
          if (!WriteFile(temp.get(), out.data, produced, &written, nullptr) || written != produced) {
            writeFailed = true;
            leave = true;
            break;
          }
        }
        if (ret == Z_STREAM_END) {
          // Whatever follows the stream in the part file is never looked at.
          ended = true;
          leave = true;
          break;
        }
      } while (!(ret == Z_BUF_ERROR && produced == 0) && (zs.avail_in > 0 || zs.avail_out == 0));
      if (leave) break;
    } while (got > 0 && !engine.cancel);
  }
  if (initialised) inflateEnd(&zs);
  part.reset();

  DownloadResult result = DownloadOk;
  if (engine.cancel) {
    result = DownloadCancelled;
  } else if (writeFailed) {
    result = DownloadWriteFailed;
  } else if (corrupt || !ended || total != entry.size || hasher.Finish() != entry.hash) {
    result = DownloadCorrupt;
  } else if (!FlushFileBuffers(temp.get())) {
    // The verified content must be on the disk before it is moved into place and cached.
    result = DownloadWriteFailed;
  }
  temp.reset();
  if (result != DownloadOk) DeleteFileBelow(tempRoot, tempPath);
  return result;
}
