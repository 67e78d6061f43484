#pragma once
// SHA-256 through libgcrypt, the one crypto library of the program (signatures use it too).
#include <cstddef>
#include <cstdint>
#include <string>

// Called with each chunk's byte count while a file is hashed; false cancels.
using HashProgressFn = bool (*)(void* context, uint64_t bytes);

// Initialises libgcrypt once per process (safe from any thread); false if it is unusable.
bool CryptoLibraryReady();

class Sha256Hasher {
public:
  Sha256Hasher();   // invalid (every call ignored, Finish empty) if the library is unusable
  ~Sha256Hasher();
  Sha256Hasher(const Sha256Hasher&) = delete;
  Sha256Hasher& operator=(const Sha256Hasher&) = delete;
  bool valid() const { return handle_ != nullptr; }
  // Feeds bytes; ignored by an invalid hasher.
  void Update(const void* data, std::size_t size);
  // Returns the digest as 64 lowercase hex characters and ends the hasher; empty if invalid,
  // failed or already finished.
  std::string Finish();
private:
  void* handle_ = nullptr;
};

// Returns the file's digest as 64 lowercase hex characters; empty on any failure or cancel.
std::string Sha256FileHex(const std::wstring& path, HashProgressFn progress = nullptr, void* context = nullptr);
// The same for a file already open for reading, read from its current position to its end.
std::string Sha256OpenFileHex(void* file, HashProgressFn progress = nullptr, void* context = nullptr);
