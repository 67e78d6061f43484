#pragma once
// Turns a downloaded zlib object into the final file's content and proves it in one pass.
#include <windows.h>

#include <string>

#include "patch/engine.h"
#include "support/files.h"

struct FileEntry;

// Inflates partPath (one zlib stream) into temp (just made, empty) while hashing it. Returns
// DownloadOk when the content has exactly entry.size bytes and entry.hash as SHA-256 (temp is
// then flushed to disk and left open for the caller to place), DownloadCorrupt,
// DownloadWriteFailed or DownloadCancelled; on anything but DownloadOk temp is discarded.
// partPath is never deleted.
DownloadResult InflateAndVerify(PatchEngine& engine, const std::wstring& partPath, TempFileBelow& temp,
                                const FileEntry& entry);
// The same for an object already in memory (one zlib stream in object).
DownloadResult InflateObjectAndVerify(PatchEngine& engine, const std::string& object, TempFileBelow& temp,
                                      const FileEntry& entry);
// The same into the file tempPath (made, or emptied, for it): left there, closed, on DownloadOk,
// deleted after anything else.
DownloadResult InflateAndVerify(PatchEngine& engine, const std::wstring& partPath, const std::wstring& tempPath,
                                const FileEntry& entry);
// One zlib stream inflated into an open file as its bytes arrive, hashed as it is written:
// nothing compressed is kept on disk. Not copyable; InflateStreamEnd frees it.
struct InflateStream {
  struct State;
  State* state = nullptr;
  InflateStream() = default;
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  ~InflateStream();
};
// Starts a stream into file (at its current position) that must inflate to exactly size bytes.
// False if zlib or memory refuses.
bool InflateStreamBegin(InflateStream& stream, HANDLE file, uint64_t size);
// Hands over the next compressed bytes; false when the stream is damaged, longer than its size
// or could not be written (then InflateStreamResult says which).
bool InflateStreamFeed(InflateStream& stream, const uint8_t* data, uint32_t size);
// After the last bytes: DownloadOk when the stream ended at exactly its size with hash as its
// SHA-256 (the file is then flushed), DownloadWriteFailed (last error set) or DownloadCorrupt.
DownloadResult InflateStreamResult(InflateStream& stream, const std::string& hash);
// Inflates object (one zlib stream) into out; false unless it is exactly size bytes.
bool InflateWhole(const std::string& object, size_t size, std::string& out);
