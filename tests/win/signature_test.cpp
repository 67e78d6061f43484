// Ed25519Check against the test vectors of RFC 8032 (section 7.1, tests 1 to 3).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gcrypt.h>

#include <random>

#include "patch/manifest.h"
#include "test_release.h"
#include "test_servers.h"

namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
  const std::string bytes = qvtest::HexToBytes(hex);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

struct Vector {
  const char* publicKey;
  const char* message;
  const char* signature;
};

const Vector kVectors[] = {
    {"d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
    {"3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
};

int Check(const std::vector<uint8_t>& sig, const std::vector<uint8_t>& key, const std::vector<uint8_t>& msg) {
  return Ed25519Check(sig.data(), key.data(), msg.empty() ? nullptr : msg.data(), msg.size());
}

}  // namespace

TEST(Ed25519, RfcVectorsVerify) {
  for (const Vector& v : kVectors) {
    EXPECT_EQ(Check(Hex(v.signature), Hex(v.publicKey), Hex(v.message)), 0) << v.publicKey;
  }
}

TEST(Ed25519, OneFlippedBitAnywhereIsRefused) {
  for (const Vector& v : kVectors) {
    const auto sig = Hex(v.signature), key = Hex(v.publicKey), msg = Hex(v.message);
    for (std::size_t byte : {std::size_t(0), std::size_t(31), std::size_t(32), std::size_t(63)}) {
      auto bad = sig;
      bad[byte] ^= 0x01;
      EXPECT_NE(Check(bad, key, msg), 0) << "signature byte " << byte << " of " << v.publicKey;
    }
    for (std::size_t byte : {std::size_t(0), std::size_t(17), std::size_t(31)}) {
      auto bad = key;
      bad[byte] ^= 0x80;
      EXPECT_NE(Check(sig, bad, msg), 0) << "key byte " << byte << " of " << v.publicKey;
    }
    if (!msg.empty()) {
      auto bad = msg;
      bad.back() ^= 0x01;
      EXPECT_NE(Check(sig, key, bad), 0) << "message of " << v.publicKey;
    }
    auto longer = msg;
    longer.push_back(0);
    EXPECT_NE(Check(sig, key, longer), 0) << "message with one more byte, " << v.publicKey;
  }
}

TEST(Ed25519, SignatureOfAnotherVectorIsRefused) {
  EXPECT_NE(Check(Hex(kVectors[1].signature), Hex(kVectors[2].publicKey), Hex(kVectors[2].message)), 0);
  EXPECT_NE(Check(Hex(kVectors[2].signature), Hex(kVectors[2].publicKey), Hex(kVectors[1].message)), 0);
}

TEST(Ed25519, NonCanonicalScalarIsRefused) {
  // S + L (the group order) satisfies the verification equation but is not a valid encoding.
  const uint8_t order[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                             0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};
  for (const Vector& v : kVectors) {
    auto sig = Hex(v.signature);
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
      unsigned sum = sig[32 + i] + order[i] + carry;
      sig[32 + i] = static_cast<uint8_t>(sum);
      carry = sum >> 8;
    }
    EXPECT_NE(Check(sig, Hex(v.publicKey), Hex(v.message)), 0) << v.publicKey;
  }
}

TEST(Ed25519, SmallOrderKeysVerifyNothingAndDoNotCrash) {
  // Keys of small order accept forged signatures in a lax verifier, and three of them made the
  // library abort the process; each must simply be refused.
  const char* weak[] = {
      "0000000000000000000000000000000000000000000000000000000000000000",
      "0100000000000000000000000000000000000000000000000000000000000000",
      "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
      "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a",
      "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc85",
      "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
  };
  // With the identity as key, R = identity and S = 0 satisfy the equation for every message.
  auto forged = Hex("0100000000000000000000000000000000000000000000000000000000000000"
                    "0000000000000000000000000000000000000000000000000000000000000000");
  for (const char* key : weak) {
    for (const Vector& v : kVectors) EXPECT_NE(Check(Hex(v.signature), Hex(key), Hex(v.message)), 0) << key;
    EXPECT_NE(Check(forged, Hex(key), Hex("af82")), 0) << key;
  }
}

