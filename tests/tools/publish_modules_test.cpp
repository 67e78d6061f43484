// Unit tests of the release tool's modules: JSON writing read back by the project's reader,
// Ed25519 against the RFC 8032 vectors, key files, object checks and path refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/json.h"
#include "support/text.h"
#include "tools/json_writer.h"
#include "tools/objects.h"
#include "tools/release_paths.h"
#include "tools/signing.h"

namespace {

std::string TempDir() {
  char tmpl[] = "/tmp/qv_tool_test_XXXXXX";
  const char* dir = mkdtemp(tmpl);
  return dir ? dir : "";
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  EXPECT_TRUE(HexDecode(hex, hex.size() / 2, out));
  return out;
}

// Compresses with an explicit window setting: 15 zlib, -15 raw deflate, 31 gzip.
std::string Compress(const std::string& data, int windowBits) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Sha256Hex(const std::string& data) {
  Sha256 h;
  EXPECT_TRUE(Sha256Begin(h));
  Sha256Update(h, data.data(), data.size());
  return Sha256Finish(h);
}

TEST(JsonWriter, StringsReadBackByteForByte) {
  std::string every;
  for (int c = 1; c < 128; ++c) every += static_cast<char>(c);
  const std::string cases[] = {
      "", "plain", "quote \" backslash \\ slash /", every, std::string("nul\0inside", 10),
      "Região Norte/ilha ç.map", "日本語/テスト.bin", "\xF0\x9F\x98\x80 emoji", "tab\tnew\nline\r\x7f"};
  for (const std::string& text : cases) {
    std::string json;
    JsonWriteString(json, text);
    JsonValue value;
    std::string error;
    ASSERT_TRUE(JsonParse(json, value, &error)) << json << ": " << error;
    EXPECT_EQ(value.type, JsonType::String);
    EXPECT_EQ(value.string, text);
    for (unsigned char c : json) EXPECT_GE(c, 0x20) << "raw control byte in " << json;
  }
}

TEST(JsonWriter, ValueTreesSurviveARoundTrip) {
  const char* doc =
      R"([{"title":"Patch 1.2","text":"L\u00e9ame\n\"ok\"","n":-2.5e-3,"big":12345678901234,)"
      R"("t":true,"f":false,"z":null,"nested":{"b":[1,[2,[3]]],"a":{}},"e":[]},0.1,"\ud83d\ude00"])";
  JsonValue first, second;
  ASSERT_TRUE(JsonParse(doc, first));
  std::string written, problem;
  ASSERT_TRUE(JsonWriteValue(written, first, &problem)) << problem;
  ASSERT_TRUE(JsonParse(written, second)) << written;
  std::string again;
  ASSERT_TRUE(JsonWriteValue(again, second, &problem));
  EXPECT_EQ(written, again);
  EXPECT_EQ(second.array[0].object.at("n").number, -2.5e-3);
  EXPECT_EQ(second.array[1].number, 0.1);
  EXPECT_EQ(second.array[0].object.at("big").number, 12345678901234.0);
  EXPECT_EQ(second.array[0].object.at("text").string, "L\xC3\xA9" "ame\n\"ok\"");
}

TEST(JsonWriter, RefusesWhatJsonCannotCarry) {
  JsonValue huge;
  ASSERT_TRUE(JsonParse("[1e999]", huge));
  std::string out, problem;
  EXPECT_FALSE(JsonWriteValue(out, huge, &problem));
  EXPECT_FALSE(problem.empty());
  JsonValue bad;
  ASSERT_TRUE(JsonParse("{\"k\":\"\xC3\"}", bad));
  EXPECT_FALSE(JsonWriteValue(out, bad, &problem));
  JsonValue badKey;
  ASSERT_TRUE(JsonParse("{\"\xFF\":1}", badKey));
  EXPECT_FALSE(JsonWriteValue(out, badKey, &problem));
}

TEST(JsonWriter, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("ascii"));
  EXPECT_TRUE(IsValidUtf8("\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong NUL
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong slash
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE6\x97"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\x80"));
  EXPECT_FALSE(IsValidUtf8("\xFF"));
}

