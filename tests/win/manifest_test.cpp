// The signed manifest end to end: fetched over real HTTP from the test servers, checked with
// the test key, parsed, version-checked and published into a patch engine.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/build_config.h"
#include "app/setup_state.h"
#include "message_sink.h"
#include "patch/engine.h"
#include "patch/manifest.h"
#include "patch/state.h"
#include "pause_recorder.h"
#include "tests/host/chunker_cases.h"
#include "support/http.h"
#include "test_files.h"
#include "test_release.h"
#include "test_servers.h"

using namespace qvtest;

namespace {

const std::string kHashA = "3f" + std::string(62, 'a');
const std::string kHashB = std::string(64, '0');

// A manifest with one file entry whose fields are given as JSON text.
std::string OneFileManifest(const std::string& entry, const std::string& extra = "") {
  return "{\"format\": 1, \"version\": 3" + extra + ", \"files\": [" + entry + "]}";
}

std::string Entry(const std::string& path, const std::string& more = "") {
  return "{\"p\": \"" + path + "\", \"h\": \"" + kHashA + "\", \"s\": 10, \"c\": 8" + more + "}";
}

class Manifest : public ::testing::Test {
protected:
  void SetUp() override {
    EnsureHttpSession();
    prefix = UniquePrefix();
    UseTestKey();
    engine.notifyWindow = stages.hwnd();
    engine.notifyMessage = WM_APP + 1;
    engine.installFolder = folder.slashed();
    ASSERT_TRUE(FolderRootOpen(engine.root, engine.installFolder));
    ASSERT_TRUE(CreateDirectoryW((folder / L"config").c_str(), nullptr));
    UseNginx();
  }
  void TearDown() override {
    RawHttp(FaultPort(), "POST", "/_control", "{\"clear\":\"" + prefix + "\"}");
    std::error_code ec;
    std::filesystem::remove_all(WwwFile(prefix), ec);
  }
  void UseNginx() { g_patchBaseUrl = NginxUrl(prefix + "patch/"); }
  void UseFaultServer() { g_patchBaseUrl = FaultUrl(prefix + "patch/"); }

  ManifestFetch Fetch() {
    bytes.clear();
    error.clear();
    return FetchSignedManifest(engine, bytes, error);
  }

  // Fetch, parse, version rule and file list, as a run does them; the first failing step's
  // text, or empty when everything passed.
  std::wstring Run(const std::string& json) {
    release.Sign(json);
    if (Fetch() != ManifestFetch::Ok) return L"fetch: " + error;
    std::wstring text;
    if (!ParseManifest(bytes, doc, text)) return text;
    if (const Failure older = CheckManifestVersion(engine, doc.members); Failed(older)) return FailureText(older);
    PublishManifestData(engine, doc.members);
    if (!ReadManifestFiles(doc, files, text)) return text;
    return L"";
  }

  std::vector<WPARAM> StageCodes() {
    std::vector<WPARAM> codes;
    for (const Message& post : stages.Take(WM_APP + 1)) codes.push_back(post.wParam);
    return codes;
  }

  int Requests(const std::string& name) {
    int n = 0;
    for (auto& r : FaultLog(prefix)) n += r.target == prefix + "patch/" + name;
    return n;
  }

  std::string prefix;
  Release release;  // served at prefix + "patch/"
  MessageSink stages;
  PauseRecorder pauses;
  PatchEngine engine;
  ScratchFolder folder;
  std::string bytes;
  std::wstring error;
  CompactManifest doc;
  FileList files;
};

const std::wstring kConnect = L"Could not connect to the patch server.";
const std::wstring kSignature = L"Invalid patch signature. Download refused.";
const std::wstring kInvalid = L"Invalid patch manifest.";

}  // namespace

// ---- fetch and signature ------------------------------------------------------------

TEST_F(Manifest, TestSigningHelperReproducesRfcVector) {
  // RFC 8032 test 2: the helper that signs the tests' manifests must be right first.
  const std::string sig = SignEd25519(HexToBytes("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb"),
                                      HexToBytes("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c"),
                                      HexToBytes("72"));
  EXPECT_EQ(sig, HexToBytes("92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
                            "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"));
}

