#include "patch/manifest.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <set>

#include "app/build_config.h"
#include "app/languages.h"
#include "patch/engine.h"
#include "patch/news.h"
#include "support/chunker.h"
#include "support/http.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/text.h"
#include "support/wait.h"

static constexpr uint32_t kSignatureSize = 64;

static std::wstring Text(LauncherText field) { return LauncherString(field); }

// Whole part of a JSON number as an unsigned size; negative reads as 0. Values beyond the
// 64-bit range (1e30, which the JSON reader gives as a double) saturate instead of being
// undefined.
static uint64_t SizeFromNumber(const JsonValue& value) {
  if (value.type != JsonType::Number || !(value.number > 0)) return 0;
  const double whole = std::trunc(value.number);
  if (whole >= 18446744073709551616.0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(whole);
}

static bool IsHexHash(const std::string& hash) {
  if (hash.size() != 64) return false;
  for (char c : hash) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

// The pieces listed; empty unless every piece is well formed with at most maxSize bytes.
static std::vector<Chunk> ListedChunks(const JsonValue& list, uint64_t maxSize, std::vector<uint64_t>& sizes) {
  sizes.clear();
  if (list.type != JsonType::Array || list.array.empty()) return {};
  std::vector<Chunk> chunks(list.array.size());
  sizes.resize(list.array.size());
  for (size_t i = 0; i < chunks.size(); ++i) {
    const JsonValue& element = list.array[i];
    Chunk& chunk = chunks[i];
    if (element.type != JsonType::Object) return {};
    chunk.hash = JsonAsString(JsonGetMember(element, "h"), "");
    sizes[i] = SizeFromNumber(JsonGetMember(element, "s"));
    if (!IsHexHash(chunk.hash) || sizes[i] > maxSize) return {};
    chunk.size = static_cast<uint32_t>(sizes[i]);
    chunk.compressedSize = SizeFromNumber(JsonGetMember(element, "c"));
  }
  return chunks;
}

// The pieces of a file of size bytes; empty unless every piece is well formed and together
// they are the file as rule cuts it (a rule this program does not know: no pieces).
static std::vector<Chunk> ParseChunks(const JsonValue& list, uint64_t size, const PieceRule* rule) {
  if (!rule) return {};
  std::vector<uint64_t> sizes;
  std::vector<Chunk> chunks = ListedChunks(list, rule->maxSize, sizes);
  if (chunks.empty() || !PieceSizesFit(*rule, sizes, size)) return {};
  return chunks;
}

// ParseFileEntry with every well-formed piece list kept, for a rule not known yet: the lists
// are checked against it once it is (KeepFittingPieces).
static bool ParseFileEntryListed(const JsonValue& value, FileEntry& entry, std::vector<uint64_t>& sizes) {
  if (!ParseFileEntry(value, entry)) return false;
  entry.chunks = ListedChunks(JsonGetMember(value, "x"), UINT32_MAX, sizes);
  return true;
}

// Lets go of the piece lists that are not their file as rule cuts it (no rule: all of them), as
// ParseChunks would have; the hashes of the lists let go of stay in text, unused.
static void KeepFittingPieces(FileList& files, const PieceRule* rule) {
  std::vector<FileList::ChunkRange> ranges;
  std::vector<FileList::ChunkItem> chunks;
  std::vector<uint64_t> sizes;
  for (const FileList::ChunkRange& range : files.chunkRanges) {
    if (!rule) break;
    sizes.clear();
    for (uint32_t k = 0; k < range.count; ++k) sizes.push_back(files.chunks[range.first + k].size);
    if (!PieceSizesFit(*rule, sizes, files.items[range.item].size)) continue;
    ranges.push_back({range.item, static_cast<uint32_t>(chunks.size()), range.count});
    chunks.insert(chunks.end(), files.chunks.begin() + range.first, files.chunks.begin() + range.first + range.count);
  }
  files.chunkRanges = std::move(ranges);
  files.chunks = std::move(chunks);
}

bool ParseFileEntry(const JsonValue& value, FileEntry& entry, const PieceRule* rule) {
  if (value.type != JsonType::Object) return false;
  FileEntry parsed;
  parsed.path = JsonAsString(JsonGetMember(value, "p"), "");
  parsed.hash = JsonAsString(JsonGetMember(value, "h"), "");
  if (!IsHexHash(parsed.hash) || !ToSafeRelativePath(parsed.path, parsed.widePath)) return false;
  parsed.size = SizeFromNumber(JsonGetMember(value, "s"));
  parsed.compressedSize = SizeFromNumber(JsonGetMember(value, "c"));
  const JsonValue& keep = JsonGetMember(value, "k");
  parsed.keep = keep.type == JsonType::Number && std::trunc(keep.number) != 0;
  parsed.chunks = ParseChunks(JsonGetMember(value, "x"), parsed.size, rule);
  entry = std::move(parsed);
  return true;
}

std::vector<std::wstring> PatchMirrors() {
  std::vector<std::wstring> mirrors;
  for (size_t start = 0; start <= g_patchBaseUrl.size();) {
    size_t end = g_patchBaseUrl.find(L';', start);
    if (end == std::wstring::npos) end = g_patchBaseUrl.size();
    if (end > start) mirrors.push_back(g_patchBaseUrl.substr(start, end - start));
    start = end + 1;
  }
  return mirrors;
}

std::wstring ObjectUrlAt(const std::wstring& base, const std::string& hash) {
  return base + layout::kObjectsFolder.wide + Utf8ToWide(hash.substr(0, 2)) + L"/" + Utf8ToWide(hash) + layout::kObjectSuffix.wide;
}

std::wstring ManifestFileUrl(const std::string& hash) {
  const std::vector<std::wstring> mirrors = PatchMirrors();
  return ObjectUrlAt(mirrors.empty() ? std::wstring() : mirrors[0], hash);
}

std::wstring CurrentMirror(PatchEngine& engine, size_t& index) {
  std::lock_guard<SlimLock> lock(engine.mirrorLock);
  if (engine.mirrorSource != g_patchBaseUrl) {  // a caller that started no run, or changed servers
    engine.mirrorSource = g_patchBaseUrl;
    engine.mirrors = PatchMirrors();
    engine.mirrorFailed.assign(engine.mirrors.size(), 0);
    engine.mirror = 0;
  }
  index = engine.mirror < engine.mirrors.size() ? engine.mirror : 0;
  return engine.mirrors.empty() ? std::wstring() : engine.mirrors[index];
}

bool LeaveMirror(PatchEngine& engine, size_t index, const std::wstring& why) {
  std::lock_guard<SlimLock> lock(engine.mirrorLock);
  if (index >= engine.mirrors.size()) return false;
  size_t next = engine.mirrors.size();
  for (size_t k = 1; k < engine.mirrors.size() && next == engine.mirrors.size(); ++k) {
    const size_t candidate = (index + k) % engine.mirrors.size();
    if (!engine.mirrorFailed[candidate]) next = candidate;
  }
  if (next == engine.mirrors.size()) return false;  // the last one left stays
  if (!engine.mirrorFailed[index])
    LogLine(L"patch server " + engine.mirrors[index] + L" is not asked again in this run: " + why);
  engine.mirrorFailed[index] = 1;
  if (engine.mirror == index || engine.mirrorFailed[engine.mirror]) engine.mirror = next;
  return true;
}

bool PublicKeyConfigured() {
  for (unsigned char b : g_publicKey)
    if (b != 0) return true;
  return false;
}

std::wstring NoPublicKeyText() { return Text(LauncherText::ErrNoPublicKey); }

int64_t UnixNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
static int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool ParseUtcTime(const std::string& text, int64_t& seconds) {
  static const char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != sizeof(kShape) - 1) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != kShape[i]) return false;
  }
  const auto number = [&text](size_t at, size_t length) { return std::stoll(text.substr(at, length)); };
  const int64_t y = number(0, 4), mo = number(5, 2), d = number(8, 2);
  const int64_t h = number(11, 2), mi = number(14, 2), se = number(17, 2);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] + (mo == 2 && leap) || h > 23 || mi > 59 || se > 59)
    return false;
  seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + se;
  return true;
}

