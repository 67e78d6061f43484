#pragma once
// The signed manifest: fetch and signature check, file entries, object URLs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/chunker.h"
#include "support/json.h"

struct PatchEngine;

// One piece of a file published in pieces ("x"): the object of its own bytes.
struct Chunk {
  std::string hash;             // "h", 64 hex characters, of the piece's own bytes
  uint32_t size = 0;            // "s", as the manifest's piece rule cut it
  uint64_t compressedSize = 0;  // "c"
};

// One file of the manifest (or the launcher's own entry).
struct FileEntry {
  std::string path;        // "p" as written (UTF-8)
  std::wstring widePath;   // the path rule's backslash form
  std::string hash;        // "h", 64 hex characters
  uint64_t size = 0;       // "s"
  uint64_t compressedSize = 0;  // "c"
  bool keep = false;       // "k"
  std::vector<Chunk> chunks;  // "x", in file order; empty when the file comes only whole
};

// The manifest's files as a run keeps them: every path and hash once, back to back in one
// buffer, and a small fixed record per file (about 90 bytes per file plus its path), so that
// the parsed manifest can be let go of once the list exists.
struct FileList {
  struct Item {
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    uint32_t at = 0;          // offset of the path in text; its 64 hash bytes follow it
    uint16_t pathLength = 0;  // the path rule allows at most 400 bytes
    bool keep = false;
  };
  // The pieces of the few files published in pieces; their hashes are in text too.
  struct ChunkItem {
    uint64_t compressedSize = 0;
    uint32_t size = 0;
    uint32_t hashAt = 0;
  };
  struct ChunkRange {
    uint32_t item = 0, first = 0, count = 0;
  };
  std::string text;
  PieceRule pieceRule = kFixedMiBRule;  // how the lists in chunks were cut
  std::vector<Item> items;
  std::vector<ChunkItem> chunks;
  std::vector<ChunkRange> chunkRanges;  // by item, ascending

  size_t size() const { return items.size(); }
  bool empty() const { return items.empty(); }
  // Appends an entry that ParseFileEntry accepted (a 64-byte hash, a path of at most 400 bytes).
  void Add(const FileEntry& entry);
  // The manifest's "p" as written.
  std::string_view Path(size_t i) const { return std::string_view(text).substr(items[i].at, items[i].pathLength); }
  // The manifest's "h".
  std::string_view Hash(size_t i) const { return std::string_view(text).substr(items[i].at + items[i].pathLength, 64); }
  // The path rule's backslash form of Path(i).
  std::wstring WidePath(size_t i) const;
  // The same into out, whose room is kept for the next.
  void WidePathInto(size_t i, std::wstring& out) const;
  // Entry i as a whole record, its pieces included.
  FileEntry operator[](size_t i) const;
  // Bytes held for the list (buffers at their capacity).
  size_t MemoryBytes() const {
    return text.capacity() + items.capacity() * sizeof(Item) + chunks.capacity() * sizeof(ChunkItem) +
           chunkRanges.capacity() * sizeof(ChunkRange);
  }
};

// A verified manifest as a run holds it: the file list, read while the document was parsed, and
// the other top-level members (version, news, delete list, ...) as parsed, with files an empty
// array: never a tree of every entry.
struct CompactManifest {
  JsonValue members;
  FileList files;
  bool filesRead = true;  // no element of files failed ParseFileEntry
};

// Fills entry from a manifest value; false if not an object, the hash is not 64 hex
// characters or the path fails the path rule. Pieces ("x") that are not the file as rule cuts
// it (see PieceSizesFit), or with a hash that is not 64 hex characters, are left out, and so
// are all pieces without a rule: the file then comes whole.
bool ParseFileEntry(const JsonValue& value, FileEntry& entry, const PieceRule* rule = nullptr);
// The patch servers, in the order they are tried: g_patchBaseUrl split at its semicolons.
std::vector<std::wstring> PatchMirrors();
// base + "files/" + hash[0..2) + "/" + hash + ".z"
std::wstring ObjectUrlAt(const std::wstring& base, const std::string& hash);
// The same at the first patch server.
std::wstring ManifestFileUrl(const std::string& hash);
// The server objects come from in this run, and its index in engine.mirrors (the first that
// has not failed when nothing has been chosen).
std::wstring CurrentMirror(PatchEngine& engine, size_t& index);
// Server index failed (why, for the log): it is not asked again this run, and objects move to
// the next one that has not failed. False, with nothing changed, when it is the last one left.
bool LeaveMirror(PatchEngine& engine, size_t index, const std::wstring& why);
// Ed25519 check of message against a 64-byte signature and 32-byte key; 0 means valid.
int Ed25519Check(const uint8_t signature[64], const uint8_t publicKey[32], const uint8_t* message,
                 std::size_t messageSize);