TEST_F(Manifest, PublishedSampleReleaseVerifiesAndItsObjectsAreWhereTheUrlsSay) {
  g_patchBaseUrl = Widen(ServerValue("QV_SAMPLE_BASE_URL"));
  ASSERT_EQ(Fetch(), ManifestFetch::Ok) << std::string(error.begin(), error.end());
  EXPECT_TRUE(bytes == ReadBytes(WinePath(ServerValue("QV_SAMPLE_RELEASE") + "/manifest.json")));
  EXPECT_EQ(StageCodes(), std::vector<WPARAM>{StageVerifying});

  std::wstring text;
  ASSERT_TRUE(ParseManifest(bytes, doc, text));
  ASSERT_TRUE(ReadManifestFiles(doc, files, text));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(ManifestVersion(doc.members), std::stoi(ServerValue("QV_SAMPLE_VERSION")));
  for (size_t i = 0; i < files.size(); ++i) {
    const FileEntry f = files[i];
    const std::wstring url = ManifestFileUrl(f.hash);
    EXPECT_EQ(url, g_patchBaseUrl + L"files/" + Widen(f.hash.substr(0, 2)) + L"/" + Widen(f.hash) + L".z");
    uint64_t length = 0;
    ByteSink ignore = [](const uint8_t*, uint32_t) { return true; };
    EXPECT_EQ(HttpGet(url, ignore, &length, false, 0), 200) << f.path;
    EXPECT_EQ(length, f.compressedSize) << f.path;
  }
}

TEST_F(Manifest, ShortSignatureFailsEveryAttemptWithPauses) {
  release.Sign(OneFileManifest(Entry("a.txt")));
  ServeFile(prefix + "patch/manifest.sig", std::string(63, 'x'));
  UseFaultServer();
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kSignature);
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1500, 1500})) << "between the three attempts";
  EXPECT_EQ(Requests("manifest.json"), 3);
  EXPECT_EQ(Requests("manifest.sig"), 3);
  EXPECT_TRUE(StageCodes().empty());  // no 64-byte signature, so nothing was checked
  EXPECT_TRUE(bytes.empty());
}

TEST_F(Manifest, WrongSignatureIsCheckedThreeTimesThenRefused) {
  const std::string json = OneFileManifest(Entry("a.txt"));
  release.Sign(json);
  std::string sig = SignWithTestKey(json);
  sig[10] ^= 0x04;
  ServeFile(prefix + "patch/manifest.sig", sig);
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kSignature);
  EXPECT_EQ(StageCodes(), (std::vector<WPARAM>{StageVerifying, StageVerifying, StageVerifying}));
}

TEST_F(Manifest, LongSignatureIsRefusedByItsSinkAsMinusOne) {
  release.Sign(OneFileManifest(Entry("a.txt")));
  ServeFile(prefix + "patch/manifest.sig", std::string(65, 'x'));
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kConnect + L" (HTTP -1)");
}

TEST_F(Manifest, ManifestThatDiffersFromTheSignedBytesFails) {
  const std::string json = OneFileManifest(Entry("a.txt"));
  const std::string sig = SignWithTestKey(json);
  std::string changed = json;
  changed[changed.find("10")] = '2';
  for (const std::string& served : {changed, json + "\n", "\xEF\xBB\xBF" + json, json.substr(0, json.size() - 1)}) {
    ServeFile(prefix + "patch/manifest.json", served);
    ServeFile(prefix + "patch/manifest.sig", sig);
    EXPECT_EQ(Fetch(), ManifestFetch::Failed) << served;
    EXPECT_EQ(error, kSignature) << served;
  }
  ServeFile(prefix + "patch/manifest.json", json);
  EXPECT_EQ(Fetch(), ManifestFetch::Ok);
  EXPECT_TRUE(bytes == json);
}

TEST_F(Manifest, OneGoodAttemptAmongThreeIsEnough) {
  const std::string json = OneFileManifest(Entry("a.txt"));
  release.Sign(json);
  UseFaultServer();
  const std::string bad = Base64(std::string(64, 'b'));
  FaultScript(prefix + "patch/manifest.sig", "[{\"body_b64\": \"" + bad + "\"}, {\"body_b64\": \"" + bad + "\"}]");
  EXPECT_EQ(Fetch(), ManifestFetch::Ok);
  EXPECT_TRUE(bytes == json);
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1500, 1500}));
  EXPECT_EQ(Requests("manifest.sig"), 3);
  EXPECT_EQ(StageCodes(), (std::vector<WPARAM>{StageVerifying, StageVerifying, StageVerifying}));

  FaultScript(prefix + "patch/manifest.json", R"([{"status": 500}, {"status": 404}])");
  EXPECT_EQ(Fetch(), ManifestFetch::Ok);
}

