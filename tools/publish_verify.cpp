// quorvel-publish verify: checks a release folder the way an installer would see it, and
// every object on top, so a release is known good before the server offers it.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

#include "support/chunker.h"
#include "support/json.h"
#include "support/layout.h"
#include "tools/file_io.h"
#include "tools/json_writer.h"
#include "tools/objects.h"
#include "tools/publish.h"
#include "tools/release_paths.h"
#include "tools/signing.h"

static constexpr size_t kManifestLimit = layout::kManifestLimit;  // what the installer downloads at most

struct ListedPiece {
  std::string hash;
  uint64_t size = 0;
  uint64_t compressed = 0;
};

struct Entry {
  std::string label;  // how problems name it
  std::string path;
  std::string hash;
  uint64_t size = 0;
  uint64_t compressed = 0;
  std::vector<ListedPiece> pieces;  // "x", when the file is also published in pieces
};

static bool IsHash(const std::string& h) {
  return h.size() == 64 && h.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

static bool ReadSize(const JsonValue& entry, const char* key, const std::string& label, uint64_t& out,
                     std::vector<std::string>& problems) {
  const JsonValue& v = JsonGetMember(entry, key);
  if (v.type != JsonType::Number || !(v.number >= 0) || v.number > 1.8e19 || std::trunc(v.number) != v.number) {
    problems.push_back(label + ": \"" + key + "\" is not a byte count");
    return false;
  }
  out = static_cast<uint64_t>(v.number);
  return true;
}

// The pieces ("x") of an entry, which installers use only when each is well formed and they
// cover the file as the manifest's piece rule cuts it; anything else is a problem here (where
// the cuts fall is checked against the objects' bytes later).
static bool ReadPieces(const JsonValue& value, const PieceRule& rule, Entry& entry, std::vector<std::string>& problems) {
  const JsonValue& list = JsonGetMember(value, "x");
  if (list.type == JsonType::Null) return true;
  const std::string label = entry.label + ": \"x\"";
  if (list.type != JsonType::Array) {
    problems.push_back(label + " is not an array");
    return false;
  }
  std::vector<uint64_t> sizes;
  for (size_t i = 0; i < list.array.size(); ++i) {
    const JsonValue& element = list.array[i];
    const std::string where = label + " piece " + std::to_string(i + 1);
    ListedPiece piece;
    piece.hash = JsonAsString(JsonGetMember(element, "h"), "");
    if (element.type != JsonType::Object || !IsHash(piece.hash) ||
        piece.hash.find_first_of("ABCDEF") != std::string::npos) {
      problems.push_back(where + ": no lowercase 64-character hash \"h\"");
      return false;
    }
    if (!ReadSize(element, "s", where, piece.size, problems) || !ReadSize(element, "c", where, piece.compressed, problems))
      return false;
    sizes.push_back(piece.size);
    entry.pieces.push_back(std::move(piece));
  }
  if (!PieceSizesFit(rule, sizes, entry.size)) {
    problems.push_back(label + ": the piece sizes are not pieces of the file under " + PieceRuleKey(rule) +
                       " (installers would fetch it whole)");
    return false;
  }
  return true;
}

// Where the rule cuts the bytes of the pieces (inflated in order): every boundary must be one
// an installer's own cutting finds, or the pieces of its files never match. Fed piece by piece.
struct CutCheck {
  const PieceRule& rule;
  const std::vector<ListedPiece>& pieces;
  std::string window;  // bytes from the start of piece next on
  size_t next = 0;
  bool good = true;
  void Feed(const std::string& bytes, bool last) {
    window += bytes;
    while (good && next < pieces.size() && (window.size() >= rule.maxSize || last)) {
      const size_t cut = NextPieceLength(rule, reinterpret_cast<const uint8_t*>(window.data()), window.size());
      good = cut == pieces[next].size;
      window.erase(0, cut);
      ++next;
    }
  }
};

// The installer's file entry rules (object, path rule, 64 hexadecimal characters), plus the
// tool's own: lowercase hash and real byte counts.
static bool ReadEntry(const JsonValue& value, const std::string& label, const PieceRule& rule, Entry& entry,
                      std::vector<std::string>& problems) {
  entry.label = label;
  if (value.type != JsonType::Object) {
    problems.push_back(label + ": not an object");
    return false;
  }
  const JsonValue& p = JsonGetMember(value, "p");
  if (p.type != JsonType::String) {
    problems.push_back(label + ": no path \"p\"");
    return false;
  }
  entry.path = p.string;
  entry.label = label + " \"" + p.string + "\"";
  std::string why = InstallerPathProblem(p.string);
  if (why.empty()) why = OwnFileProblem(p.string);
  if (!why.empty()) {
    problems.push_back(entry.label + ": the installer refuses the path: " + why);
    return false;
  }
  entry.hash = JsonAsString(JsonGetMember(value, "h"), "");
  if (!IsHash(entry.hash)) {
    problems.push_back(entry.label + ": \"h\" is not 64 hexadecimal characters");
    return false;
  }
  bool ok = true;
  if (entry.hash.find_first_of("ABCDEF") != std::string::npos) {
    problems.push_back(entry.label + ": \"h\" has capital letters, which never match a computed hash");
    ok = false;
  }
  ok = ReadSize(value, "s", entry.label, entry.size, problems) && ok;
  ok = ReadSize(value, "c", entry.label, entry.compressed, problems) && ok;
  return ReadPieces(value, rule, entry, problems) && ok;
}

static void CheckOtherMembers(const JsonValue& manifest, std::vector<std::string>& problems) {
  const JsonValue& exe = JsonGetMember(manifest, "game_exe");
  if (exe.type != JsonType::Null) {
    std::string why = exe.type == JsonType::String ? InstallerPathProblem(exe.string) : "not a string";
    if (!why.empty()) problems.push_back("game_exe: " + why);
  }
  const JsonValue& del = JsonGetMember(manifest, "delete");
  if (del.type != JsonType::Null && del.type != JsonType::Array) problems.push_back("delete: not an array");
  for (size_t i = 0; i < del.array.size(); ++i) {
    const JsonValue& d = del.array[i];
    std::string why = d.type == JsonType::String ? InstallerPathProblem(d.string) : "not a string";
    if (why.empty()) why = OwnFileProblem(d.string);
    if (!why.empty()) problems.push_back("delete entry " + std::to_string(i + 1) + ": " + why);
  }
  const JsonValue& news = JsonGetMember(manifest, "news");
  if (news.type != JsonType::Null && news.type != JsonType::Array) problems.push_back("news: not an array");
  const JsonValue& links = JsonGetMember(manifest, "links");
  if (links.type != JsonType::Null && links.type != JsonType::Object) problems.push_back("links: not an object");
}

std::string UtcTimeText(int64_t seconds) {
  const time_t at = static_cast<time_t>(seconds);
  struct tm parts {};
  char out[32] = {};
  if (!gmtime_r(&at, &parts) || !std::strftime(out, sizeof(out), "%Y-%m-%dT%H:%M:%SZ", &parts)) return "";
  return out;
}

bool ReadUtcTime(const std::string& text, int64_t& seconds) {
  static const char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != sizeof(kShape) - 1) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != kShape[i]) return false;
  }
  struct tm parts {};
  parts.tm_year = std::stoi(text.substr(0, 4)) - 1900;
  parts.tm_mon = std::stoi(text.substr(5, 2)) - 1;
  parts.tm_mday = std::stoi(text.substr(8, 2));
  parts.tm_hour = std::stoi(text.substr(11, 2));
  parts.tm_min = std::stoi(text.substr(14, 2));
  parts.tm_sec = std::stoi(text.substr(17, 2));
  seconds = static_cast<int64_t>(timegm(&parts));
  return UtcTimeText(seconds) == text;  // timegm moves an impossible date on; the text must survive
}