std::string FormatUtcTime(int64_t seconds) {
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // The inverse of DaysFromCivil.
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  char out[32];
  std::snprintf(out, sizeof(out), "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return out;
}

bool ManifestExpiry(const JsonValue& doc, bool& present, int64_t& seconds) {
  const JsonValue& expires = JsonGetMember(doc, "expires");
  present = expires.type != JsonType::Null;
  if (!present) return true;
  return expires.type == JsonType::String && ParseUtcTime(expires.string, seconds);
}

// The patch servers not yet left in this run, index included.
static size_t MirrorsLeft(PatchEngine& engine) {
  std::lock_guard<SlimLock> lock(engine.mirrorLock);
  size_t left = 0;
  for (uint8_t failed : engine.mirrorFailed) left += failed ? 0 : 1;
  return left;
}

// Leaves a server for good; the last one left is only logged, since the run ends with it.
static void RefuseMirror(PatchEngine& engine, size_t index, const std::wstring& base, const std::wstring& why) {
  if (!LeaveMirror(engine, index, why)) LogLine(L"patch server " + base + L" is not asked again in this run: " + why);
}

// What a verified manifest from base is worth under rule; why says what is wrong with it.
enum class Verdict { Current, TooOld, Expired, Invalid };
static Verdict Judge(const ManifestRule& rule, const JsonValue& doc, const std::wstring& base, std::wstring& why) {
  const int32_t version = ManifestVersion(doc);
  bool present = false;
  int64_t expires = 0;
  if (!ManifestExpiry(doc, present, expires)) {
    why = L"(expires)";
    return Verdict::Invalid;
  }
  const std::wstring offers = L"it offers version " + std::to_wstring(version);
  if (rule.haveFloor && version < rule.floor) {
    why = offers + L", older than " + (rule.floorInstalled ? L"the installed " : L"version ") +
          std::to_wstring(rule.floor) + (rule.floorInstalled ? L"" : L", which this installation accepted before");
    return Verdict::TooOld;
  }
  const std::wstring until = present ? Utf8ToWide(FormatUtcTime(expires)) : std::wstring();
  if (present && rule.now > expires + kExpirySkewSeconds) {
    why = offers + L", which expired at " + until + L" (this computer's clock says " +
          Utf8ToWide(FormatUtcTime(rule.now)) + L")";
    return Verdict::Expired;
  }
  LogLine(L"patch server " + base + L" offers version " + std::to_wstring(version) +
          (present ? L", valid until " + until : std::wstring(L", which does not expire")));
  return Verdict::Current;
}

namespace {

// The manifest the size query fetched, for the run that follows it.
struct OfferedManifest {
  SlimLock lock;
  std::wstring base;
  std::string bytes;
  ULONGLONG at = 0;
};
OfferedManifest& Offered() {
  static OfferedManifest* offered = new OfferedManifest;  // never destroyed: threads may outlive exit
  return *offered;
}

constexpr ULONGLONG kOfferedManifestMs = 10 * 60 * 1000;

// Moves the offered copy of base's manifest into out; false if there is none that recent.
bool TakeOfferedManifest(const std::wstring& base, std::string& out) {
  OfferedManifest& offered = Offered();
  std::lock_guard<SlimLock> lock(offered.lock);
  const bool usable = !offered.bytes.empty() && offered.base == base && GetTickCount64() - offered.at < kOfferedManifestMs;
  if (usable) out = std::move(offered.bytes);
  offered.bytes = std::string();
  offered.base.clear();
  return usable;
}

}  // namespace

void OfferManifestCopy(const std::wstring& base, std::string bytes) {
  OfferedManifest& offered = Offered();
  std::lock_guard<SlimLock> lock(offered.lock);
  offered.base = base;
  offered.bytes = std::move(bytes);
  offered.at = GetTickCount64();
}

static ManifestFetch Fetch(PatchEngine& engine, const ManifestRule* rule, std::string& bytes, CompactManifest* doc,
                           std::wstring& error) {
  if (!PublicKeyConfigured()) {
    error = NoPublicKeyText();
    return ManifestFetch::Failed;
  }
  int32_t manifestStatus = 0;
  int32_t signatureStatus = 0;
  bool badSignature = false;
  bool tooOld = false, expired = false;
  // Servers that take the request and never answer share this wait, so that any number of them
  // costs a bounded time; the last server left is waited for as always.
  const uint64_t silentBudgetMs = 2 * HttpDeadlineFloorMs();
  uint64_t silentSpentMs = 0;
  for (;;) {
    size_t mirror = 0;
    const std::wstring base = CurrentMirror(engine, mirror);
    bool judged = false;
    Attempts tries{kManifestAttempts, engine.cancel};
    do {
      if (!BeginAttempt(tries)) return ManifestFetch::Cancelled;
      const bool others = MirrorsLeft(engine) > 1;
      if (others && silentSpentMs >= silentBudgetMs &&
          LeaveMirror(engine, mirror, L"servers before it used up the " + std::to_wstring(silentBudgetMs) +
                                          L" ms allowed for servers that do not answer"))
        break;
      // 0 waits the floor itself.
      const auto headWait = [&] { return others ? silentBudgetMs - std::min(silentSpentMs, silentBudgetMs) : 0; };
      std::string manifest, signature;
      ULONGLONG began = GetTickCount64();
      const bool offered = TakeOfferedManifest(base, manifest);
      if (offered) LogLine(L"manifest.json of " + base + L" as fetched moments ago; only its signature is fetched");
      manifestStatus = offered ? 200
                               : HttpGetDocument(base + layout::kManifestFile.wide, manifest, layout::kManifestLimit, &engine.cancel,
                                                 headWait());
      if (manifestStatus == kHttpNoAnswer && others) silentSpentMs += GetTickCount64() - began;
      signatureStatus = 0;
      if (manifestStatus == 200) {
        began = GetTickCount64();
        signatureStatus = HttpGetToMemory(base + layout::kSignatureFile.wide, signature, kSignatureSize, &engine.cancel, headWait());
        if (signatureStatus == kHttpNoAnswer && others) silentSpentMs += GetTickCount64() - began;
      }
      badSignature = false;
      if (engine.cancel) return ManifestFetch::Cancelled;
      // A server that refuses the connection, or takes it and says nothing, is left at once
      // while another remains.
      if (manifestStatus == kHttpNoServer && LeaveMirror(engine, mirror, L"no connection to " + base + layout::kManifestFile.wide))
        break;
      const bool silent = manifestStatus == kHttpNoAnswer || signatureStatus == kHttpNoAnswer;
      if (silent && LeaveMirror(engine, mirror,
                                L"no answer from " + base + (manifestStatus == kHttpNoAnswer ? layout::kManifestFile.wide : layout::kSignatureFile.wide)))
        break;
      if (manifestStatus != 200 || signatureStatus != 200) continue;
      badSignature = true;  // a body of another length counts as a signature that fails
      if (signature.size() != kSignatureSize) continue;
      engine.PostStage(StageVerifying);
      if (Ed25519Check(reinterpret_cast<const uint8_t*>(signature.data()), g_publicKey,
                       reinterpret_cast<const uint8_t*>(manifest.data()), manifest.size()) != 0)
        continue;
      if (!rule) {
        bytes = std::move(manifest);
        return ManifestFetch::Ok;
      }
      if (!ParseManifest(manifest, *doc, error)) return ManifestFetch::Failed;
      engine.manifestVersion = ManifestVersion(doc->members);  // also of one refused below, as read
      std::wstring why;
      switch (Judge(*rule, doc->members, base, why)) {
        case Verdict::Current: return ManifestFetch::Ok;
        case Verdict::Invalid:
          error = Text(LauncherText::ErrManifest) + L" " + why;
          return ManifestFetch::Failed;
        case Verdict::TooOld: tooOld = true; break;
        case Verdict::Expired: expired = true; break;
      }
      badSignature = false;
      *doc = CompactManifest();
      RefuseMirror(engine, mirror, base, why);
      judged = true;
    } while (!judged && AnotherAttempt(tries));
    size_t now = 0;
    CurrentMirror(engine, now);
    if (now != mirror) continue;  // left above for another server
    if (judged) break;            // the last server left offers nothing that will do
    const std::wstring why = badSignature ? L"the signature of its manifest.json does not verify"
                             : manifestStatus == kHttpNoAnswer ? L"no answer from " + base + layout::kManifestFile.wide
                                                               : L"manifest.json: status " + std::to_wstring(manifestStatus) +
                                                                     L", manifest.sig: status " + std::to_wstring(signatureStatus);
    if (!LeaveMirror(engine, mirror, why)) break;
  }
  if (expired) {
    error = Text(LauncherText::ErrExpired);
  } else if (tooOld) {
    error = Text(LauncherText::ErrOlderVersion);
  } else if (badSignature) {
    error = Text(LauncherText::ErrSignature);
  } else {
    error = Text(LauncherText::ErrConnect);
    if (manifestStatus > 0) {
      const int32_t code = manifestStatus != 200 ? manifestStatus : signatureStatus;
      error += L" (HTTP " + std::to_wstring(code) + L")";
    }
  }
  return ManifestFetch::Failed;
}

ManifestFetch FetchSignedManifest(PatchEngine& engine, std::string& bytes, std::wstring& error) {
  return Fetch(engine, nullptr, bytes, nullptr, error);
}

ManifestFetch FetchCurrentManifest(PatchEngine& engine, const ManifestRule& rule, CompactManifest& doc,
                                   std::wstring& error) {
  std::string bytes;
  return Fetch(engine, &rule, bytes, &doc, error);
}

bool ParseManifest(const std::string& bytes, CompactManifest& doc, std::wstring& error) {
  doc = CompactManifest();
  FileList& files = doc.files;
  FileEntry entry;
  std::vector<uint64_t> sizes;
  JsonStream stream;
  stream.key = "files";
  stream.begin = [&](size_t elements, size_t bytesLeft) {
    // A repeated files member: its last value is the list.
    files = FileList();
    doc.filesRead = true;
    // Room made once, with the launcher's entry: growing by doubling would briefly hold two
    // copies. Paths and hashes take fewer bytes than the text of the document they come from.
    files.items.reserve(elements + 1);
    files.text.reserve(bytesLeft + 400 + 64);
  };
  stream.element = [&](JsonValue& element) {
    if (!doc.filesRead) return;
    doc.filesRead = ParseFileEntryListed(element, entry, sizes);
    if (doc.filesRead) files.Add(entry);
  };
  std::string message;
  const bool parsed = JsonParseStreamed(bytes, stream, doc.members, &message);
  if (parsed && doc.members.type == JsonType::Object) {
    const JsonValue& format = JsonGetMember(doc.members, "format");
    if (format.type == JsonType::Number && std::trunc(format.number) == 1 &&
        JsonGetMember(doc.members, "files").type == JsonType::Array) {
      // Lists cut by a rule this program does not know are left out: those files come whole.
      const bool ruleKnown = ReadPieceRule(doc.members, files.pieceRule) != PieceRuleFound::Unknown;
      KeepFittingPieces(files, ruleKnown ? &files.pieceRule : nullptr);
      return true;
    }
  }
  error = Text(LauncherText::ErrManifest) + L" " + Utf8ToWide(parsed ? std::string() : message);
  return false;
}

int32_t ManifestVersion(const JsonValue& doc) {
  const JsonValue& version = JsonGetMember(doc, "version");
  if (version.type != JsonType::Number || std::isnan(version.number)) return 0;
  const double whole = std::trunc(version.number);
  if (whole <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (whole >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(whole);
}

void PublishManifestData(PatchEngine& engine, const JsonValue& doc) {
  std::wstring gameExe;
  const bool gameExeOk =
      ToSafeRelativePath(JsonAsString(JsonGetMember(doc, "game_exe"), layout::kDefaultGameExe), gameExe);
  std::vector<NewsItem> news = ReadNews(JsonGetMember(doc, "news"));
  auto links = ReadLinks(JsonGetMember(doc, "links"));
  {
    std::lock_guard<SlimLock> lock(engine.stateLock);
    if (gameExeOk) engine.gameExe = std::move(gameExe);
    engine.news = std::move(news);
    engine.links = std::move(links);
  }
  if (engine.notifyWindow && engine.notifyMessage)
    PostMessageW(engine.notifyWindow, engine.notifyMessage, StageVerifying, 1);
}

void FileList::Add(const FileEntry& entry) {
  Item item;
  item.size = entry.size;
  item.compressedSize = entry.compressedSize;
  item.at = static_cast<uint32_t>(text.size());
  item.pathLength = static_cast<uint16_t>(entry.path.size());
  item.keep = entry.keep;
  text += entry.path;
  text += entry.hash;
  if (!entry.chunks.empty()) {
    chunkRanges.push_back({static_cast<uint32_t>(items.size()), static_cast<uint32_t>(chunks.size()),
                           static_cast<uint32_t>(entry.chunks.size())});
    for (const Chunk& chunk : entry.chunks) {
      chunks.push_back({chunk.compressedSize, chunk.size, static_cast<uint32_t>(text.size())});
      text += chunk.hash;
    }
  }
  items.push_back(item);
}

void FileList::WidePathInto(size_t i, std::wstring& out) const {
  // The path passed the path rule when it was added; its backslash form is its wide text with
  // every slash turned, which is cheaper than keeping a second copy of every path.
  Utf8ToWideInto(Path(i), out);
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
}

std::wstring FileList::WidePath(size_t i) const {
  std::wstring wide;
  WidePathInto(i, wide);
  return wide;
}

FileEntry FileList::operator[](size_t i) const {
  FileEntry entry;
  entry.path = std::string(Path(i));
  entry.widePath = WidePath(i);
  entry.hash = std::string(Hash(i));
  entry.size = items[i].size;
  entry.compressedSize = items[i].compressedSize;
  entry.keep = items[i].keep;
  const auto range = std::lower_bound(chunkRanges.begin(), chunkRanges.end(), i,
                                      [](const ChunkRange& r, size_t item) { return r.item < item; });
  if (range != chunkRanges.end() && range->item == i) {
    entry.chunks.resize(range->count);
    for (uint32_t k = 0; k < range->count; ++k) {
      const ChunkItem& item = chunks[range->first + k];
      entry.chunks[k] = {text.substr(item.hashAt, 64), item.size, item.compressedSize};
    }
  }
  return entry;
}

bool ReadManifestFiles(CompactManifest& doc, FileList& files, std::wstring& error) {
  files = std::move(doc.files);
  doc.files = FileList();
  if (doc.filesRead) return true;
  error = Text(LauncherText::ErrManifest) + L" (path)";
  return false;
}

std::vector<std::string> ManifestDeleteList(const JsonValue& doc) {
  std::vector<std::string> paths;
  const JsonValue& list = JsonGetMember(doc, "delete");
  if (list.type != JsonType::Array) return paths;
  paths.reserve(list.array.size());
  for (const JsonValue& element : list.array) paths.push_back(JsonAsString(element, ""));
  return paths;
}

// The key under which Windows sees two names as one file: case folded the way the file system
// folds it, not only A-Z.
static std::wstring FoldedKey(const std::wstring& path) {
  std::wstring key = path;
  if (!key.empty()) {
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(), static_cast<int>(path.size()),
                  key.data(), static_cast<int>(key.size()), nullptr, nullptr, 0);
  }
  return key;
}

bool CheckManifestPaths(const FileList& files, const std::vector<std::string>& deleteList, std::wstring& error) {
  const auto refuse = [&error](const std::wstring& path) {
    error = Text(LauncherText::ErrManifest) + L" " + path;
    return false;
  };
  std::set<std::wstring> seen;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::wstring path = files.WidePath(i);
    if (IsInstallerOwnPath(path) || !seen.insert(FoldedKey(path)).second) return refuse(path);
  }
  for (const std::string& element : deleteList) {
    std::wstring relative;
    if (!ToSafeRelativePath(element, relative)) continue;  // skipped when applied
    if (IsInstallerOwnPath(relative) || seen.count(FoldedKey(relative)) != 0) return refuse(relative);
  }
  return true;
}