TEST_F(Manifest, TheLastAttemptDecidesTheText) {
  release.Sign(OneFileManifest(Entry("a.txt")));
  UseFaultServer();
  const std::string bad = "{\"body_b64\": \"" + Base64(std::string(64, 'b')) + "\"}";
  // Bad signatures first, then the server fails: the bad signatures are forgotten.
  FaultScript(prefix + "patch/manifest.sig", "[" + bad + ", " + bad + "]", R"({"status": 404})");
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kConnect + L" (HTTP 404)");
  // Server failures first, then a bad signature.
  FaultScript(prefix + "patch/manifest.json", R"([{"status": 503}, {"status": 503}])");
  FaultScript(prefix + "patch/manifest.sig", "[]", bad);
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kSignature);
}

TEST_F(Manifest, HttpStatusSuffixComesFromTheFailingRequest) {
  // Nothing served at all: manifest.json is a 404 from nginx.
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kConnect + L" (HTTP 404)");

  ServeFile(prefix + "patch/manifest.json", OneFileManifest(Entry("a.txt")));
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);  // manifest 200, signature 404
  EXPECT_EQ(error, kConnect + L" (HTTP 404)");

  UseFaultServer();
  ServeFile(prefix + "patch/manifest.sig", std::string(64, 's'));
  FaultScript(prefix + "patch/manifest.sig", "[]", R"({"drop": 0})");
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);  // signature request failed outright: its 0
  EXPECT_EQ(error, kConnect + L" (HTTP 0)");

  FaultScript(prefix + "patch/manifest.json", "[]", R"({"status": 503})");
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kConnect + L" (HTTP 503)");

  FaultScript(prefix + "patch/manifest.json", "[]", R"({"drop": 5})");
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);  // manifest request gave 0: no suffix
  EXPECT_EQ(error, kConnect);
  EXPECT_EQ(Requests("manifest.sig"), 3);     // only while the manifest itself was served
}

TEST_F(Manifest, UnreachableServerGivesNoSuffix) {
  ClosedPort closed;
  g_patchBaseUrl = L"http://127.0.0.1:" + std::to_wstring(closed.port()) + L"/patch/";
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kConnect);
  EXPECT_TRUE(StageCodes().empty());
}

TEST_F(Manifest, ManifestOverItsLimitIsAFailedRequestWithoutSuffix) {
  ServeFile(prefix + "patch/manifest.json", std::string(33554432 + 1, ' '));
  ServeFile(prefix + "patch/manifest.sig", std::string(64, 's'));
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, kConnect);
  EXPECT_TRUE(StageCodes().empty());  // the signature was never fetched nor checked
}

TEST_F(Manifest, ManifestOfExactlyItsLimitIsAccepted) {
  g_patchBaseUrl = Widen(ServerValue("QV_LIMIT_BASE_URL"));
  ASSERT_EQ(Fetch(), ManifestFetch::Ok) << std::string(error.begin(), error.end());
  EXPECT_EQ(bytes.size(), 33554432u);
  std::wstring text;
  ASSERT_TRUE(ParseManifest(bytes, doc, text));
  EXPECT_TRUE(ReadManifestFiles(doc, files, text));
  EXPECT_EQ(files.size(), 1000u);
}

TEST_F(Manifest, LargeManifestVerifiesAndParses) {
  g_patchBaseUrl = Widen(ServerValue("QV_LARGE_BASE_URL"));
  ASSERT_EQ(Fetch(), ManifestFetch::Ok) << std::string(error.begin(), error.end());
  std::wstring text;
  ASSERT_TRUE(ParseManifest(bytes, doc, text));
  ASSERT_TRUE(ReadManifestFiles(doc, files, text));
  ASSERT_EQ(files.size(), 20000u);
  EXPECT_EQ(files[12345].path, "data/d123/file 12345.dat");
  EXPECT_EQ(files[12345].widePath, L"data\\d123\\file 12345.dat");
  EXPECT_EQ(files[12345].size, 3u * 12345);
  EXPECT_EQ(files[12345].compressedSize, 2u * 12345);
  // The list a run keeps holds each path and hash once and no tree.
  EXPECT_LE(files.MemoryBytes() / files.size(), 400u);
}

