#include "patch/plan.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <unordered_set>

#include "patch/state.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/sha256.h"
#include "support/text.h"

using PieceList = std::vector<std::pair<std::string, uint32_t>>;  // hash and size of each piece, in order
using CacheMap = std::unordered_map<std::wstring, CacheRecord>;

bool QueryDiskState(const std::wstring& path, DiskState& state) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  state.lastWriteTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                        data.ftLastWriteTime.dwLowDateTime;
  return true;
}

// The hash the cache (or, for a file it no longer holds, the cache as it was read) vouches the
// file at key (lower-case relative path) has now; empty if none.
static std::string VouchedHash(const PatchEngine& engine, const CacheMap& earlier, const std::wstring& key,
                               const DiskState& state) {
  const CacheRecord* record = nullptr;
  const auto found = engine.cache.find(key);
  if (found != engine.cache.end()) {
    record = &found->second;
  } else if (const auto before = earlier.find(key); before != earlier.end()) {
    record = &before->second;
  }
  if (!record || record->size != state.size || record->lastWriteTime != state.lastWriteTime ||
      record->hash.size() != 64)
    return {};
  return ToLowerAscii(record->hash);
}

// ---- Piece lists kept with the patch state ------------------------------------------------

static std::wstring PiecesPath(const PatchEngine& engine) { return engine.installFolder + layout::kPatcherPieces; }

// "hash TAB rule TAB h:s,h:s,..." per content; lines of another rule, or malformed, are skipped.
static void LoadPieceLists(const PatchEngine& engine, const PieceRule& rule,
                           std::unordered_map<std::string, PieceList>& lists) {
  std::string text;
  if (!ReadWholeFileBelow(engine.root, PiecesPath(engine), text)) return;
  const std::string key = PieceRuleKey(rule);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    if (tab1 != 64 || tab2 == std::string_view::npos || line.substr(tab1 + 1, tab2 - tab1 - 1) != key) continue;
    PieceList list;
    bool good = true;
    for (size_t at = tab2 + 1; at < line.size() && good;) {
      size_t next = line.find(',', at);
      if (next == std::string_view::npos) next = line.size();
      const std::string_view item = line.substr(at, next - at);
      at = next + 1;
      uint64_t size = 0;
      good = item.size() > 65 && item[64] == ':';
      for (size_t i = 65; good && i < item.size(); ++i) {
        good = item[i] >= '0' && item[i] <= '9' && size < (1ull << 32);
        size = size * 10 + static_cast<uint64_t>(item[i] - '0');
      }
      good = good && size > 0 && size <= rule.maxSize;
      if (good) list.emplace_back(ToLowerAscii(item.substr(0, 64)), static_cast<uint32_t>(size));
    }
    if (good && !list.empty()) lists[ToLowerAscii(line.substr(0, 64))] = std::move(list);
  }
}

static PieceList ListOf(const FileList& files, size_t i) {
  PieceList list;
  for (const Chunk& chunk : files[i].chunks) list.emplace_back(ToLowerAscii(chunk.hash), chunk.size);
  return list;
}

bool SavePieceLists(PatchEngine& engine, const FileList& files) {
  std::string text;
  std::unordered_set<std::string> written;
  const std::string key = PieceRuleKey(files.pieceRule);
  for (const FileList::ChunkRange& range : files.chunkRanges) {
    const std::string hash = ToLowerAscii(files.Hash(range.item));
    if (!written.insert(hash).second) continue;
    text += hash + "\t" + key + "\t";
    const PieceList list = ListOf(files, range.item);
    for (size_t k = 0; k < list.size(); ++k) {
      if (k) text += ',';
      text += list[k].first + ":" + std::to_string(list[k].second);
    }
    text += '\n';
  }
  std::string old;
  const bool exists = ReadWholeFileBelow(engine.root, PiecesPath(engine), old);
  if (text.empty()) return !exists || DeleteFileBelow(engine.root, PiecesPath(engine));
  if (exists && old == text) return true;
  return WriteFileAtomicBelow(engine.root, PiecesPath(engine), text);
}