static int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

// The release's "expires": a problem if installers would refuse it, a warning if they soon will.
static void CheckExpiry(const JsonValue& manifest, std::vector<std::string>& problems, std::string& note) {
  const JsonValue& expires = JsonGetMember(manifest, "expires");
  if (expires.type == JsonType::Null) {
    note = ", never expires";
    return;
  }
  int64_t at = 0;
  if (expires.type != JsonType::String || !ReadUtcTime(expires.string, at)) {
    problems.push_back("\"expires\" is not a UTC time of the form YYYY-MM-DDTHH:MM:SSZ; installers refuse the release");
    return;
  }
  const int64_t left = at - Now();
  if (left < 0) {
    problems.push_back("the release expired at " + expires.string +
                       "; installers refuse it a day after that (re-sign it: quorvel-publish resign)");
    return;
  }
  note = ", expires " + expires.string;
  if (left < kExpiryWarnSeconds) {
    std::printf("WARNING: the release expires at %s, in %lld hours; re-sign it (quorvel-publish resign) before then\n",
                expires.string.c_str(), static_cast<long long>(left / 3600));
  }
}

static void Report(const std::string& releaseDir, const std::vector<std::string>& problems) {
  std::printf("FAILED: %s has %zu problem%s:\n", releaseDir.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
  for (const std::string& p : problems) std::printf("  %s\n", p.c_str());
}

using CheckedObjects = std::map<std::string, std::pair<std::string, uint64_t>>;  // hash/size -> problem ("" if good), file size

// The entries of the manifest's files and launcher that read well; a path that two entries
// name on Windows is a problem.
static std::vector<Entry> ReadEntries(const JsonValue& manifest, const PieceRule& rule,
                                      std::vector<std::string>& problems) {
  std::vector<Entry> entries;
  const JsonValue& files = JsonGetMember(manifest, "files");
  for (size_t i = 0; i < files.array.size(); ++i) {
    Entry e;
    if (ReadEntry(files.array[i], "file " + std::to_string(i + 1), rule, e, problems)) entries.push_back(e);
  }
  const JsonValue& launcher = JsonGetMember(manifest, "launcher");
  if (launcher.type != JsonType::Null) {
    Entry e;
    if (ReadEntry(launcher, "launcher", rule, e, problems)) entries.push_back(e);
  }
  std::map<std::wstring, std::string> seen;
  for (const Entry& e : entries) {
    auto [it, added] = seen.emplace(WindowsPathKey(e.path), e.path);
    if (!added) problems.push_back(e.label + ": the same file on Windows as \"" + it->second + "\"");
  }
  return entries;
}

// Checks each entry's whole object once per content.
static void CheckWholeObjects(const std::string& releaseDir, const std::vector<Entry>& entries, CheckedObjects& checked,
                              std::vector<std::string>& problems) {
  const bool tty = isatty(STDOUT_FILENO);
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (tty) {
      std::printf("\r  checking object %zu/%zu", i + 1, entries.size());
      std::fflush(stdout);
    }
    std::string object = ObjectRelativePath(e.hash);
    std::string key = e.hash + "/" + std::to_string(e.size);
    auto it = checked.find(key);
    if (it == checked.end()) {
      uint64_t fileSize = 0;
      ObjectState state = CheckObject(releaseDir + "/" + object, e.size, e.hash, &fileSize);
      it = checked.emplace(key, std::make_pair(state == ObjectState::Good ? "" : ObjectStateText(state), fileSize)).first;
    }
    const auto& [why, fileSize] = it->second;
    if (!why.empty())
      problems.push_back(e.label + ": " + object + " " + why);
    else if (fileSize != e.compressed)
      problems.push_back(e.label + ": " + object + " is " + std::to_string(fileSize) +
                         " bytes, the manifest's \"c\" says " + std::to_string(e.compressed));
  }
  if (tty && !entries.empty()) std::printf("\n");
}