// Releases with long delete lists (1,000 files and 17,000 deletions; 50 and 20,000) are read whole.
TEST_F(Manifest, LongDeleteListsAreRead) {
  for (const auto [release, count, deletes] : {std::tuple{"/deletes1/patch/", 1000, 17000}, std::tuple{"/deletes2/patch/", 50, 20000}}) {
    g_patchBaseUrl = NginxUrl(release);
    ASSERT_EQ(Fetch(), ManifestFetch::Ok) << Narrow(error);
    EXPECT_GT(bytes.size(), 440000u);
    std::wstring text;
    ASSERT_TRUE(ParseManifest(bytes, doc, text)) << Narrow(text);
    ASSERT_TRUE(ReadManifestFiles(doc, files, text)) << Narrow(text);
    EXPECT_EQ(files.size(), static_cast<size_t>(count));
    const std::vector<std::string> deleteList = ManifestDeleteList(doc.members);
    ASSERT_EQ(deleteList.size(), static_cast<size_t>(deletes));
    EXPECT_EQ(deleteList[12345], "data/old/f012345.bin");
  }
}

TEST_F(Manifest, CancelStopsBeforeTheNextAttempt) {
  UseFaultServer();
  FaultScript(prefix + "patch/manifest.json", "[]", R"({"status": 404})");
  engine.cancel = true;
  EXPECT_EQ(Fetch(), ManifestFetch::Cancelled);
  EXPECT_EQ(Requests("manifest.json"), 0);
  EXPECT_TRUE(error.empty());

  engine.cancel = false;
  pauses.during = [&](uint32_t) { engine.cancel = true; };  // during the pause after the first attempt
  EXPECT_EQ(Fetch(), ManifestFetch::Cancelled);
  EXPECT_EQ(pauses.pauses(), std::vector<uint32_t>{1500});
  EXPECT_EQ(Requests("manifest.json"), 1);
  EXPECT_TRUE(error.empty());
}

TEST_F(Manifest, UnconfiguredKeyFailsWithoutAnyRequest) {
  release.Sign(OneFileManifest(Entry("a.txt")));
  UseFaultServer();
  for (auto& b : g_publicKey) b = 0;
  EXPECT_FALSE(PublicKeyConfigured());
  EXPECT_EQ(Fetch(), ManifestFetch::Failed);
  EXPECT_EQ(error, L"Public key not configured (public_key).");
  EXPECT_EQ(NoPublicKeyText(), error);
  EXPECT_EQ(Requests("manifest.json"), 0);
  UseTestKey();
  EXPECT_TRUE(PublicKeyConfigured());
}

// ---- parsing ------------------------------------------------------------------------

TEST_F(Manifest, FormatIsTruncatedAndMustBeOne) {
  EXPECT_EQ(Run("{\"format\": 1.9, \"files\": []}"), L"");
  EXPECT_EQ(Run("{\"format\": 1, \"files\": []}"), L"");
  EXPECT_EQ(Run("{\"format\": 2, \"files\": []}"), kInvalid + L" ");
  EXPECT_EQ(Run("{\"format\": 0.9, \"files\": []}"), kInvalid + L" ");
  EXPECT_EQ(Run("{\"format\": \"1\", \"files\": []}"), kInvalid + L" ");
  EXPECT_EQ(Run("{\"files\": []}"), kInvalid + L" ");
  EXPECT_EQ(Run("{\"format\": 1, \"files\": {}}"), kInvalid + L" ");
  EXPECT_EQ(Run("{\"format\": 1}"), kInvalid + L" ");
  EXPECT_EQ(Run("[{\"format\": 1, \"files\": []}]"), kInvalid + L" ");
}

TEST_F(Manifest, ParserMessageFollowsTheText) {
  EXPECT_EQ(Run(""), kInvalid + L" fim inesperado");
  EXPECT_EQ(Run("{\"format\": 1, \"files\": []} x"), kInvalid + L" lixo depois do JSON");
  EXPECT_EQ(Run("{\"format\": 1, \"files\": [}"), kInvalid + L" valor invalido");
}