// ---- Cutting a local file ----------------------------------------------------------------

bool CutOpenFile(PatchEngine& engine, void* file, const PieceRule& rule, PieceList& pieces, std::string& wholeHash) {
  pieces.clear();
  std::string buffer(static_cast<size_t>(rule.maxSize) * 2, '\0');
  size_t at = 0, held = 0;
  bool ended = false;
  Sha256Hasher whole;
  for (;;) {
    if (engine.cancel) return false;
    if (!ended && held - at < rule.maxSize) {
      buffer.erase(0, at);  // the unread rest to the front, then fill up behind it
      held -= at;
      at = 0;
      buffer.resize(static_cast<size_t>(rule.maxSize) * 2);
      while (!ended && held < rule.maxSize) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data() + held, static_cast<DWORD>(buffer.size() - held), &got, nullptr)) return false;
        ended = got == 0;
        held += got;
      }
    }
    const size_t length = NextPieceLength(rule, reinterpret_cast<const uint8_t*>(buffer.data()) + at, held - at);
    if (length == 0) break;
    Sha256Hasher hasher;
    hasher.Update(buffer.data() + at, length);
    whole.Update(buffer.data() + at, length);
    pieces.emplace_back(hasher.Finish(), static_cast<uint32_t>(length));
    at += length;
  }
  wholeHash = whole.Finish();
  return !wholeHash.empty();
}

// ---- The plan ------------------------------------------------------------------------------

namespace {

// The local files whose bytes may be reused, each with the content the cache or check vouches.
struct Sources {
  UpdatePlan& plan;
  std::vector<std::wstring> keys;     // lower-case relative path
  std::vector<std::string> hashes;    // content hash, lower case; empty if not known
  std::vector<uint64_t> sizes;
  std::vector<uint8_t> mayCut;        // its old bytes go (replaced, or no longer listed): cut if no list
  std::unordered_map<std::string, uint32_t> byHash;
  std::unordered_map<std::wstring, uint32_t> byKey;

  uint32_t Add(const PatchEngine& engine, const std::wstring& relative, std::wstring key, std::string hash,
               uint64_t size, bool cut) {
    mayCut.push_back(cut);
    const uint32_t index = static_cast<uint32_t>(keys.size());
    plan.sources.push_back(engine.installFolder + relative);
    if (!hash.empty()) byHash.emplace(hash, index);
    byKey.emplace(key, index);
    keys.push_back(std::move(key));
    hashes.push_back(std::move(hash));
    sizes.push_back(size);
    return index;
  }
};

// What the needed files are made of: their whole hashes and their pieces' hashes.
struct Needs {
  std::unordered_set<std::string> wholes, pieces;
  std::unordered_map<std::string, uint32_t> piecesFound;  // piece hash -> index into plan.held
};

// Records where each needed piece of list lies in source.
void AddPieces(UpdatePlan& plan, Needs& needs, uint32_t source, const PieceList& list) {
  uint64_t offset = 0;
  for (const auto& [hash, size] : list) {
    if (needs.pieces.count(hash) && !needs.piecesFound.count(hash)) {
      needs.piecesFound.emplace(hash, static_cast<uint32_t>(plan.held.size()));
      plan.held.push_back({source, offset});
    }
    offset += size;
  }
}

}  // namespace

// What the files marked in needsDownload are made of; false if none is needed.
static bool CollectNeeds(const FileList& files, const std::vector<uint8_t>& needsDownload, bool piecesUsable,
                         Needs& needs, std::vector<size_t>& needed) {
  for (size_t i = 0; i < files.size(); ++i) {
    if (!needsDownload[i]) continue;
    needed.push_back(i);
    needs.wholes.insert(ToLowerAscii(files.Hash(i)));
  }
  if (needed.empty()) return false;
  if (piecesUsable) {
    for (const FileList::ChunkRange& range : files.chunkRanges) {
      if (!needsDownload[range.item]) continue;
      for (uint32_t k = 0; k < range.count; ++k)
        needs.pieces.insert(ToLowerAscii(std::string_view(files.text).substr(files.chunks[range.first + k].hashAt, 64)));
    }
  }
  return true;
}

