#include "patch/state.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "app/languages.h"
#include "patch/engine.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/layout.h"
#include "support/sha256.h"
#include "support/text.h"

static std::wstring IniPath(const std::wstring& installFolder) {
  return installFolder + layout::kPatcherIni;
}

bool ReadInstalledVersion(const std::wstring& installFolder, int32_t& version) {
  if (!IsLinkFreeBelow(installFolder, IniPath(installFolder))) return false;
  const int32_t value = static_cast<int32_t>(
      GetPrivateProfileIntW(L"patch", L"version", -1, IniPath(installFolder).c_str()));
  if (value < 0) return false;
  version = value;
  return true;
}

bool WriteInstalledVersion(const std::wstring& installFolder, int32_t version) {
  // The profile functions follow links, so they work on a copy that this run has just
  // created, which then replaces the file.
  const std::wstring ini = IniPath(installFolder);
  const std::wstring temp = ini + layout::kTempSuffix;
  std::string old;
  if (!ReadWholeFileBelow(installFolder, ini, old) && !IsLinkFreeBelow(installFolder, ini)) return false;
  {
    UniqueHandle copy = OpenBelow(installFolder, temp, OpenBelowMode::Create);
    DWORD written = 0;
    if (!copy.valid() || (!old.empty() && (!WriteFile(copy.get(), old.data(), static_cast<DWORD>(old.size()), &written, nullptr) ||
                                           written != old.size()))) {
      copy.reset();
      DeleteFileBelow(installFolder, temp);
      return false;
    }
  }
  if (!WritePrivateProfileStringW(L"patch", L"version", std::to_wstring(version).c_str(), temp.c_str()) ||
      !MoveBelow(installFolder, temp, ini, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileBelow(installFolder, temp);
    return false;
  }
  return true;
}

// ---- File cache ----------------------------------------------------------------------

static std::wstring CachePath(const std::wstring& installFolder) {
  return installFolder + layout::kPatcherCache;
}

// The standard decimal reading: leading blanks skipped, stops at the first non-digit, 0 if none.
static uint64_t ParseDecimal(std::string_view field) {
  char text[32];
  if (field.size() < sizeof text) {  // every real field; no allocation per line
    field.copy(text, field.size());
    text[field.size()] = '\0';
    return std::strtoull(text, nullptr, 10);
  }
  return std::strtoull(std::string(field).c_str(), nullptr, 10);
}

bool ParseCacheLine(std::string_view line, std::wstring& path, CacheRecord& record) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t tab1 = line.find('\t');
  if (tab1 != 64) return false;
  const size_t tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) return false;
  const size_t tab3 = line.find('\t', tab2 + 1);
  if (tab3 == std::string_view::npos) return false;
  if (!ToSafeRelativePath(std::string(line.substr(tab3 + 1)), path)) return false;
  record.size = ParseDecimal(line.substr(tab1 + 1, tab2 - tab1 - 1));
  record.lastWriteTime = ParseDecimal(line.substr(tab2 + 1, tab3 - tab2 - 1));
  record.hash.assign(line.data(), 64);
  return true;
}

// Streams the cache file through each, a piece at a time, so that neither the whole file nor a
// copy of it is ever held; hasher (if given) sees every byte. False if the file is missing,
// larger than ReadWholeFile would take (64 MiB) or fails to read.
static bool ReadCacheLines(const std::wstring& installFolder,
                           const std::function<void(std::wstring&, CacheRecord&)>& each, Sha256Hasher* hasher) {
  UniqueHandle file = OpenBelow(installFolder, CachePath(installFolder), OpenBelowMode::Read);
  LARGE_INTEGER size;
  if (!file.valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return false;
  constexpr DWORD kPiece = 1 << 20;
  std::string buffer;  // an unfinished line from the last piece, then the new piece
  std::wstring linePath;
  CacheRecord record;
  for (;;) {
    const size_t kept = buffer.size();
    buffer.resize(kept + kPiece);
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data() + kept, kPiece, &got, nullptr)) return false;
    buffer.resize(kept + got);
    if (hasher) hasher->Update(buffer.data() + kept, got);
    const std::string_view text(buffer);
    size_t start = 0;
    for (;;) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) {
        // The rest of this line comes with the next piece; at the end of the file, a last line
        // without a line feed is still a line, and nothing after the last line feed is none.
        if (got > 0 || start >= text.size()) break;
        end = text.size();
      }
      if (ParseCacheLine(text.substr(start, end - start), linePath, record)) each(linePath, record);
      start = end + 1;
    }
    if (got == 0) return true;
    buffer.erase(0, std::min(start, buffer.size()));
  }
}

bool ReadCacheFile(const std::wstring& installFolder,
                   const std::function<void(std::wstring& path, CacheRecord& record)>& each) {
  return ReadCacheLines(installFolder, each, nullptr);
}

void LoadCache(PatchEngine& engine) {
  std::lock_guard<SlimLock> lock(engine.cacheLock);
  engine.cache.clear();
  Sha256Hasher hasher;
  const bool read = ReadCacheLines(engine.installFolder, [&engine](std::wstring& path, CacheRecord& record) {
    engine.cache[ToLowerAscii(path)] = std::move(record);
  }, &hasher);
  if (!read) engine.cache.clear();  // a file that could not be read whole vouches for nothing
  engine.cacheFileDigest = read ? hasher.Finish() : std::string();
  engine.cacheChanged = !read;
}

static std::string Digest(const std::string& bytes) {
  Sha256Hasher hasher;
  hasher.Update(bytes.data(), bytes.size());
  return hasher.Finish();
}

bool SaveCache(PatchEngine& engine, const FileList& files) {
  {
    // The file as read already holds every record, and only the list's files, when nothing
    // was stored or dropped since and each record still has its file: nothing to write.
    std::lock_guard<SlimLock> lock(engine.cacheLock);
    if (!engine.cacheChanged && !engine.cacheFileDigest.empty()) {
      size_t listed = 0;
      for (size_t i = 0; i < files.size(); ++i) listed += engine.cache.count(ToLowerAscii(files.WidePath(i)));
      if (listed == engine.cache.size()) return true;
    }
  }
  std::string out;
  out.reserve(files.size() * 40);
  {
    std::lock_guard<SlimLock> lock(engine.cacheLock);
    for (size_t i = 0; i < files.size(); ++i) {
      const auto found = engine.cache.find(ToLowerAscii(files.WidePath(i)));
      if (found == engine.cache.end()) continue;
      out += found->second.hash;
      out += '\t';
      out += std::to_string(found->second.size);
      out += '\t';
      out += std::to_string(found->second.lastWriteTime);
      out += '\t';
      out += files.Path(i);
      out += '\n';
    }
  }
  // A check that changed no record would write the same bytes again: write, flush and move
  // for nothing.
  std::string digest = Digest(out);
  const bool same = !digest.empty() && digest == engine.cacheFileDigest;
  if (!same && !WriteFileAtomicBelow(engine.installFolder, CachePath(engine.installFolder), out)) {
    engine.cacheFileDigest.clear();
    return false;
  }
  engine.cacheFileDigest = std::move(digest);
  std::lock_guard<SlimLock> lock(engine.cacheLock);
  engine.cacheChanged = false;
  return true;
}

bool CheckManifestVersion(PatchEngine& engine, const JsonValue& doc, std::wstring& error) {
  const int32_t version = ManifestVersion(doc);
  engine.manifestVersion = version;
  int32_t installed = 0;
  if (ReadInstalledVersion(engine.installFolder, installed) && version < installed) {
    error = LauncherString(LauncherText::ErrOlderVersion);
    return false;
  }
  return true;
}