TEST_F(Manifest, EveryPathRuleRefusalMakesTheManifestInvalid) {
  const std::string longPath = std::string(401, 'a');
  for (const std::string& bad : {std::string("../a.txt"), std::string("C:/a.txt"), std::string("a//b.txt"),
                                 std::string("dir/name."), std::string("/abs.txt"), std::string("a\\\\..\\\\b"),
                                 std::string("dir /b"), std::string("a|b"), std::string(""), longPath}) {
    EXPECT_EQ(Run(OneFileManifest(Entry("ok.txt") + ", " + Entry(bad))), kInvalid + L" (path)") << bad;
  }
  EXPECT_EQ(Run(OneFileManifest(Entry(std::string(400, 'a')))), L"");
  EXPECT_EQ(Run(OneFileManifest(Entry("..a/b..c/x"))), L"");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].widePath, L"..a\\b..c\\x");
  EXPECT_EQ(files[0].path, "..a/b..c/x");
}

TEST_F(Manifest, BadHashesAndNonObjectsMakeTheManifestInvalid) {
  const std::string h63 = std::string(63, 'a'), h65 = std::string(65, 'a'), hg = std::string(63, 'a') + "g";
  for (const std::string& hash : {h63, h65, hg}) {
    const std::string entry = "{\"p\": \"a.txt\", \"h\": \"" + hash + "\"}";
    EXPECT_EQ(Run(OneFileManifest(entry)), kInvalid + L" (path)") << hash;
  }
  EXPECT_EQ(Run(OneFileManifest("{\"p\": \"a.txt\"}")), kInvalid + L" (path)");
  EXPECT_EQ(Run(OneFileManifest("\"a.txt\"")), kInvalid + L" (path)");
  EXPECT_EQ(Run(OneFileManifest("{\"p\": 5, \"h\": \"" + kHashA + "\"}")), kInvalid + L" (path)");
}

TEST_F(Manifest, FileEntryFieldsAndTheirDefaults) {
  const std::string upper = "3F" + std::string(62, 'A');
  const std::string json = OneFileManifest(
      "{\"p\": \"bin/Game.exe\", \"h\": \"" + kHashA + "\", \"s\": 123456789012, \"c\": 99.9, \"k\": 2},"
      "{\"p\": \"a\", \"h\": \"" + kHashB + "\", \"s\": -5, \"c\": \"7\", \"k\": true},"
      "{\"p\": \"b\", \"h\": \"" + upper + "\", \"k\": 0.5},"
      "{\"p\": \"c\", \"h\": \"" + kHashB + "\", \"s\": 1e30, \"k\": -1}");
  ASSERT_EQ(Run(json), L"");
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0].path, "bin/Game.exe");
  EXPECT_EQ(files[0].widePath, L"bin\\Game.exe");
  EXPECT_EQ(files[0].hash, kHashA);
  EXPECT_EQ(files[0].size, 123456789012u);
  EXPECT_EQ(files[0].compressedSize, 99u);
  EXPECT_TRUE(files[0].keep);
  EXPECT_EQ(files[1].size, 0u);            // negative
  EXPECT_EQ(files[1].compressedSize, 0u);  // not a number
  EXPECT_FALSE(files[1].keep);             // JSON true is not a number
  EXPECT_EQ(files[2].hash, upper);         // parses; its downloads can never verify
  EXPECT_EQ(files[2].size, 0u);
  EXPECT_FALSE(files[2].keep);             // 0.5 truncates to 0
  EXPECT_EQ(files[3].size, UINT64_MAX);    // beyond 64 bits saturates
  EXPECT_TRUE(files[3].keep);
  EXPECT_EQ(ManifestFileUrl(upper), g_patchBaseUrl + L"files/3F/" + Widen(upper) + L".z");
}

TEST_F(Manifest, ParseFileEntryLeavesTheEntryAloneOnFailure) {
  FileEntry entry;
  entry.path = "before";
  entry.size = 42;
  JsonValue value;
  ASSERT_TRUE(JsonParse("{\"p\": \"../x\", \"h\": \"" + kHashA + "\", \"s\": 1}", value));
  EXPECT_FALSE(ParseFileEntry(value, entry));
  EXPECT_EQ(entry.path, "before");
  EXPECT_EQ(entry.size, 42u);
  ASSERT_TRUE(JsonParse("[1]", value));
  EXPECT_FALSE(ParseFileEntry(value, entry));
}

// ---- version rule -------------------------------------------------------------------

TEST_F(Manifest, AnyVersionIsAcceptedWithoutPatcherIni) {
  EXPECT_EQ(Run("{\"format\": 1, \"version\": -7, \"files\": []}"), L"");
  EXPECT_EQ(engine.manifestVersion.load(), -7);
  EXPECT_EQ(Run("{\"format\": 1, \"files\": []}"), L"");
  EXPECT_EQ(engine.manifestVersion.load(), 0);
}

