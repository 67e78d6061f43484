#pragma once
// Signed manifests for tests: signs with the test-only release key (tests/data/test_release.key)
// through libgcrypt and serves the result from the test servers.
#include <gcrypt.h>

#include <string>

#include "app/build_config.h"
#include "test_servers.h"

namespace qvtest {

inline std::string HexToBytes(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

// Ed25519 signature (64 bytes) of message by the key whose 32-byte seed is given, with the
// public key that belongs to it; empty on failure.
inline std::string SignEd25519(const std::string& seed, const std::string& publicKey, const std::string& message) {
  gcry_check_version(nullptr);
  gcry_sexp_t key = nullptr, data = nullptr, sig = nullptr;
  std::string out;
  if (!gcry_sexp_build(&key, nullptr, "(private-key(ecc(curve Ed25519)(flags eddsa)(q %b)(d %b)))",
                       static_cast<int>(publicKey.size()), publicKey.data(), static_cast<int>(seed.size()), seed.data()) &&
      !gcry_sexp_build(&data, nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))",
                       static_cast<int>(message.size()), message.empty() ? "" : message.data()) &&
      !gcry_pk_sign(&sig, data, key)) {
    for (const char* part : {"r", "s"}) {
      gcry_sexp_t token = gcry_sexp_find_token(sig, part, 0);
      std::size_t len = 0;
      const char* bytes = token ? gcry_sexp_nth_data(token, 1, &len) : nullptr;
      if (bytes && len == 32) out.append(bytes, len);
      gcry_sexp_release(token);
    }
  }
  gcry_sexp_release(key);
  gcry_sexp_release(data);
  gcry_sexp_release(sig);
  return out.size() == 64 ? out : std::string();
}

inline std::string TestSeed() {
  return HexToBytes(ReadFileBytes(WinePath(ServerValue("QV_SIGNING_KEY"))).substr(0, 64));
}
inline std::string TestPublicKey() { return HexToBytes(ServerValue("QV_PUBLIC_KEY")); }
inline std::string SignWithTestKey(const std::string& message) {
  return SignEd25519(TestSeed(), TestPublicKey(), message);
}

// Makes the program trust the test key.
inline void UseTestKey() {
  const std::string key = TestPublicKey();
  ASSERT_EQ(key.size(), 32u);
  for (int i = 0; i < 32; ++i) g_publicKey[i] = static_cast<unsigned char>(key[i]);
}

// Serves json as prefix + "patch/manifest.json" with a valid test signature beside it (both
// servers see the files).
inline void ServeSignedManifest(const std::string& prefix, const std::string& json) {
  ServeFile(prefix + "patch/manifest.json", json);
  const std::string sig = SignWithTestKey(json);
  ASSERT_EQ(sig.size(), 64u);
  ServeFile(prefix + "patch/manifest.sig", sig);
}

}  // namespace qvtest
