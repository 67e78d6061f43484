#pragma once
// One file from the patch server into place: resumable part file, retries, verification.
#include <cstdint>
#include <string>

#include "patch/engine.h"

struct FileEntry;

// Downloads entry's object into installFolder\patcher_parts\<hash>.z (resuming a part left
// there), verifies it and moves it onto destination. keepPart leaves a verified part file in
// place so that another entry with the same hash can be verified from it without a transfer.
// Adds the compressed bytes to engine.doneBytes as they arrive (and takes back those of a
// failed attempt). After a failure GetLastError() holds the Windows error behind it, if any.
DownloadResult DownloadFile(PatchEngine& engine, const FileEntry& entry,
                            const std::wstring& destination, bool keepPart = false);
// installFolder\patcher_parts\<hash>.z
std::wstring PartFilePath(const PatchEngine& engine, const std::string& hash);
// Deletes installFolder\patcher_parts\*.z and then the folder if that left it empty.
void CleanPartFiles(PatchEngine& engine);
