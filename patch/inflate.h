#pragma once
// Turns a downloaded zlib object into the final file's content and proves it in one pass.
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
// Inflates object (one zlib stream) into out; false unless it is exactly size bytes.
bool InflateWhole(const std::string& object, size_t size, std::string& out);
