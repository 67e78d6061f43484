#pragma once
// Checking, downloading and applying: the file phases of a patch run.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "patch/manifest.h"

struct PatchEngine;

// Runs task(list[k]) once for every k on min(n, maxMembers, 4) members (at least one): the
// calling thread and up to three new threads that take positions from one shared counter. A
// thread that cannot be created leaves the pool smaller. Returns the number of members that ran
// (0 for an empty list). memberDone (optional) runs on each member that finds no work left.
int RunWorkerPool(const std::vector<size_t>& list, const std::function<void(size_t)>& task, size_t maxMembers = 4,
                  const std::function<void()>& memberDone = nullptr);

// Brings engine.installFolder in line with files: checks (stage 3), downloads what is missing
// or wrong (stage 4), applies deleteList (the manifest's delete elements, empty for one that is
// not a string), saves the cache and version (stage 5) and posts stage 8. Ends early on cancel
// (no text) or with SetError on a failed download.
void RunFilePhases(PatchEngine& engine, const FileList& files, const std::vector<std::string>& deleteList,
                   int32_t version, bool fullVerify);
