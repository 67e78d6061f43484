#include "patch/state.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "patch/engine.h"
#include "support/files.h"
#include "support/handles.h"
#include "support/layout.h"
#include "support/sha256.h"
#include "support/text.h"

static std::wstring IniPath(const std::wstring& installFolder) {
  return installFolder + layout::kPatcherIni;
}

// config\patcher.ini is read and written here as the profile functions read and write it
// ([section] lines, key=value lines, names in any case, blanks around them ignored), but
// through handles below the install folder: the profile functions work by name, after any
// check, and follow links.

// The file's text one character per byte, or UTF-16 after its byte order mark; utf16 tells
// which, so that the text goes back as it came.
static std::wstring IniText(const std::string& bytes, bool& utf16) {
  utf16 = bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE;
  std::wstring text;
  if (utf16) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += static_cast<wchar_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
  } else {
    for (char c : bytes) text += static_cast<wchar_t>(static_cast<uint8_t>(c));
  }
  return text;
}

static std::string IniBytes(const std::wstring& text, bool utf16) {
  std::string bytes;
  if (utf16) {
    bytes = "\xFF\xFE";
    for (wchar_t c : text) {
      bytes += static_cast<char>(c & 0xFF);
      bytes += static_cast<char>((c >> 8) & 0xFF);
    }
  } else {
    for (wchar_t c : text) bytes += static_cast<char>(c);
  }
  return bytes;
}

static std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// Where [patch] key= lies in text: the line's start and end (end before its line break),
// and valueStart; sectionEnd is where a key added to [patch] goes (npos: no such section).
struct IniSpot {
  size_t lineStart = std::wstring::npos, lineEnd = 0, valueStart = 0;
  size_t sectionEnd = std::wstring::npos;
};

static IniSpot FindKey(const std::wstring& text, const wchar_t* key) {
  IniSpot spot;
  bool inPatch = false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(L'\n', start);
    const size_t next = end == std::wstring::npos ? text.size() : end + 1;
    if (end == std::wstring::npos) end = text.size();
    const size_t contentEnd = end > start && text[end - 1] == L'\r' ? end - 1 : end;
    const std::wstring line = Trimmed(text.substr(start, contentEnd - start));
    if (!line.empty() && line[0] == L'[') {
      const size_t close = line.find(L']');
      inPatch = close != std::wstring::npos && ToLowerAscii(Trimmed(line.substr(1, close - 1))) == L"patch";
      if (inPatch && spot.sectionEnd == std::wstring::npos) spot.sectionEnd = next;
    } else if (inPatch) {
      if (!line.empty()) spot.sectionEnd = next;
      const size_t equals = line.find(L'=');
      if (equals != std::wstring::npos && ToLowerAscii(Trimmed(line.substr(0, equals))) == key &&
          spot.lineStart == std::wstring::npos) {
        spot.lineStart = start;
        spot.lineEnd = contentEnd;
        spot.valueStart = text.find(L'=', start) + 1;
      }
    }
    start = next;
  }
  return spot;
}

static bool ReadIniNumber(const FolderRoot& root, const wchar_t* key, int32_t& version) {
  std::string bytes;
  if (!ReadWholeFileBelow(root, IniPath(root.path), bytes)) return false;
  bool utf16 = false;
  const std::wstring text = IniText(bytes, utf16);
  const IniSpot spot = FindKey(text, key);
  if (spot.lineStart == std::wstring::npos) return false;
  std::wstring value = Trimmed(text.substr(spot.valueStart, spot.lineEnd - spot.valueStart));
  if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  // As the profile functions read a number: a sign, digits up to the first other character.
  const long long number = std::wcstoll(value.c_str(), nullptr, 10);
  if (number < 0 || number > INT32_MAX) return false;
  version = static_cast<int32_t>(number);
  return true;
}

static bool WriteIniNumber(const FolderRoot& root, const wchar_t* key, int32_t version) {
  const std::wstring ini = IniPath(root.path);
  std::string old;
  if (!ReadWholeFileBelow(root, ini, old)) {
    // Only a missing file starts from nothing; one that cannot be read is not replaced.
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return false;
    old.clear();
  }
  bool utf16 = false;
  std::wstring text = IniText(old, utf16);
  const IniSpot spot = FindKey(text, key);
  const std::wstring value = std::to_wstring(version);
  if (spot.lineStart != std::wstring::npos) {
    text.replace(spot.valueStart, spot.lineEnd - spot.valueStart, value);
  } else if (spot.sectionEnd != std::wstring::npos) {
    std::wstring line = key + (L"=" + value) + L"\r\n";
    if (spot.sectionEnd > 0 && text[spot.sectionEnd - 1] != L'\n') line = L"\r\n" + line;
    text.insert(spot.sectionEnd, line);
  } else {
    if (!text.empty() && text.back() != L'\n') text += L"\r\n";
    text += L"[patch]\r\n" + (key + (L"=" + value)) + L"\r\n";
  }
  const std::string bytes = IniBytes(text, utf16);
  // The same version again is no reason for a write, flush and move.
  if (bytes == old) return true;
  return WriteFileAtomicBelow(root, ini, bytes);
}

