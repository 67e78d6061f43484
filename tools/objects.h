#pragma once
// Content-addressed release objects: files/<first two hash characters>/<hash>.z, each file
// compressed as one zlib stream.
#include <cstdint>
#include <string>

// "files/xx/<hash>.z" for a 64-character hash.
std::string ObjectRelativePath(const std::string& hash);

// Hashes a whole file: its SHA-256 (lowercase hex) and size. False with a message in error.
bool HashFile(const std::string& path, std::string& hash, uint64_t& size, std::string& error);

// Compresses source into target through a temporary name and a rename, checking on the way
// that the source still has the expected hash and size. False with a message in error (no
// temporary file is left behind).
bool WriteObject(const std::string& source, const std::string& target, const std::string& hash,
                 uint64_t size, int level, std::string& error);

// Compresses bytes (already hashed by the caller) into target through a temporary name and a
// rename. False with a message in error.
bool WriteObjectBytes(const std::string& bytes, const std::string& target, int level, std::string& error);

struct Sha256;
enum class ObjectState { Good, Missing, Unreadable, Corrupt, TooLong, TooShort, WrongHash, TrailingData };
// Inflates the object at path as the installer does and compares it with size and hash;
// *fileSize receives the object's own size when it could be opened; also, if given, is fed every
// inflated byte (pieces of one file checked in order prove the whole file), and bytes, if given,
// receives them.
ObjectState CheckObject(const std::string& path, uint64_t size, const std::string& hash, uint64_t* fileSize,
                        Sha256* also = nullptr, std::string* bytes = nullptr);
// A short English description of a state ("missing", "not a valid zlib stream", ...).
const char* ObjectStateText(ObjectState state);