TEST_F(Manifest, OlderVersionThanTheInstalledOneIsRefused) {
  WriteInstalledVersion(OpenRoot(folder.slashed()), 12);
  EXPECT_EQ(Run("{\"format\": 1, \"version\": 11, \"files\": []}"),
            L"The server sent an older version than the installed one.");
  EXPECT_EQ(engine.manifestVersion.load(), 11);  // stored before the check
  EXPECT_EQ(Run("{\"format\": 1, \"version\": 12, \"files\": []}"), L"");
  EXPECT_EQ(Run("{\"format\": 1, \"version\": 12.9, \"files\": []}"), L"");
  EXPECT_EQ(Run("{\"format\": 1, \"version\": 13, \"files\": []}"), L"");
  EXPECT_EQ(Run("{\"format\": 1, \"files\": []}"), L"The server sent an older version than the installed one.");
}

TEST_F(Manifest, NegativeInstalledVersionMeansNoCheck) {
  WriteInstalledVersion(OpenRoot(folder.slashed()), -3);
  int32_t installed = 99;
  EXPECT_FALSE(ReadInstalledVersion(OpenRoot(folder.slashed()), installed));
  EXPECT_EQ(installed, 99);
  EXPECT_EQ(Run("{\"format\": 1, \"version\": 1, \"files\": []}"), L"");
}

TEST_F(Manifest, VersionIsTruncatedAndClamped) {
  auto version = [&](const std::string& v) {
    JsonValue d;
    EXPECT_TRUE(JsonParse("{\"version\": " + v + "}", d));
    return ManifestVersion(d);
  };
  EXPECT_EQ(version("7.99"), 7);
  EXPECT_EQ(version("-7.99"), -7);
  EXPECT_EQ(version("\"7\""), 0);
  EXPECT_EQ(version("null"), 0);
  EXPECT_EQ(version("2147483647"), 2147483647);
  EXPECT_EQ(version("1e12"), 2147483647);
  EXPECT_EQ(version("-1e12"), -2147483647 - 1);
}

// ---- published data -----------------------------------------------------------------

TEST_F(Manifest, GameExecutableDefaultsAndIgnoresUnsafePaths) {
  EXPECT_EQ(Run("{\"format\": 1, \"files\": []}"), L"");
  EXPECT_EQ(engine.gameExe, L"Play Quorvel.exe");
  EXPECT_EQ(Run("{\"format\": 1, \"game_exe\": \"bin/Quorvel.exe\", \"files\": []}"), L"");
  EXPECT_EQ(engine.gameExe, L"bin\\Quorvel.exe");
  EXPECT_EQ(Run("{\"format\": 1, \"game_exe\": \"../evil.exe\", \"files\": []}"), L"");
  EXPECT_EQ(engine.gameExe, L"bin\\Quorvel.exe");  // kept from before
  PatchEngine fresh;
  JsonValue d;
  ASSERT_TRUE(JsonParse("{\"format\": 1, \"game_exe\": \"C:\\\\x.exe\", \"files\": []}", d));
  PublishManifestData(fresh, d);
  EXPECT_EQ(fresh.gameExe, L"");
}

TEST_F(Manifest, PublishingPostsManifestDataReadyAfterTheVerifyStage) {
  ASSERT_EQ(Run("{\"format\": 1, \"news\": [{\"title\": \"Hi\"}], \"links\": {\"site\": \"https://q\"}, \"files\": []}"), L"");
  auto posts = stages.Take(WM_APP + 1);
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].wParam, static_cast<WPARAM>(StageVerifying));
  EXPECT_EQ(posts[0].lParam, 0);
  EXPECT_EQ(posts[1].wParam, static_cast<WPARAM>(StageVerifying));
  EXPECT_EQ(posts[1].lParam, 1) << "manifest data ready";
  EXPECT_EQ(engine.stage.load(), StageVerifying);
  std::lock_guard<SlimLock> lock(engine.stateLock);
  ASSERT_EQ(engine.news.size(), 1u);
  EXPECT_EQ(engine.news[0].title, L"Hi");
  EXPECT_EQ(engine.links.at("site"), L"https://q");
}

// What the manifest may not name: the program's own files, two files one name apart only in
// case, and a listed file in the delete list. The refusal names the path.
// ---- servers behind, expired or silent ---------------------------------------------------

