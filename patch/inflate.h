#pragma once
// Turns a downloaded zlib object into the final file's content and proves it in one pass.
#include <string>

#include "patch/engine.h"

struct FileEntry;

// Inflates partPath (one zlib stream) into tempPath while hashing it. Returns DownloadOk when
// the content has exactly entry.size bytes and entry.hash as SHA-256 (tempPath is then
// flushed to disk and left for the caller), DownloadCorrupt, DownloadWriteFailed or
// DownloadCancelled; on anything but DownloadOk tempPath is deleted. partPath is never deleted.
DownloadResult InflateAndVerify(PatchEngine& engine, const std::wstring& partPath,
                                const std::wstring& tempPath, const FileEntry& entry);
// The same for an object already in memory (one zlib stream in object).
DownloadResult InflateObjectAndVerify(PatchEngine& engine, const std::string& object,
                                      const std::wstring& tempPath, const FileEntry& entry);
