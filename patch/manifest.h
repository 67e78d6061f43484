#pragma once
// The signed manifest: fetch and signature check, file entries, object URLs.
#include <cstdint>
#include <string>

#include "support/json.h"

struct PatchEngine;

// One file of the manifest (or the launcher's own entry).
struct FileEntry {
  std::string path;        // "p" as written (UTF-8)
  std::wstring widePath;   // the path rule's backslash form
  std::string hash;        // "h", 64 hex characters
  uint64_t size = 0;       // "s"
  uint64_t compressedSize = 0;  // "c"
  bool keep = false;       // "k"
};

// Fills entry from a manifest value; false if not an object, the hash is not 64 hex
// characters or the path fails the path rule.
bool ParseFileEntry(const JsonValue& value, FileEntry& entry);
// base URL + "files/" + hash[0..2) + "/" + hash + ".z"
std::wstring ManifestFileUrl(const std::string& hash);
// Ed25519 check of message against a 64-byte signature and 32-byte key; 0 means valid.
int Ed25519Check(const uint8_t signature[64], const uint8_t publicKey[32], const uint8_t* message,
                 std::size_t messageSize);

enum class ManifestFetch { Ok, Cancelled, Failed };
// Fetches manifest.json and manifest.sig (3 attempts) and checks the signature with the
// built-in key. Ok puts the manifest bytes in bytes; Failed puts the error text in error;
// Cancelled sets neither.
ManifestFetch FetchSignedManifest(PatchEngine& engine, std::string& bytes, std::wstring& error);
