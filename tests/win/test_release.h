#pragma once
// Small signed releases served by the test servers: zlib objects named by their hash, a
// manifest written by the test, and its Ed25519 signature made with the test-only release key
// (tests/data/test_release.key) through libgcrypt.
#include <gcrypt.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "app/build_config.h"
#include "support/sha256.h"
#include "test_files.h"
#include "test_servers.h"

namespace qvtest {

// The bytes that hex (an even number of hexadecimal digits) spells.
inline std::string HexToBytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
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
      size_t len = 0;
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

// The test release key: its seed, its public key, and a signature made with it.
inline std::string TestSeed() {
  return HexToBytes(ReadBytes(WinePath(ServerValue("QV_SIGNING_KEY"))).substr(0, 64));
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

// windowBits 15: zlib (RFC 1950); -15: raw deflate; 31: gzip.
inline std::string Compress(const std::string& data, int windowBits = 15) {
  z_stream zs{};
  deflateInit2(&zs, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, data.size()) + 64, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// SHA-256 of data in lower-case hex.
inline std::string HashOf(const std::string& data) {
  Sha256Hasher hasher;
  hasher.Update(data.data(), data.size());
  return hasher.Finish();
}

// One object on the server, as a manifest entry describes it.
struct PublishedObject {
  std::string hash;
  uint64_t size = 0;
  uint64_t compressedSize = 0;
};

// A release of this test alone, served by nginx and by the fault server at one URL path.
struct Release {
  std::string urlPath = UniquePrefix() + "patch/";  // "/Suite.Name-pid/patch/"

  std::wstring NginxBase() const { return NginxUrl(urlPath); }
  std::wstring FaultBase() const { return FaultUrl(urlPath); }
  // URL path of the object with this hash.
  std::string ObjectPath(const std::string& hash) const {
    return urlPath + "files/" + hash.substr(0, 2) + "/" + hash + ".z";
  }

  // Serves content as an object (compressed as one zlib stream unless object is given) and
  // returns what a manifest entry says of it.
  PublishedObject Put(const std::string& content, const std::string* object = nullptr) const {
    PublishedObject published;
    published.hash = HashOf(content);
    published.size = content.size();
    const std::string packed = object ? *object : Compress(content);
    published.compressedSize = packed.size();
    ServeFile(ObjectPath(published.hash), packed);
    return published;
  }

  // Serves manifest exactly as given with its signature.
  void Sign(const std::string& manifest) const {
    const std::string signature = SignWithTestKey(manifest);
    ASSERT_EQ(signature.size(), 64u) << "signing failed";
    ServeFile(urlPath + "manifest.json", manifest);
    ServeFile(urlPath + "manifest.sig", signature);
  }
};

// JSON text of one manifest entry.
inline std::string EntryJson(const std::string& path, const PublishedObject& object, bool keep = false) {
  return "{\"p\":\"" + path + "\",\"h\":\"" + object.hash + "\",\"s\":" + std::to_string(object.size) +
         ",\"c\":" + std::to_string(object.compressedSize) + (keep ? ",\"k\":1" : "") + "}";
}

}  // namespace qvtest