TEST(ManifestTime, UtcTimesReadAndWriteOnlyRealDates) {
  int64_t at = -1;
  EXPECT_TRUE(ParseUtcTime("1970-01-01T00:00:00Z", at));
  EXPECT_EQ(at, 0);
  EXPECT_TRUE(ParseUtcTime("2000-02-29T23:59:59Z", at));
  EXPECT_EQ(FormatUtcTime(at), "2000-02-29T23:59:59Z");
  EXPECT_EQ(FormatUtcTime(951782400), "2000-02-29T00:00:00Z");
  for (const char* bad : {"2023-02-29T00:00:00Z", "2026-12-10T24:00:00Z", "2026-12-10T02:00:00", "2026-12-10 02:00:00Z", ""})
    EXPECT_FALSE(ParseUtcTime(bad, at)) << bad;
}

TEST_F(Manifest, AServerBehindOrExpiredGivesWayAndTheTextSaysWhy) {
  Release second;
  second.urlPath = prefix + "second/patch/";
  g_patchBaseUrl = release.NginxBase() + L";" + second.NginxBase();
  ManifestRule rule;
  rule.haveFloor = true;
  rule.floor = 2;
  rule.now = UnixNow();
  const auto current = [&](const std::string& first, const std::string& next) {
    release.Sign(first);
    second.Sign(next);
    engine.mirrorSource.clear();  // a new run asks every server again
    error.clear();
    if (FetchCurrentManifest(engine, rule, doc, error) != ManifestFetch::Ok) return error;
    return L"version " + std::to_wstring(ManifestVersion(doc.members));
  };
  const std::string v1 = "{\"format\": 1, \"version\": 1, \"files\": []}";
  const std::string v3 = "{\"format\": 1, \"version\": 3, \"files\": []}";
  const auto expiring = [](const std::string& at) {
    return "{\"format\": 1, \"version\": 3, \"expires\": \"" + at + "\", \"files\": []}";
  };
  const std::string expired = expiring("2020-01-01T00:00:00Z");
  EXPECT_EQ(current(v1, v3), L"version 3");
  EXPECT_EQ(current(expired, v3), L"version 3");
  EXPECT_EQ(current(v1, v1), L"The server sent an older version than the installed one.");
  EXPECT_EQ(current(expired, v1), L"The patch server's release has expired. Check your computer's clock and try again later.");
  // An hour past its expiry is within the day a clock may be off; a day and a minute is not.
  EXPECT_EQ(current(expiring(FormatUtcTime(rule.now - 3600)), v1), L"version 3");
  EXPECT_EQ(current(expiring(FormatUtcTime(rule.now - 86460)), v1).substr(0, 21), L"The patch server's re");
  EXPECT_EQ(current(expiring("tomorrow"), v3), kInvalid + L" (expires)");
  EXPECT_TRUE(pauses.pauses().empty()) << "a verified manifest that will not do is not asked for again";
}

TEST(ManifestPaths, OwnFilesCaseTwinsAndDeletingAListedFileAreRefused) {
  const std::string hash(64, 'a');
  const auto check = [&hash](const std::string& files, const std::string& deletes, std::wstring& error) {
    CompactManifest doc;
    const std::string text = "{\"format\":1,\"files\":[" + files + "],\"delete\":[" + deletes + "]}";
    EXPECT_TRUE(ParseManifest(text, doc, error)) << text;
    FileList entries;
    EXPECT_TRUE(ReadManifestFiles(doc, entries, error)) << text;
    return CheckManifestPaths(entries, ManifestDeleteList(doc.members), error);
  };
  const auto file = [&hash](const std::string& path) { return "{\"p\":\"" + path + "\",\"h\":\"" + hash + "\"}"; };
  std::wstring error;
  EXPECT_TRUE(check(file("bin/Quorvel.exe") + "," + file("Data/a.pak"), "\"old/x.dll\",\"bad/../x\",5", error));
  const struct {
    std::string files, deletes;
    std::wstring path;
  } refused[] = {
      {file("bin/Uninstall Quorvel.exe"), "", L"bin\\Uninstall Quorvel.exe"},
      {file("BIN/QUORVEL.INSTALL"), "", L"BIN\\QUORVEL.INSTALL"},
      {file("config/patcher.ini"), "", L"config\\patcher.ini"},
      {file("patcher_parts/" + hash + ".z"), "", L"patcher_parts\\" + std::wstring(hash.begin(), hash.end()) + L".z"},
      {file("Data/a.pak.ap_tmp"), "", L"Data\\a.pak.ap_tmp"},
      {file("Data/a.pak") + "," + file("data/A.PAK"), "", L"data\\A.PAK"},
      {file("Data/\xC3\xA9t\xC3\xA9.pak") + "," + file("Data/\xC3\x89T\xC3\x89.pak"), "", L"Data\\\u00C9T\u00C9.pak"},
      {file("Data/a.pak"), "\"config/patcher_cache.dat\"", L"config\\patcher_cache.dat"},
      {file("Data/a.pak"), "\"patcher_parts\"", L"patcher_parts"},
      {file("Data/a.pak"), "\"DATA/a.pak\"", L"DATA\\a.pak"},
  };
  for (const auto& c : refused) {
    error.clear();
    EXPECT_FALSE(check(c.files, c.deletes, error)) << c.files << " " << c.deletes;
    EXPECT_EQ(error, L"Invalid patch manifest. " + c.path);
  }
}

