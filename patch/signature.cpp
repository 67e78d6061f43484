// Ed25519 verification (RFC 8032) with libgcrypt doing every hash and group operation.
#include <gcrypt.h>

#include <cstring>

#include "patch/manifest.h"

// libgcrypt wants one initialisation before first use; the function-local static makes it
// happen once even when the size query and a patch run verify at the same time.
static bool CryptoReady() {
  static const bool ready = [] {
    if (!gcry_check_version(GCRYPT_VERSION)) return false;
    // Verification handles no secrets; secure memory would only add a locked pool.
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  return ready;
}

// Encodings of the eight points of small order, including the aliases with y >= p and with
// the sign bit set. Such a key verifies forged signatures, and some of them make libgcrypt
// abort the process, so they are refused before the library sees them.
static const uint8_t kWeakKeys[][32] = {
    {0x01},                                                              // identity
    {0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80},
    {0},                                                                 // y = 0
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80},
    {0xec, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,  // y = -1
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0xec, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
    {0xed, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,  // y = p
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0xed, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
    {0xee, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,  // y = p + 1
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0xee, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
    {0xc7, 0x17, 0x6a, 0x70, 0x3d, 0x4d, 0xd8, 0x4f, 0xba, 0x3c, 0x0b, 0x76, 0x0d, 0x10, 0x67, 0x0f,  // order 8
     0x2a, 0x20, 0x53, 0xfa, 0x2c, 0x39, 0xcc, 0xc6, 0x4e, 0xc7, 0xfd, 0x77, 0x92, 0xac, 0x03, 0x7a},
    {0xc7, 0x17, 0x6a, 0x70, 0x3d, 0x4d, 0xd8, 0x4f, 0xba, 0x3c, 0x0b, 0x76, 0x0d, 0x10, 0x67, 0x0f,
     0x2a, 0x20, 0x53, 0xfa, 0x2c, 0x39, 0xcc, 0xc6, 0x4e, 0xc7, 0xfd, 0x77, 0x92, 0xac, 0x03, 0xfa},
    {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4, 0x89, 0xf2, 0xef, 0x98, 0xf0,
     0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6, 0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x05},
    {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4, 0x89, 0xf2, 0xef, 0x98, 0xf0,
     0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6, 0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x85},
};

static bool IsWeakKey(const uint8_t key[32]) {
  for (const auto& weak : kWeakKeys)
    if (std::memcmp(weak, key, 32) == 0) return true;
  return false;
}

// RFC 8032 requires S < L (the group order); libgcrypt accepts S + L as well, which would let
// anyone make a second valid signature from a first.
static bool IsCanonicalScalar(const uint8_t s[32]) {
  static const uint8_t kOrder[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                     0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};
  for (int i = 31; i >= 0; --i) {  // little-endian: compare from the most significant byte
    if (s[i] != kOrder[i]) return s[i] < kOrder[i];
  }
  return false;  // equal to L
}

// Owners of the library's objects, so that every return path frees them.
struct Mpi {
  gcry_mpi_t m = nullptr;
  ~Mpi() { gcry_mpi_release(m); }
};
struct Point {
  gcry_mpi_point_t p = nullptr;
  ~Point() { gcry_mpi_point_release(p); }
};
struct Context {
  gcry_ctx_t c = nullptr;
  ~Context() { gcry_ctx_release(c); }
};
struct Digest {
  gcry_md_hd_t h = nullptr;
  ~Digest() { gcry_md_close(h); }
};

// An unsigned number from little-endian bytes (the encoding of RFC 8032).
static gcry_mpi_t FromLittleEndian(const uint8_t* bytes, std::size_t size) {
  uint8_t bigEndian[64];
  for (std::size_t i = 0; i < size; ++i) bigEndian[i] = bytes[size - 1 - i];
  gcry_mpi_t m = nullptr;
  if (gcry_mpi_scan(&m, GCRYMPI_FMT_USG, bigEndian, size, nullptr)) return nullptr;
  return m;
}

// The verification of RFC 8032 section 5.1.7 over libgcrypt's group operations: with
// k = SHA-512(R || A || M) mod L, the signature is valid when [S]B - [k]A encodes to R.
// gcry_pk_verify would do the same, but it takes the message inside an S-expression, whose
// atoms cannot exceed 65,535 bytes, and manifests are far larger.
int Ed25519Check(const uint8_t signature[64], const uint8_t publicKey[32], const uint8_t* message,
                 std::size_t messageSize) {
  if (!CryptoReady() || IsWeakKey(publicKey) || !IsCanonicalScalar(signature + 32)) return -1;
  static const uint8_t kNothing = 0;
  if (!message) message = &kNothing;  // an empty message is still a message

  Context ctx;
  if (gcry_mpi_ec_new(&ctx.c, nullptr, "Ed25519")) return -1;
  Mpi order{gcry_mpi_ec_get_mpi("n", ctx.c, 1)};
  Point base{gcry_mpi_ec_get_point("g", ctx.c, 1)};
  Mpi keyBytes{gcry_mpi_set_opaque_copy(nullptr, publicKey, 256)};
  Point key{gcry_mpi_point_new(0)};
  if (!order.m || !base.p || !keyBytes.m || !key.p || gcry_mpi_ec_decode_point(key.p, keyBytes.m, ctx.c)) {
    return -1;
  }

  Digest sha;
  if (gcry_md_open(&sha.h, GCRY_MD_SHA512, 0)) return -1;
  gcry_md_write(sha.h, signature, 32);
  gcry_md_write(sha.h, publicKey, 32);
  gcry_md_write(sha.h, message, messageSize);
  const unsigned char* hash = gcry_md_read(sha.h, GCRY_MD_SHA512);
  Mpi k{hash ? FromLittleEndian(hash, 64) : nullptr};
  Mpi s{FromLittleEndian(signature + 32, 32)};
  if (!k.m || !s.m) return -1;
  gcry_mpi_mod(k.m, k.m, order.m);

  Point sB{gcry_mpi_point_new(0)}, kA{gcry_mpi_point_new(0)}, check{gcry_mpi_point_new(0)};
  gcry_mpi_ec_mul(sB.p, s.m, base.p, ctx.c);
  gcry_mpi_ec_mul(kA.p, k.m, key.p, ctx.c);
  gcry_mpi_ec_sub(check.p, sB.p, kA.p, ctx.c);
  if (gcry_mpi_ec_set_point("q", check.p, ctx.c)) return -1;
  Mpi encoded{gcry_mpi_ec_get_mpi("q@eddsa", ctx.c, 1)};
  unsigned int bits = 0;
  const void* bytes = encoded.m ? gcry_mpi_get_opaque(encoded.m, &bits) : nullptr;
  // Comparing encodings also refuses an R that is not in canonical form.
  return bytes && bits == 256 && std::memcmp(bytes, signature, 32) == 0 ? 0 : -1;
}