TEST(Ed25519, SmallOrderSignaturePartsAreRefused) {
  const Vector& v = kVectors[2];
  auto sig = Hex(v.signature);
  const char* parts[] = {"0000000000000000000000000000000000000000000000000000000000000000",
                         "0100000000000000000000000000000000000000000000000000000000000000",
                         "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"};
  for (const char* part : parts) {
    auto r = Hex(part);
    auto bad = sig;
    std::copy(r.begin(), r.end(), bad.begin());
    EXPECT_NE(Check(bad, Hex(v.publicKey), Hex(v.message)), 0) << "R " << part;
    bad = sig;
    std::copy(r.begin(), r.end(), bad.begin() + 32);
    EXPECT_NE(Check(bad, Hex(v.publicKey), Hex(v.message)), 0) << "S " << part;
  }
}

TEST(Ed25519, ParallelChecksAgree) {
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        const Vector& v = kVectors[i % 3];
        if (Check(Hex(v.signature), Hex(v.publicKey), Hex(v.message)) == 0) ++good;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(good.load(), 80);
}

namespace {

// libgcrypt's own EdDSA verifier, usable for messages up to about 64 KiB only.
int LibraryVerify(const std::string& sig, const std::string& key, const std::string& msg) {
  gcry_sexp_t k = nullptr, s = nullptr, d = nullptr;
  int result = -1;
  if (!gcry_sexp_build(&k, nullptr, "(public-key(ecc(curve Ed25519)(flags eddsa)(q %b)))", 32, key.data()) &&
      !gcry_sexp_build(&s, nullptr, "(sig-val(eddsa(r %b)(s %b)))", 32, sig.data(), 32, sig.data() + 32) &&
      !gcry_sexp_build(&d, nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))",
                       static_cast<int>(msg.size()), msg.empty() ? "" : msg.data())) {
    result = gcry_pk_verify(s, d, k) == 0 ? 0 : -1;
  }
  gcry_sexp_release(k);
  gcry_sexp_release(s);
  gcry_sexp_release(d);
  return result;
}

int Check(const std::string& sig, const std::string& key, const std::string& msg) {
  return Ed25519Check(reinterpret_cast<const uint8_t*>(sig.data()), reinterpret_cast<const uint8_t*>(key.data()),
                      reinterpret_cast<const uint8_t*>(msg.data()), msg.size());
}

}  // namespace

TEST(Ed25519, AgreesWithTheLibrarysOwnVerifier) {
  const std::string seed = qvtest::HexToBytes("c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7");
  const std::string key = qvtest::HexToBytes(kVectors[2].publicKey);
  std::mt19937 rng(8032);
  for (std::size_t size : {0, 1, 31, 32, 33, 64, 127, 128, 1000, 4096, 30000, 65000}) {
    std::string msg(size, '\0');
    for (char& c : msg) c = static_cast<char>(rng());
    const std::string sig = qvtest::SignEd25519(seed, key, msg);
    ASSERT_EQ(sig.size(), 64u) << size;
    EXPECT_EQ(Check(sig, key, msg), 0) << size;
    EXPECT_EQ(LibraryVerify(sig, key, msg), 0) << size;
    for (int round = 0; round < 4; ++round) {
      std::string badSig = sig, badMsg = msg;
      const unsigned bit = rng() % 8;
      if (round % 2 == 0 || msg.empty()) {
        badSig[rng() % 64] ^= static_cast<char>(1u << bit);
      } else {
        badMsg[rng() % msg.size()] ^= static_cast<char>(1u << bit);
      }
      EXPECT_NE(Check(badSig, key, badMsg), 0) << size << " round " << round;
      EXPECT_NE(LibraryVerify(badSig, key, badMsg), 0) << size << " round " << round;
    }
  }
}

TEST(Ed25519, LongMessagesSignedElsewhereVerify) {
  // Signed at server start by an independent implementation (python3-cryptography): 3 MB and
  // exactly 32 MiB, far beyond what the library's S-expressions can carry.
  const std::string key = qvtest::HexToBytes(qvtest::ServerValue("QV_PUBLIC_KEY"));
  for (const char* release : {"/large/patch/", "/limit/patch/"}) {
    std::string msg = qvtest::ReadBytes(qvtest::WwwFile(std::string(release) + "manifest.json"));
    const std::string sig = qvtest::ReadBytes(qvtest::WwwFile(std::string(release) + "manifest.sig"));
    ASSERT_GT(msg.size(), 1000000u);
    ASSERT_EQ(sig.size(), 64u);
    EXPECT_EQ(Check(sig, key, msg), 0) << release;
    msg[msg.size() / 2] ^= 0x20;
    EXPECT_NE(Check(sig, key, msg), 0) << release;
    msg[msg.size() / 2] ^= 0x20;
    EXPECT_NE(Check(sig, key, msg + " "), 0) << release;
    EXPECT_NE(Check(sig, key, msg.substr(0, msg.size() - 1)), 0) << release;
  }
}
