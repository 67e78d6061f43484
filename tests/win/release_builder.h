#pragma once
// Publishes small signed releases for the patch engine tests where the test servers serve
// them: zlib objects named by hash, a manifest written by the test, and its Ed25519
// signature (libgcrypt, with the tests' signing key from servers.env).
#include <gcrypt.h>

#include <cstdint>
#include <string>

#include "app/build_config.h"
#include "engine_test_util.h"
#include "test_servers.h"

namespace enginetest {

// One object on the server, as a manifest entry describes it.
struct PublishedObject {
  std::string hash;
  uint64_t size = 0;
  uint64_t compressedSize = 0;
};

inline std::string HexToBytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

// The Ed25519 signature (64 bytes) of message with the seed and public key given in hex;
// empty if libgcrypt refuses.
inline std::string SignEd25519(const std::string& message, const std::string& seedHex,
                               const std::string& publicHex) {
  gcry_check_version(nullptr);
  const std::string seed = HexToBytes(seedHex), pub = HexToBytes(publicHex);
  gcry_sexp_t key = nullptr, data = nullptr, signature = nullptr;
  std::string out;
  if (!gcry_sexp_build(&key, nullptr, "(private-key(ecc(curve Ed25519)(flags eddsa)(q %b)(d %b)))",
                       static_cast<int>(pub.size()), pub.data(), static_cast<int>(seed.size()),
                       seed.data()) &&
      !gcry_sexp_build(&data, nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))",
                       static_cast<int>(message.size()), message.data()) &&
      !gcry_pk_sign(&signature, data, key)) {
    for (const char* name : {"r", "s"}) {
      gcry_sexp_t token = gcry_sexp_find_token(signature, name, 0);
      size_t length = 0;
      const char* bytes = token ? gcry_sexp_nth_data(token, 1, &length) : nullptr;
      if (bytes && length == 32) out.append(bytes, length);
      gcry_sexp_release(token);
    }
  }
  gcry_sexp_release(signature);
  gcry_sexp_release(data);
  gcry_sexp_release(key);
  return out.size() == 64 ? out : std::string();
}

// Makes the program trust the test signing key.
inline void UseTestKey() {
  const std::string key = HexToBytes(qvtest::ServerValue("QV_PUBLIC_KEY"));
  for (size_t i = 0; i < 32 && i < key.size(); ++i) g_publicKey[i] = static_cast<unsigned char>(key[i]);
}

// A release of this test alone, served by nginx and by the fault server at one URL path.
struct Release {
  std::string urlPath = qvtest::UniquePrefix() + "patch/";  // "/Suite.Name-pid/patch/"

  std::wstring NginxBase() const { return qvtest::NginxUrl(urlPath); }
  std::wstring FaultBase() const { return qvtest::FaultUrl(urlPath); }
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
    qvtest::ServeFile(ObjectPath(published.hash), packed);
    return published;
  }

  // Serves manifest exactly as given with its signature.
  void Sign(const std::string& manifest) const {
    std::string seed = qvtest::ReadFileBytes(qvtest::WinePath(qvtest::ServerValue("QV_SIGNING_KEY")));
    const std::string signature =
        SignEd25519(manifest, seed.substr(0, 64), qvtest::ServerValue("QV_PUBLIC_KEY"));
    ASSERT_EQ(signature.size(), 64u) << "signing failed";
    qvtest::ServeFile(urlPath + "manifest.json", manifest);
    qvtest::ServeFile(urlPath + "manifest.sig", signature);
  }
};

// JSON text of one manifest entry.
inline std::string EntryJson(const std::string& path, const PublishedObject& object, bool keep = false) {
  return "{\"p\":\"" + path + "\",\"h\":\"" + object.hash + "\",\"s\":" +
         std::to_string(object.size) + ",\"c\":" + std::to_string(object.compressedSize) +
         (keep ? ",\"k\":1" : "") + "}";
}

}  // namespace enginetest