// Each piece is an object of its own, and together, in order, they are the file, cut where the
// rule cuts it.
static void CheckPieceObjects(const std::string& releaseDir, const PieceRule& rule, const std::vector<Entry>& entries,
                              CheckedObjects& checked, std::vector<std::string>& problems) {
  for (const Entry& e : entries) {
    if (e.pieces.empty()) continue;
    Sha256 whole;
    if (!Sha256Begin(whole)) {
      problems.push_back("SHA-256 is not available");
      return;
    }
    bool good = true;
    CutCheck cuts{rule, e.pieces};
    std::string bytes;
    for (size_t k = 0; k < e.pieces.size(); ++k) {
      const ListedPiece& piece = e.pieces[k];
      const std::string object = ObjectRelativePath(piece.hash);
      uint64_t fileSize = 0;
      bytes.clear();
      const ObjectState state =
          CheckObject(releaseDir + "/" + object, piece.size, piece.hash, &fileSize, &whole, &bytes);
      cuts.Feed(bytes, k + 1 == e.pieces.size());
      checked.emplace(piece.hash + "/" + std::to_string(piece.size), std::make_pair(std::string(), fileSize));
      const std::string where = e.label + ": piece " + std::to_string(k + 1) + " " + object;
      if (state != ObjectState::Good) {
        problems.push_back(where + " " + ObjectStateText(state));
        good = false;
        break;
      }
      if (fileSize != piece.compressed)
        problems.push_back(where + " is " + std::to_string(fileSize) + " bytes, the manifest's \"c\" says " +
                           std::to_string(piece.compressed));
    }
    if (Sha256Finish(whole) != e.hash && good)
      problems.push_back(e.label + ": its pieces together are not the file its \"h\" names");
    else if (good && !cuts.good)
      problems.push_back(e.label + ": piece " + std::to_string(cuts.next) + " does not end where " +
                         PieceRuleKey(rule) + " cuts the file (installers would find none of its pieces)");
  }
}