// The listed files on disk: a right one has its listed content, another the cached one.
static void AddListedSources(PatchEngine& engine, const FileList& files, const std::vector<uint8_t>& needsDownload,
                             const std::vector<DiskState>& disk, const CacheMap& earlier, const Needs& needs,
                             Sources& sources) {
  std::wstring relative;
  for (size_t i = 0; i < files.size(); ++i) {
    if (disk[i].size == 0) continue;
    std::string hash;
    if (!needsDownload[i] && !files.items[i].keep) hash = ToLowerAscii(files.Hash(i));
    const bool wanted = needsDownload[i] || disk[i].size >= files.pieceRule.minSize || needs.wholes.count(hash);
    if (!wanted) continue;
    files.WidePathInto(i, relative);
    std::wstring key = ToLowerAscii(relative);
    if (hash.empty()) {
      std::lock_guard<SlimLock> lock(engine.cacheLock);
      hash = VouchedHash(engine, earlier, key, disk[i]);
    }
    sources.Add(engine, relative, std::move(key), std::move(hash), disk[i].size, needsDownload[i] != 0);
  }
}

// Files the cache knows that the list no longer names (a rename, a move): asked about only when
// there are such records. False if cancelled.
static bool AddUnlistedSources(PatchEngine& engine, const FileList& files, const CacheMap& earlier,
                               const Needs& needs, Sources& sources) {
  std::lock_guard<SlimLock> lock(engine.cacheLock);
  const CacheMap& records = earlier.empty() ? engine.cache : earlier;
  if (earlier.empty() && engine.cacheListed != SIZE_MAX && engine.cache.size() <= engine.cacheListed) return true;
  std::unordered_set<std::wstring> listed;
  listed.reserve(files.size());
  std::wstring relative;
  for (size_t i = 0; i < files.size(); ++i) {
    files.WidePathInto(i, relative);
    listed.insert(ToLowerAscii(relative));
  }
  for (const auto& [key, record] : records) {
    if (engine.cancel) return false;
    if (listed.count(key) || record.size == 0) continue;
    DiskState state;
    if (!QueryDiskState(engine.installFolder + key, state)) continue;
    std::string hash = VouchedHash(engine, earlier, key, state);
    if (hash.empty() || (state.size < files.pieceRule.minSize && !needs.wholes.count(hash))) continue;
    sources.Add(engine, key, key, std::move(hash), state.size, true);
  }
  return true;
}

// Where the needed pieces lie in the sources: from the lists known without reading, then by
// cutting the rest. False if cancelled.
static bool FindHeldPieces(PatchEngine& engine, const FileList& files, Sources& sources, Needs& needs) {
  if (needs.pieces.empty()) return true;
  UpdatePlan& plan = sources.plan;
  std::unordered_map<std::string, size_t> listOfHash;  // content hash -> a listed file with its pieces
  for (const FileList::ChunkRange& range : files.chunkRanges) listOfHash.emplace(ToLowerAscii(files.Hash(range.item)), range.item);
  std::unordered_map<std::string, PieceList> stored;
  LoadPieceLists(engine, files.pieceRule, stored);
  std::vector<uint32_t> unlisted;
  for (uint32_t s = 0; s < sources.keys.size(); ++s) {
    if (sources.sizes[s] < files.pieceRule.minSize) continue;
    const std::string& hash = sources.hashes[s];
    const auto inManifest = hash.empty() ? listOfHash.end() : listOfHash.find(hash);
    const auto inStore = hash.empty() ? stored.end() : stored.find(hash);
    if (inManifest != listOfHash.end()) {
      AddPieces(plan, needs, s, ListOf(files, inManifest->second));
    } else if (inStore != stored.end()) {
      AddPieces(plan, needs, s, inStore->second);
    } else if (sources.mayCut[s]) {
      unlisted.push_back(s);  // a file that stays as it is comes whole: its bytes are no one's pieces
    }
  }
  for (uint32_t s : unlisted) {
    if (needs.piecesFound.size() == needs.pieces.size()) break;
    const UniqueHandle file = OpenBelow(engine.root, plan.sources[s], OpenBelowMode::Read);
    PieceList list;
    std::string whole;
    if (!file.valid() || !CutOpenFile(engine, file.get(), files.pieceRule, list, whole)) {
      if (engine.cancel) return false;
      continue;
    }
    LogLine(L"cut " + plan.sources[s] + L" into " + std::to_wstring(list.size()) + L" pieces to find what it holds");
    if (sources.hashes[s].empty()) {
      sources.hashes[s] = whole;
      sources.byHash.emplace(whole, s);
    }
    AddPieces(plan, needs, s, list);
  }
  return true;
}

