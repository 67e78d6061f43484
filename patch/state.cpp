#include "patch/state.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>

#include "app/languages.h"
#include "patch/engine.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/layout.h"
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
static uint64_t ParseDecimal(const std::string& field) {
  return std::strtoull(field.c_str(), nullptr, 10);
}

bool ParseCacheLine(std::string line, std::wstring& path, CacheRecord& record) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const size_t tab1 = line.find('\t');
  if (tab1 != 64) return false;
  const size_t tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string::npos) return false;
  const size_t tab3 = line.find('\t', tab2 + 1);
  if (tab3 == std::string::npos) return false;
  if (!ToSafeRelativePath(line.substr(tab3 + 1), path)) return false;
  record.size = ParseDecimal(line.substr(tab1 + 1, tab2 - tab1 - 1));
  record.lastWriteTime = ParseDecimal(line.substr(tab2 + 1, tab3 - tab2 - 1));
  record.hash = line.substr(0, 64);
  return true;
}

void ReadCacheFile(const std::wstring& installFolder,
                   const std::function<void(std::wstring& path, CacheRecord& record)>& each) {
  std::string bytes;
  if (!ReadWholeFileBelow(installFolder, CachePath(installFolder), bytes)) return;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::wstring path;
    CacheRecord record;
    if (ParseCacheLine(bytes.substr(start, end - start), path, record)) each(path, record);
    start = end + 1;
  }
}

void LoadCache(PatchEngine& engine) {
  std::lock_guard<std::mutex> lock(engine.cacheLock);
  engine.cache.clear();
  ReadCacheFile(engine.installFolder, [&engine](std::wstring& path, CacheRecord& record) {
    engine.cache[ToLowerAscii(path)] = std::move(record);
  });
}

bool SaveCache(PatchEngine& engine, const std::vector<FileEntry>& files) {
  std::string out;
  out.reserve(files.size() * 40);
  {
    std::lock_guard<std::mutex> lock(engine.cacheLock);
    for (const FileEntry& entry : files) {
      const auto found = engine.cache.find(ToLowerAscii(entry.widePath));
      if (found == engine.cache.end()) continue;
      out += found->second.hash;
      out += '\t';
      out += std::to_string(found->second.size);
      out += '\t';
      out += std::to_string(found->second.lastWriteTime);
      out += '\t';
      out += entry.path;
      out += '\n';
    }
  }
  return WriteFileAtomicBelow(engine.installFolder, CachePath(engine.installFolder), out);
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