// RFC 8032, section 7.1, tests 1 to 3.
TEST(Signing, MatchesTheRfc8032Vectors) {
  ASSERT_TRUE(CryptoInit());
  struct Vector { const char *seed, *pub, *msg, *sig; } vectors[] = {
      {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
       "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
       "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
      {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
       "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
       "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
      {"c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
       "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
       "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
  };
  for (const Vector& v : vectors) {
    std::string seed = Unhex(v.seed), pub, sig;
    ASSERT_TRUE(PublicKeyFromSeed(seed, pub));
    EXPECT_EQ(HexEncode(pub), v.pub);
    std::string msg = Unhex(v.msg);
    ASSERT_TRUE(SignMessage(seed, msg, sig));
    EXPECT_EQ(HexEncode(sig), v.sig);
    EXPECT_TRUE(VerifySignature(pub, msg, sig));
    std::string flipped = sig;
    flipped[10] ^= 1;
    EXPECT_FALSE(VerifySignature(pub, msg, flipped));
    EXPECT_FALSE(VerifySignature(pub, msg + "x", sig));
    EXPECT_FALSE(VerifySignature(pub, msg, sig.substr(0, 63)));
  }
}

TEST(Signing, GeneratedKeysSignAndDiffer) {
  std::string seed1, pub1, seed2, pub2, derived, sig;
  ASSERT_TRUE(GenerateKey(seed1, pub1));
  ASSERT_TRUE(GenerateKey(seed2, pub2));
  EXPECT_EQ(seed1.size(), 32u);
  EXPECT_EQ(pub1.size(), 32u);
  EXPECT_NE(seed1, seed2);
  ASSERT_TRUE(PublicKeyFromSeed(seed1, derived));
  EXPECT_EQ(derived, pub1);
  ASSERT_TRUE(SignMessage(seed1, "manifest bytes", sig));
  EXPECT_TRUE(VerifySignature(pub1, "manifest bytes", sig));
  EXPECT_FALSE(VerifySignature(pub2, "manifest bytes", sig));
}

// Manifests run to megabytes; a signer that kept only part of the message (libgcrypt's
// S-expressions hold at most 65,535 bytes) would still verify its own signature over that part.
TEST(Signing, LongMessagesAreSignedWhole) {
  std::string seed(32, '\x42'), pub, sig;
  ASSERT_TRUE(PublicKeyFromSeed(seed, pub));
  for (size_t size : {65535u, 65536u, 65537u, 70000u, 3u << 20}) {
    std::string message(size, 'a');
    for (size_t i = 0; i < size; i += 997) message[i] = static_cast<char>(i);
    ASSERT_TRUE(SignMessage(seed, message, sig)) << size;
    EXPECT_TRUE(VerifySignature(pub, message, sig)) << size;
    std::string tail = message;
    tail.back() ^= 1;
    EXPECT_FALSE(VerifySignature(pub, tail, sig)) << size;
    if (size > 65535) EXPECT_FALSE(VerifySignature(pub, message.substr(0, size % 65536), sig)) << size;
    EXPECT_FALSE(VerifySignature(pub, message + "\n", sig)) << size;
  }
}

TEST(Signing, Sha256KnownAnswers) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(KeyFile, WrittenOnceOwnerOnlyAndReadBack) {
  std::string dir = TempDir(), path = dir + "/release.key", error, seed;
  std::string original(32, '\0');
  for (int i = 0; i < 32; ++i) original[i] = static_cast<char>(i * 7 + 1);
  mode_t old = umask(0);
  ASSERT_TRUE(WriteKeyFile(path, original, error)) << error;
  umask(old);
  struct stat st{};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 65);
  ASSERT_TRUE(ReadKeyFile(path, seed, error)) << error;
  EXPECT_EQ(seed, original);
  std::string other(32, 'x');
  EXPECT_FALSE(WriteKeyFile(path, other, error));
  EXPECT_NE(error.find("already exists"), std::string::npos);
  ASSERT_TRUE(ReadKeyFile(path, seed, error));
  EXPECT_EQ(seed, original);
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

TEST(KeyFile, RefusesOtherFormats) {
  std::string dir = TempDir(), path = dir + "/k", seed, error;
  std::string good = std::string(64, 'a');
  const std::string bad[] = {good, good + "\n\n", good + "\r\n", std::string(64, 'A') + "\n",
                             std::string(63, 'a') + "\n", std::string(63, 'a') + "g\n", "", good + " \n"};
  for (const std::string& text : bad) {
    WriteBytes(path, text);
    EXPECT_FALSE(ReadKeyFile(path, seed, error)) << text;
  }
  WriteBytes(path, good + "\n");
  EXPECT_TRUE(ReadKeyFile(path, seed, error));
  std::remove(path.c_str());
  EXPECT_FALSE(ReadKeyFile(path, seed, error));
  rmdir(dir.c_str());
}

TEST(Objects, WrittenObjectsInflateToTheirSource) {
  std::string dir = TempDir(), error, hash;
  uint64_t size = 0, objectSize = 0;
  std::string content;
  for (int i = 0; i < 300000; ++i) content += static_cast<char>((i * 2654435761u) >> 13);
  content += std::string(2000000, 'q');  // more than the inflate buffer in one run
  WriteBytes(dir + "/src", content);
  ASSERT_TRUE(HashFile(dir + "/src", hash, size, error)) << error;
  EXPECT_EQ(size, content.size());
  EXPECT_EQ(hash, Sha256Hex(content));
  EXPECT_EQ(ObjectRelativePath(hash), "files/" + hash.substr(0, 2) + "/" + hash + ".z");
  ASSERT_TRUE(WriteObject(dir + "/src", dir + "/obj", hash, size, 9, error)) << error;
  EXPECT_EQ(CheckObject(dir + "/obj", size, hash, &objectSize), ObjectState::Good);
  struct stat st{};
  ASSERT_EQ(stat((dir + "/obj").c_str(), &st), 0);
  EXPECT_EQ(objectSize, static_cast<uint64_t>(st.st_size));
  EXPECT_EQ(CheckObject(dir + "/obj", size - 1, hash, nullptr), ObjectState::TooLong);
  EXPECT_EQ(CheckObject(dir + "/obj", size + 1, hash, nullptr), ObjectState::TooShort);
  EXPECT_EQ(CheckObject(dir + "/obj", size, Sha256Hex("other"), nullptr), ObjectState::WrongHash);
  // A source that no longer matches its hash is not turned into an object.
  EXPECT_FALSE(WriteObject(dir + "/src", dir + "/obj2", Sha256Hex("other"), size, 9, error));
  EXPECT_NE(error.find("changed"), std::string::npos);
  EXPECT_NE(access((dir + "/obj2").c_str(), F_OK), 0);
  std::system(("rm -rf " + dir).c_str());
}

TEST(Objects, OnlyOneCompleteZlibStreamIsGood) {
  std::string dir = TempDir(), content = "The quick brown fox jumps over the lazy dog. ";
  for (int i = 0; i < 8; ++i) content += content;
  std::string hash = Sha256Hex(content), object = dir + "/o";
  std::string zlib = Compress(content, 15);
  struct Case { std::string bytes; ObjectState state; } cases[] = {
      {zlib, ObjectState::Good},
      {Compress(content, -15), ObjectState::Corrupt},
      {Compress(content, 31), ObjectState::Corrupt},
      {zlib.substr(0, zlib.size() - 3), ObjectState::Corrupt},
      {zlib + "x", ObjectState::TrailingData},
      {"", ObjectState::Corrupt},
  };
  for (const Case& c : cases) {
    WriteBytes(object, c.bytes);
    EXPECT_EQ(CheckObject(object, content.size(), hash, nullptr), c.state) << ObjectStateText(c.state);
  }
  std::string damaged = zlib;
  damaged[damaged.size() / 2] ^= 0x40;
  WriteBytes(object, damaged);
  EXPECT_NE(CheckObject(object, content.size(), hash, nullptr), ObjectState::Good);
  WriteBytes(object, Compress("", 15));
  EXPECT_EQ(CheckObject(object, 0, Sha256Hex(""), nullptr), ObjectState::Good);
  std::remove(object.c_str());
  EXPECT_EQ(CheckObject(object, 0, Sha256Hex(""), nullptr), ObjectState::Missing);
  rmdir(dir.c_str());
}

TEST(ReleasePaths, ExplanationsAgreeWithTheInstallerRule) {
  const std::string paths[] = {"a.txt", "dir/file.bin", "a.", "b ", "c:d", "e?f", "g*h", "i|j", "k<l", "m>n",
                               "o\"p", "/abs", "\\abs", "x//y", "x/", "./x", "x/../y", "..", "..x/y", "x..y",
                               "tab\there", "Região/ilha ç.map", "x\\y", std::string(400, 'a'),
                               std::string(401, 'a'), "", "nul", "NUL.txt", "data/Com1.log", "lpt9", "com0",
                               "aux.tar.gz", "x/CON", "conin$", "CONOUT$.x", "com\xC2\xB9", "LPT\xC2\xB3.log",
                               "con .txt", "console.txt", "nul1/com10.txt", "com\xC2\xB4"};
  for (const std::string& p : paths) {
    std::wstring out;
    bool accepted = ToSafeRelativePath(p, out);
    std::string why = InstallerPathProblem(p);
    EXPECT_EQ(accepted, why.empty()) << p << ": " << why;
  }
}

TEST(ReleasePaths, PublishingRefusesMoreThanTheInstaller) {
  EXPECT_EQ(PublishPathProblem("data/Região Norte/ilha ç.map"), "");
  EXPECT_EQ(PublishPathProblem("console.txt"), "");
  EXPECT_EQ(PublishPathProblem("nul1/com10.txt"), "");
  for (const char* p : {"nul", "NUL.txt", "data/Com1.log", "lpt9", "aux.tar.gz", "x/CON", "com0", "conin$",
                        "lpt\xC2\xB9.txt", "con .log"})
    EXPECT_NE(PublishPathProblem(p).find("reserved"), std::string::npos) << p;
  EXPECT_NE(PublishPathProblem("dir\\file").find("backslash"), std::string::npos);
  EXPECT_NE(PublishPathProblem("bad\xFFname").find("UTF-8"), std::string::npos);
  EXPECT_NE(PublishPathProblem("b ").find("blank"), std::string::npos);
}

TEST(ReleasePaths, OwnFilesAreRefusedAsTheInstallerRefusesThem) {
  for (const char* p : {"bin/Uninstall Quorvel.exe", "BIN/quorvel.install", "config/patcher.ini",
                        "config/PATCHER_CACHE.DAT", "patcher_parts", "patcher_parts/ab.z", "Data/x.pak.ap_tmp",
                        "Uninstall Quorvel.exe", "patcher.ini", "config/locale.cfg", "Config/Loca.cfg", "loca.cfg"}) {
    std::wstring converted;
    ASSERT_TRUE(ToSafeRelativePath(p, converted)) << p;
    EXPECT_TRUE(IsInstallerOwnPath(converted)) << p;
    EXPECT_NE(OwnFileProblem(p), "") << p;
  }
  for (const char* p : {"bin/Quorvel.exe", "config/locale.cfg.txt", "Data/patcher_parts/x", "nul.txt"})
    EXPECT_EQ(OwnFileProblem(p), "") << p;
}

TEST(ReleasePaths, WindowsKeysIgnoreCase) {
  EXPECT_EQ(WindowsPathKey("Data/Readme.TXT"), WindowsPathKey("data/readme.txt"));
  EXPECT_EQ(WindowsPathKey("REGIÃO/Été.txt"), WindowsPathKey("região/été.txt"));
  EXPECT_NE(WindowsPathKey("data/a.txt"), WindowsPathKey("data/b.txt"));
}

}  // namespace