// Plans needed file i (whose key is key) from a local copy, or local and fetched pieces, or
// leaves it whole; the sources it reads go into readByOthers when they are other files.
static void PlanFile(const FileList& files, size_t i, const std::wstring& key, bool piecesUsable,
                     const Sources& sources, const Needs& needs, std::unordered_set<uint32_t>& readByOthers) {
  UpdatePlan& plan = sources.plan;
  const auto copy = sources.byHash.find(ToLowerAscii(files.Hash(i)));
  if (copy != sources.byHash.end() && sources.keys[copy->second] != key) {
    plan.files[i].wholeSource = static_cast<int32_t>(copy->second);
    readByOthers.insert(copy->second);
    return;
  }
  // Progress counts each file's objects, as each file credits them: a piece two files share
  // counts for both, though it is fetched once.
  const FileEntry entry = files[i];
  if (piecesUsable && !entry.chunks.empty()) {
    FilePlan made;
    uint64_t cost = 0;
    bool any = false;
    for (const Chunk& chunk : entry.chunks) {
      const auto found = needs.piecesFound.find(ToLowerAscii(chunk.hash));
      made.pieces.push_back(found == needs.piecesFound.end() ? -1 : static_cast<int32_t>(found->second));
      if (found == needs.piecesFound.end()) cost += chunk.compressedSize;
      any = any || found != needs.piecesFound.end();
    }
    // Piece by piece also when nothing is local: an interruption then loses one piece, not the file.
    if (!any || cost < entry.compressedSize) {
      for (int32_t held : made.pieces) {
        if (held < 0) continue;
        const uint32_t source = plan.held[static_cast<size_t>(held)].source;
        if (sources.keys[source] != key) readByOthers.insert(source);
      }
      plan.fetchBytes += cost;
      plan.files[i] = std::move(made);
      return;
    }
  }
  plan.fetchBytes += entry.compressedSize;
}

bool PlanUpdate(PatchEngine& engine, const FileList& files, const std::vector<uint8_t>& needsDownload,
                const std::vector<DiskState>& disk, const CacheMap& earlier, UpdatePlan& plan) {
  plan = UpdatePlan();
  const bool piecesUsable = PieceRuleUsable(files.pieceRule);
  Needs needs;
  std::vector<size_t> needed;
  if (!CollectNeeds(files, needsDownload, piecesUsable, needs, needed)) return true;
  Sources sources{plan};
  AddListedSources(engine, files, needsDownload, disk, earlier, needs, sources);
  if (!AddUnlistedSources(engine, files, earlier, needs, sources)) return false;
  if (!FindHeldPieces(engine, files, sources, needs)) return false;

  std::unordered_set<uint32_t> readByOthers;
  std::vector<std::wstring> neededKeys(needed.size());
  std::wstring relative;
  for (size_t n = 0; n < needed.size(); ++n) {
    files.WidePathInto(needed[n], relative);
    neededKeys[n] = ToLowerAscii(relative);
    PlanFile(files, needed[n], neededKeys[n], piecesUsable, sources, needs, readByOthers);
  }
  // A file whose old bytes others are made of is replaced after them.
  for (size_t n = 0; n < needed.size(); ++n) {
    const auto source = sources.byKey.find(neededKeys[n]);
    if (source != sources.byKey.end() && readByOthers.count(source->second)) plan.files[needed[n]].placeLast = true;
  }
  return !engine.cancel;
}
