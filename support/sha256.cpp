// SHA-256 through libgcrypt, which uses the processor's SHA instructions where there are any.
#include "support/sha256.h"

#include <windows.h>
#include <gcrypt.h>

#include <memory>
#include <vector>

#include "support/handles.h"

// One read of a file being hashed.
constexpr DWORD kReadSize = 1 << 20;

bool CryptoLibraryReady() {
  // The function-local static makes the one initialisation happen once even when the size
  // query and a patch run start hashing or verifying at the same time.
  static const bool ready = [] {
    if (!gcry_check_version(GCRYPT_VERSION)) return false;
    // Nothing here handles secrets; secure memory would only add a locked pool.
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  return ready;
}

Sha256Hasher::Sha256Hasher() {
  gcry_md_hd_t md = nullptr;
  if (CryptoLibraryReady() && gcry_md_open(&md, GCRY_MD_SHA256, 0) == 0) handle_ = md;
}

Sha256Hasher::~Sha256Hasher() {
  if (handle_) gcry_md_close(static_cast<gcry_md_hd_t>(handle_));
}

void Sha256Hasher::Update(const void* data, std::size_t size) {
  if (handle_ && size > 0) gcry_md_write(static_cast<gcry_md_hd_t>(handle_), data, size);
}

std::string Sha256Hasher::Finish() {
  if (!handle_) return std::string();
  auto md = static_cast<gcry_md_hd_t>(handle_);
  handle_ = nullptr;
  const unsigned char* digest = gcry_md_read(md, GCRY_MD_SHA256);
  std::string hex;
  if (digest) {
    static const char kHex[] = "0123456789abcdef";
    hex.reserve(64);
    for (int i = 0; i < 32; ++i) {
      hex.push_back(kHex[digest[i] / 16]);
      hex.push_back(kHex[digest[i] % 16]);
    }
  }
  gcry_md_close(md);
  return hex;
}

std::string Sha256FileHex(const std::wstring& path, HashProgressFn progress, void* context) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return std::string();
  return Sha256OpenFileHex(file.get(), progress, context);
}

std::string Sha256OpenFileHex(HANDLE file, HashProgressFn progress, void* context) {
  Sha256Hasher hasher;
  // One buffer per thread: a new, zeroed megabyte for every file cost more than hashing a small
  // file, and under Wine each one is fresh pages to fault in.
  thread_local std::vector<unsigned char> buffer;
  if (!hasher.valid()) return std::string();
  if (buffer.size() != kReadSize) buffer.resize(kReadSize);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), kReadSize, &read, nullptr)) return std::string();
    if (read == 0) return hasher.Finish();
    hasher.Update(buffer.data(), read);
    if (progress && !progress(context, read)) return std::string();
  }
}
