#pragma once
// Planning an update from what the installation already holds: a needed file whose content,
// or some of whose pieces, any local file has (at any path) is made from those bytes, and only
// the rest is fetched.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "patch/engine.h"
#include "patch/manifest.h"

// What checking found on disk for one file of the list (size 0: missing, a folder, or empty).
struct DiskState {
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;
};

// Size and last-write time of the file at path, asked by name; false if it is missing, a folder
// or a link.
bool QueryDiskState(const std::wstring& path, DiskState& state);

// Where a piece's bytes lie in a local file.
struct HeldPiece {
  uint32_t source = 0;  // index into UpdatePlan::sources
  uint64_t offset = 0;
};

// How one needed file is made. Without a whole source and without pieces, it is fetched whole.
struct FilePlan {
  int32_t wholeSource = -1;     // a local file that holds exactly this content: copied, not fetched
  std::vector<int32_t> pieces;  // per piece of the file: index into UpdatePlan::held, or -1 to fetch
  bool placeLast = false;       // other files are made from its old bytes: replaced after them
};

struct UpdatePlan {
  std::vector<std::wstring> sources;           // full paths of the local files read from
  std::vector<HeldPiece> held;
  std::unordered_map<size_t, FilePlan> files;  // by index in the file list; needed files only
  uint64_t fetchBytes = 0;  // compressed bytes the needed files fetch, counted per file as progress counts them
};

// Plans every file marked in needsDownload against the bytes the installation holds: every
// file whose content the check or the cache vouches for, listed or not, and its pieces, known
// from the lists kept with the patch state or, for a large file without one that is replaced or
// no longer listed, by cutting it once. disk is what the check found for each listed file;
// earlier is the cache as read before a full verification set it aside (empty otherwise): only
// a hint, as every local byte is checked against its hash when it is copied. False only if
// cancelled.
bool PlanUpdate(PatchEngine& engine, const FileList& files, const std::vector<uint8_t>& needsDownload,
                const std::vector<DiskState>& disk, const std::unordered_map<std::wstring, CacheRecord>& earlier,
                UpdatePlan& plan);

// Keeps the piece lists of the list's files in config\patcher_pieces.dat (atomically, never
// through a link), so that the next update finds them without reading; removes the file when
// no file has pieces. Unchanged contents are not written again. False if it could not be written.
bool SavePieceLists(PatchEngine& engine, const FileList& files);

// Cuts the open file (read from its start) with rule: each piece's hash and size, and the whole
// file's hash. False on a read error or a cancel.
bool CutOpenFile(PatchEngine& engine, void* file, const PieceRule& rule,
                 std::vector<std::pair<std::string, uint32_t>>& pieces, std::string& wholeHash);