// Piece lists meet the manifest's rule wherever "pieces" stands in it, and of a repeated files
// member only the last list counts, as when the whole document was one tree.
TEST(ManifestPieces, ListsMeetTheRuleWhereverItStandsAndTheLastFilesMemberCounts) {
  const auto piece = [](uint32_t size) { return "{\"h\":\"" + std::string(64, 'c') + "\",\"s\":" + std::to_string(size) + "}"; };
  const uint32_t mib = 1u << 20;
  const std::string entry = "{\"p\":\"w.pak\",\"h\":\"" + std::string(64, 'b') + "\",\"s\":" + std::to_string(3 * mib) +
                            ",\"x\":[" + piece(2 * mib) + "," + piece(mib) + "]}";
  const std::string fixed = "{\"p\":\"f.pak\",\"h\":\"" + std::string(64, 'b') + "\",\"s\":" + std::to_string(3 * mib) +
                            ",\"x\":[" + piece(mib) + "," + piece(mib) + "," + piece(mib) + "]}";
  const std::string gear = "\"pieces\":{\"rule\":\"gear\",\"min\":262144,\"avg\":1048576,\"max\":4194304}";
  const auto pieces = [](const std::string& json) {
    CompactManifest doc;
    FileList files;
    std::wstring error;
    EXPECT_TRUE(ParseManifest(json, doc, error)) << json;
    EXPECT_TRUE(ReadManifestFiles(doc, files, error)) << json;
    std::string counts;
    for (size_t i = 0; i < files.size(); ++i) counts += std::to_string(files[i].chunks.size());
    return counts;
  };
  EXPECT_EQ(pieces("{\"format\":1," + gear + ",\"files\":[" + entry + "," + fixed + "]}"), "23");
  EXPECT_EQ(pieces("{\"format\":1,\"files\":[" + entry + "," + fixed + "]," + gear + "}"), "23");
  EXPECT_EQ(pieces("{\"format\":1,\"files\":[" + entry + "," + fixed + "]}"), "03");
  EXPECT_EQ(pieces("{\"format\":1,\"files\":[" + entry + "," + fixed + "],\"pieces\":{\"rule\":\"other\"}}"), "00");
  EXPECT_EQ(pieces("{\"format\":1,\"files\":[" + entry + "," + entry + "],\"files\":[" + fixed + "]}"), "3");
  EXPECT_EQ(pieces("{\"format\":1,\"files\":[\"bad\"],\"files\":[]}"), "");
  CompactManifest doc;
  FileList files;
  std::wstring error;
  ASSERT_TRUE(ParseManifest("{\"format\":1,\"files\":[" + fixed + "],\"files\":[" + fixed + ",7]}", doc, error));
  EXPECT_FALSE(ReadManifestFiles(doc, files, error));
  EXPECT_EQ(error, L"Invalid patch manifest. (path)");
  EXPECT_EQ(files.size(), 1u) << "the entries before the one that failed";
}

// The installer cuts its files where the publisher does (the publisher's build runs the same
// table in the host tests).
TEST(PieceRuleOnWindows, CutsWhereTheIndependentReadingOfTheRuleCuts) {
  for (const CutCase& c : CutCases()) {
    SCOPED_TRACE(c.seed);
    EXPECT_EQ(CutWithDefaultRule(CutCaseBytes(c.seed, c.size)), c.pieces);
  }
}