int RunVerify(const std::string& releaseDir, const std::string& publicKeyHex) {
  std::string publicKey;
  if (!HexDecode(publicKeyHex, 32, publicKey)) {
    std::fprintf(stderr, "quorvel-publish: --public-key takes 64 hexadecimal characters\n");
    return 2;
  }
  if (!CryptoInit()) {
    std::fprintf(stderr, "quorvel-publish: libgcrypt could not be initialised\n");
    return 1;
  }
  std::vector<std::string> problems;
  std::string manifestText, signature, error;
  if (!ReadFileBytes(releaseDir + "/" + layout::kManifestFile.narrow, manifestText, error)) {
    problems.push_back(error);
    Report(releaseDir, problems);
    return 1;
  }
  if (!ReadFileBytes(releaseDir + "/" + layout::kSignatureFile.narrow, signature, error)) problems.push_back(error);
  else if (signature.size() != 64) problems.push_back("manifest.sig is " + std::to_string(signature.size()) + " bytes, not 64");
  else if (!VerifySignature(publicKey, manifestText, signature))
    problems.push_back("manifest.sig is not a valid signature of manifest.json for this public key");
  if (manifestText.size() > kManifestLimit)
    problems.push_back("manifest.json is larger than the 32 MiB that installers download");

  JsonValue manifest;
  std::string parseError;
  if (!JsonParse(manifestText, manifest, &parseError)) {
    problems.push_back("manifest.json is not valid JSON (" + parseError + ")");
  } else if (manifest.type != JsonType::Object) {
    problems.push_back("manifest.json is not a JSON object");
  } else {
    const JsonValue& format = JsonGetMember(manifest, "format");
    if (format.type != JsonType::Number || JsonAsInt64(format) != 1) problems.push_back("\"format\" is not 1");
    if (JsonGetMember(manifest, "files").type != JsonType::Array) problems.push_back("\"files\" is not an array");
    PieceRule rule;
    if (ReadPieceRule(manifest, rule) == PieceRuleFound::Unknown)
      problems.push_back("\"pieces\" names a rule or bounds installers cannot cut with");
    const std::vector<Entry> entries = ReadEntries(manifest, rule, problems);
    CheckOtherMembers(manifest, problems);
    std::string expiryNote;
    CheckExpiry(manifest, problems, expiryNote);

    CheckedObjects checked;
    CheckWholeObjects(releaseDir, entries, checked, problems);
    CheckPieceObjects(releaseDir, rule, entries, checked, problems);
    if (problems.empty()) {
      uint64_t bytes = 0;
      for (const Entry& e : entries) bytes += e.size;
      std::printf("OK: %s, version %d, %zu files, %zu objects, %llu bytes, signature valid%s\n", releaseDir.c_str(),
                  static_cast<int32_t>(JsonAsInt64(JsonGetMember(manifest, "version"))), entries.size(),
                  checked.size(), static_cast<unsigned long long>(bytes), expiryNote.c_str());
      return 0;
    }
  }
  Report(releaseDir, problems);
  return 1;
}

// ---- resign ------------------------------------------------------------------------------

// Skips the JSON value that starts at text[i] (valid JSON, checked before); returns where it ends.
static size_t SkipValue(const std::string& text, size_t i) {
  int depth = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i)
        if (text[i] == '\\') ++i;
      if (depth == 0) return i + 1;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth == 0) return i;
      if (--depth == 0) return i + 1;
    } else if (depth == 0 && (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      return i;
    }
  }
  return i;
}

static size_t SkipBlanks(const std::string& text, size_t i) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  return i;
}

