#pragma once
// One file from the patch server into place: resumable part file, retries, verification.
#include <cstdint>
#include <string>

struct PatchEngine;
struct FileEntry;

// The outcome of one file download.
enum DownloadResult : int32_t {
  DownloadOk = 0,           // the destination holds the verified file
  DownloadNetwork = 1,      // the transfer did not complete in 3 attempts
  DownloadCorrupt = 2,      // the object did not inflate to the expected size and hash 3 times
  DownloadWriteFailed = 3,  // a local file could not be created, written or moved
  DownloadInUse = 4,        // the destination is held open by another program
  DownloadCancelled = 5,
};

// Downloads entry's object into installFolder\patcher_parts\<hash>.z (resuming a part left
// there), verifies it and moves it onto destination. keepPart leaves a verified part file in
// place so that another entry with the same hash can be verified from it without a transfer.
// Adds the compressed bytes to engine.doneBytes as they arrive (and takes back those of a
// failed attempt).
DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry,
                            const std::wstring& destination, bool keepPart = false);
// installFolder\patcher_parts\<hash>.z
std::wstring PartFilePath(const PatchEngine& engine, const std::string& hash);
// Deletes installFolder\patcher_parts\*.z and then the folder if that left it empty.
void CleanPartFiles(PatchEngine& engine);