// True unless the built-in public key is 32 zero bytes (never configured).
bool PublicKeyConfigured();
// The text for a key that was never configured ("Public key not configured (public_key).").
std::wstring NoPublicKeyText();

// What a run takes from a patch server beyond a signature that verifies.
struct ManifestRule {
  bool haveFloor = false;       // a version the run never goes below is known
  int32_t floor = 0;            // that version
  bool floorInstalled = true;   // it is the installed version (else one an earlier run accepted)
  int64_t now = 0;              // this computer's clock, seconds since 1970-01-01 UTC
};
// How far this computer's clock may run ahead of the publisher's before a release counts as
// expired: a clock a few hours off must not stop an install.
constexpr int64_t kExpirySkewSeconds = 86400;
// The computer's clock in seconds since 1970-01-01 UTC.
int64_t UnixNow();
// "YYYY-MM-DDTHH:MM:SSZ" (UTC) to seconds since 1970; false for any other text or a
// date that does not exist.
bool ParseUtcTime(const std::string& text, int64_t& seconds);
// Seconds since 1970 as "YYYY-MM-DDTHH:MM:SSZ".
std::string FormatUtcTime(int64_t seconds);
// The manifest's expires member: present false when it is missing (the release never expires);
// false when it is there but not a time ParseUtcTime reads.
bool ManifestExpiry(const JsonValue& doc, bool& present, int64_t& seconds);

// Keeps the bytes just fetched (unverified) from base's manifest.json, so that a run asking base
// for its manifest within ten minutes uses them instead of fetching them again, once, if the
// signature it fetches verifies them; otherwise it fetches the manifest as always.
void OfferManifestCopy(const std::wstring& base, std::string bytes);

enum class ManifestFetch { Ok, Cancelled, Failed };
// Fetches manifest.json and manifest.sig (3 attempts) and checks the signature with the
// built-in key, from the first server that gives a manifest whose signature verifies (one
// refusing connections is left after one attempt while another remains); that server then
// serves the run's objects. Ok puts the manifest bytes in bytes; Failed puts the error text in error;
// Cancelled sets neither.
ManifestFetch FetchSignedManifest(PatchEngine& engine, std::string& bytes, std::wstring& error);
// The same, and each verified manifest is parsed into doc and must meet rule: one older than
// rule.floor, or expired (its expires more than kExpirySkewSeconds before rule.now), makes its
// server fail like one that cannot be reached, and the next is asked. Servers that take a
// request and send no answer's head are left after one attempt while others remain, and
// together get at most twice the request deadline floor; the last one left gets its usual
// attempts. When no server offers a manifest that will do, error is "The patch server's release
// has expired..." if one was only expired, else "The server sent an older version..." if one
// was only too old, else the text FetchSignedManifest gives. A manifest that does not parse,
// or whose expires cannot be read, fails at once with "Invalid patch manifest." and why.
ManifestFetch FetchCurrentManifest(PatchEngine& engine, const ManifestRule& rule, CompactManifest& doc,
                                   std::wstring& error);

// Parses the verified manifest into doc, reading files into doc.files element by element as
// ReadManifestFiles describes. False if the parse fails, the top level is not an object, format
// (truncated) is not 1 or files is not an array; error then holds "Invalid patch manifest." +
// " " + the parser's message (empty when the parse succeeded).
bool ParseManifest(const std::string& bytes, CompactManifest& doc, std::wstring& error);
// The manifest's version truncated to a signed 32-bit number (clamped); 0 if missing or not a
// number.
int32_t ManifestVersion(const JsonValue& doc);
// Publishes game_exe (when it passes the path rule), news and links into the engine under
// stateLock, then posts engine.notifyMessage with WPARAM 2 and LPARAM 1 (manifest data ready).
void PublishManifestData(PatchEngine& engine, const JsonValue& doc);
// Moves out the list ParseManifest read: ParseFileEntry over every element of files, in order,
// pieces as the manifest's "pieces" rule (ReadPieceRule) allows. False if an element failed,
// with error = "Invalid patch manifest." + " (path)"; files then holds the entries before it.
bool ReadManifestFiles(CompactManifest& doc, FileList& files, std::wstring& error);
// The manifest's delete list: each element's string (empty for one that is not a string).
std::vector<std::string> ManifestDeleteList(const JsonValue& doc);
// Refuses a file list or delete list that names the program's own files (uninstaller,
// marker, patch state, part or temporary files), two files that differ only in case, or a
// deletion of a listed file; error = "Invalid patch manifest." + " " + the path.
bool CheckManifestPaths(const FileList& files, const std::vector<std::string>& deleteList, std::wstring& error);