// In the valid JSON object text: where its first member starts (just after "{"), and the span
// of the value of its top-level member name, if it has one (found false otherwise).
static void FindTopMember(const std::string& text, const std::string& name, size_t& open, bool& found,
                          size_t& valueStart, size_t& valueEnd) {
  size_t i = SkipBlanks(text, 0);
  open = i + 1;
  found = false;
  for (i = SkipBlanks(text, open); i < text.size() && text[i] == '"';) {
    const size_t keyEnd = SkipValue(text, i);
    const bool match = text.compare(i + 1, keyEnd - i - 2, name) == 0 && keyEnd - i - 2 == name.size();
    i = SkipBlanks(text, SkipBlanks(text, keyEnd) + 1);  // past the colon
    const size_t end = SkipValue(text, i);
    if (match) {
      found = true;
      valueStart = i;
      valueEnd = end;
      return;
    }
    i = SkipBlanks(text, end);
    if (i < text.size() && text[i] == ',') i = SkipBlanks(text, i + 1);
  }
}

int RunResign(const std::string& releaseDir, const std::string& keyFile, int64_t expiresAt) {
  if (!CryptoInit()) {
    std::fprintf(stderr, "quorvel-publish: libgcrypt could not be initialised\n");
    return 1;
  }
  std::string seed, publicKey, error, text, signature;
  const bool keyOk = ReadKeyFile(keyFile, seed, error) && PublicKeyFromSeed(seed, publicKey);
  const auto fail = [&seed](const std::string& why) {
    explicit_bzero(seed.data(), seed.size());
    std::fprintf(stderr, "quorvel-publish: %s\n", why.c_str());
    return 1;
  };
  if (!keyOk) return fail(error.empty() ? "the key cannot be used" : error);
  const std::string json = releaseDir + "/" + layout::kManifestFile.narrow, sig = releaseDir + "/" + layout::kSignatureFile.narrow;
  if (!ReadFileBytes(json, text, error) || !ReadFileBytes(sig, signature, error)) return fail(error);
  if (!VerifySignature(publicKey, text, signature))
    return fail("manifest.sig in " + releaseDir + " is not this key's signature of manifest.json; only a release " +
                "this key signed is re-signed");
  JsonValue before;
  std::string parseError;
  if (!JsonParse(text, before, &parseError) || before.type != JsonType::Object)
    return fail("manifest.json is not a JSON object");
  const std::string value = "\"" + UtcTimeText(expiresAt) + "\"";
  size_t open = 0, valueStart = 0, valueEnd = 0;
  bool found = false;
  FindTopMember(text, "expires", open, found, valueStart, valueEnd);
  std::string fresh = text;
  if (found) fresh.replace(valueStart, valueEnd - valueStart, value);
  else fresh.insert(open, (open < text.size() && text[open] == '\n' ? "\n\"expires\": " : "\"expires\": ") + value +
                              (open < text.size() && text[open] == '\n' ? "," : ",\n"));
  // Nothing but the expiry may differ: the same members with the same values.
  JsonValue after;
  if (!JsonParse(fresh, after, &parseError) || after.type != JsonType::Object)
    return fail("the re-signed manifest would not be valid JSON; nothing was changed");
  after.object.erase("expires");
  before.object.erase("expires");
  std::string afterText, beforeText;
  if (!JsonWriteValue(afterText, after, nullptr) || !JsonWriteValue(beforeText, before, nullptr) ||
      afterText != beforeText)
    return fail("the re-signed manifest would differ in more than its expiry; nothing was changed");
  if (fresh.size() > kManifestLimit) return fail("the manifest would be larger than installers read");
  std::string freshSignature;
  if (!SignMessage(seed, fresh, freshSignature) || !VerifySignature(publicKey, fresh, freshSignature))
    return fail("signing the manifest failed");
  explicit_bzero(seed.data(), seed.size());
  const bool written = WriteTempFile(json + ".tmp", fresh, error) && WriteTempFile(sig + ".tmp", freshSignature, error) &&
                       RenameDurably(json + ".tmp", json, error) && RenameDurably(sig + ".tmp", sig, error);
  if (!written) {
    unlink((json + ".tmp").c_str());
    unlink((sig + ".tmp").c_str());
    std::fprintf(stderr, "quorvel-publish: %s\n", error.c_str());
    return 1;
  }
  std::printf("Re-signed version %d in %s: expires %s\n", static_cast<int32_t>(JsonAsInt64(JsonGetMember(after, "version"))),
              releaseDir.c_str(), UtcTimeText(expiresAt).c_str());
  return 0;
}