bool ReadInstalledVersion(const FolderRoot& root, int32_t& version) { return ReadIniNumber(root, L"version", version); }

bool WriteInstalledVersion(const FolderRoot& root, int32_t version) { return WriteIniNumber(root, L"version", version); }

bool ReadAcceptedVersion(const FolderRoot& root, int32_t& version) { return ReadIniNumber(root, L"accepted", version); }

bool WriteAcceptedVersion(const FolderRoot& root, int32_t version) {
  int32_t recorded = 0;
  if (ReadAcceptedVersion(root, recorded) && recorded >= version) return true;
  return WriteIniNumber(root, L"accepted", version);
}

// ---- File cache ----------------------------------------------------------------------

static std::wstring CachePath(const std::wstring& installFolder) {
  return installFolder + layout::kPatcherCache;
}

// The standard decimal reading (what strtoull reads: leading blanks, a sign, digits; the largest
// value on overflow; 0 if none), by hand: under Wine the library's own costs more than the rest
// of a cache line together.
static uint64_t ParseDecimal(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  uint64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(field[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    value = value * 10 + digit;
  }
  return negative ? 0 - value : value;
}

bool ParseCacheLine(std::string_view line, std::wstring& path, CacheRecord& record) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t tab1 = line.find('\t');
  if (tab1 != 64) return false;
  const size_t tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) return false;
  const size_t tab3 = line.find('\t', tab2 + 1);
  if (tab3 == std::string_view::npos) return false;
  if (!ToSafeRelativePath(line.substr(tab3 + 1), path)) return false;
  record.size = ParseDecimal(line.substr(tab1 + 1, tab2 - tab1 - 1));
  record.lastWriteTime = ParseDecimal(line.substr(tab2 + 1, tab3 - tab2 - 1));
  record.hash.assign(line.data(), 64);
  return true;
}

// The path of a line as the uninstaller reads it: the text after the third tab, whatever the
// three fields before it hold, if the path rule accepts it.
static bool ParseCacheLinePath(std::string_view line, std::wstring& path) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  size_t tab = std::string_view::npos;
  for (int i = 0; i < 3; ++i) {
    tab = line.find('\t', tab + 1);
    if (tab == std::string_view::npos) return false;
  }
  return ToSafeRelativePath(line.substr(tab + 1), path);
}

// Streams the cache file through each, a piece at a time, so that neither the whole file nor a
// copy of it is ever held; hasher (if given) sees every byte. False if the file is missing,
// larger than ReadWholeFile would take (64 MiB) or fails to read.
static bool ReadCacheLines(const FolderRoot& root,
                           const std::function<void(std::wstring&, CacheRecord&)>& each, Sha256Hasher* hasher,
                           bool anyFields = false) {
  UniqueHandle file = OpenBelow(root, CachePath(root.path), OpenBelowMode::Read);
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
      const std::string_view line = text.substr(start, end - start);
      if (anyFields ? ParseCacheLinePath(line, linePath) : ParseCacheLine(line, linePath, record)) each(linePath, record);
      start = end + 1;
    }
    if (got == 0) return true;
    buffer.erase(0, std::min(start, buffer.size()));
  }
}

bool ReadCachePaths(const FolderRoot& root, const std::function<void(std::wstring& path)>& each) {
  return ReadCacheLines(root, [&each](std::wstring& path, CacheRecord&) { each(path); }, nullptr, true);
}

void LoadCache(PatchEngine& engine) {
  std::lock_guard<SlimLock> lock(engine.cacheLock);
  engine.cache.clear();
  engine.cacheListed = SIZE_MAX;
  Sha256Hasher hasher;
  const bool read = ReadCacheLines(engine.root, [&engine](std::wstring& path, CacheRecord& record) {
    engine.cache[ToLowerAscii(std::move(path))] = std::move(record);
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
      // The check has counted them already, unless nothing has checked since the cache was read.
      size_t listed = engine.cacheListed;
      if (listed == SIZE_MAX) {
        listed = 0;
        std::wstring key;
        for (size_t i = 0; i < files.size(); ++i) {
          files.WidePathInto(i, key);
          LowerAsciiInPlace(key);
          listed += engine.cache.count(key);
        }
      }
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
  if (!same && !WriteFileAtomicBelow(engine.root, CachePath(engine.installFolder), out)) {
    engine.cacheFileDigest.clear();
    return false;
  }
  engine.cacheFileDigest = std::move(digest);
  std::lock_guard<SlimLock> lock(engine.cacheLock);
  engine.cacheChanged = false;
  engine.cacheListed = SIZE_MAX;  // counted again if asked: the records have changed since the check
  return true;
}

Failure CheckManifestVersion(PatchEngine& engine, const JsonValue& doc) {
  const int32_t version = ManifestVersion(doc);
  engine.manifestVersion = version;
  int32_t installed = 0;
  if (ReadInstalledVersion(engine.root, installed) && version < installed) return {FailureKind::OlderVersion};
  return {};
}
