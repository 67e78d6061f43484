// SHA-256 through CNG. bcrypt.dll is loaded from the system folder only, so that no copy
// planted beside the executable is ever used.
#include "support/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <memory>

#include "support/handles.h"
#include "support/system_library.h"

namespace {

struct CngSha256 {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  decltype(&BCryptCreateHash) createHash = nullptr;
  decltype(&BCryptHashData) hashData = nullptr;
  decltype(&BCryptFinishHash) finishHash = nullptr;
  decltype(&BCryptDestroyHash) destroyHash = nullptr;
};

CngSha256 g_cng;
INIT_ONCE g_cngOnce = INIT_ONCE_STATIC_INIT;

// One fixed, aligned read buffer per file hashed.
struct alignas(32) ReadBuffer {
  unsigned char bytes[1 << 20];
};

}  // namespace

static BOOL CALLBACK OpenProvider(PINIT_ONCE, PVOID, PVOID*) {
  auto open = SystemProc<decltype(&BCryptOpenAlgorithmProvider)>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider");
  g_cng.createHash = SystemProc<decltype(&BCryptCreateHash)>(L"bcrypt.dll", "BCryptCreateHash");
  g_cng.hashData = SystemProc<decltype(&BCryptHashData)>(L"bcrypt.dll", "BCryptHashData");
  g_cng.finishHash = SystemProc<decltype(&BCryptFinishHash)>(L"bcrypt.dll", "BCryptFinishHash");
  g_cng.destroyHash = SystemProc<decltype(&BCryptDestroyHash)>(L"bcrypt.dll", "BCryptDestroyHash");
  if (!open || !g_cng.createHash || !g_cng.hashData || !g_cng.finishHash || !g_cng.destroyHash) return TRUE;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCRYPT_SUCCESS(open(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) g_cng.algorithm = algorithm;
  return TRUE;
}

// The process-wide provider, opened on first use; null if the system has none.
static const CngSha256* Provider() {
  InitOnceExecuteOnce(&g_cngOnce, OpenProvider, nullptr, nullptr);
  return g_cng.algorithm ? &g_cng : nullptr;
}

Sha256Hasher::Sha256Hasher() {
  const CngSha256* cng = Provider();
  if (!cng) return;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCRYPT_SUCCESS(cng->createHash(cng->algorithm, &hash, nullptr, 0, nullptr, 0, 0))) handle_ = hash;
}

Sha256Hasher::~Sha256Hasher() {
  if (handle_) g_cng.destroyHash(handle_);
}

void Sha256Hasher::Update(const void* data, std::size_t size) {
  if (!handle_) return;
  auto* p = static_cast<PUCHAR>(const_cast<void*>(data));
  while (size > 0) {
    ULONG piece = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
    // A lost piece would give a digest of other bytes; it must never look like a result.
    if (!BCRYPT_SUCCESS(g_cng.hashData(handle_, p, piece, 0))) failed_ = true;
    p += piece;
    size -= piece;
  }
}

std::string Sha256Hasher::Finish() {
  if (!handle_) return std::string();
  UCHAR digest[32];
  bool ok = BCRYPT_SUCCESS(g_cng.finishHash(handle_, digest, sizeof digest, 0)) && !failed_;
  g_cng.destroyHash(handle_);
  handle_ = nullptr;
  if (!ok) return std::string();
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (UCHAR b : digest) {
    hex.push_back(kHex[b / 16]);
    hex.push_back(kHex[b % 16]);
  }
  return hex;
}

std::string Sha256FileHex(const std::wstring& path, HashProgressFn progress, void* context) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return std::string();
  Sha256Hasher hasher;
  auto buffer = std::make_unique<ReadBuffer>();
  if (!hasher.valid()) return std::string();
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer->bytes, sizeof buffer->bytes, &read, nullptr)) return std::string();
    if (read == 0) return hasher.Finish();
    hasher.Update(buffer->bytes, read);
    if (progress && !progress(context, read)) return std::string();
  }
}
