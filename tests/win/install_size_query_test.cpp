// The game size query against manifests served by the test servers over real HTTP.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/build_config.h"
#include "app/setup_state.h"
#include "install/size_query.h"
#include "install_test_util.h"
#include "message_sink.h"
#include "test_servers.h"

using namespace qvtest;

namespace {
class SizeQuery : public ::testing::Test {
protected:
  void SetUp() override {
    ResetSetupState();
    EnsureHttpSession();
    g_setup.mainWindow = sink_.hwnd();
    prefix_ = UniquePrefix();
    g_patchBaseUrl = NginxUrl(prefix_ + "patch/");
  }
  void TearDown() override { g_setup.mainWindow = nullptr; }

  // Serves manifest.json, runs the query and reports how many 0x800A messages it posted.
  int Query(const std::string& manifest) {
    ServeFile(prefix_ + "patch/manifest.json", manifest);
    QueryGameSize({&g_setup.gameSize, &g_setup.remoteVersion, g_setup.mainWindow});
    return static_cast<int>(sink_.Take(WM_APP + 10).size());
  }
  // Nothing stored (the sentinels set here must survive); the failure is told to the window.
  void ExpectNothingStored(int posted) {
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(GameSizeQueryFailed());
    EXPECT_EQ(g_setup.gameSize.load(), 77u);
    EXPECT_EQ(g_setup.remoteVersion.load(), 5);
  }
  void SetSentinels() {
    g_setup.gameSize = 77;
    g_setup.remoteVersion = 5;
  }

  MessageSink sink_;
  std::string prefix_;
};
}  // namespace

TEST_F(SizeQuery, SumsNumericSizesAndTakesTheVersion) {
  const std::string manifest = R"({"version": 12, "files": [
      {"p": "a.dat", "s": 1000},
      {"p": "b.dat", "s": "1234"},
      {"p": "c.dat", "s": -5},
      {"p": "d.dat", "s": 1.9},
      {"p": "e.dat"},
      "not an object",
      {"p": "f.dat", "s": 4000000000},
      {"p": "g.dat", "s": null}]})";
  EXPECT_EQ(Query(manifest), 1);
  EXPECT_FALSE(GameSizeQueryFailed());
  EXPECT_EQ(g_setup.gameSize.load(), 1000u + 1u + 4000000000u);
  EXPECT_EQ(g_setup.remoteVersion.load(), 12);
}

TEST_F(SizeQuery, MissingOrOddVersions) {
  EXPECT_EQ(Query(R"({"files": [{"s": 10}, {"s": 20}]})"), 1);
  EXPECT_EQ(g_setup.gameSize.load(), 30u);
  EXPECT_EQ(g_setup.remoteVersion.load(), 0);

  EXPECT_EQ(Query(R"({"version": "12", "files": []})"), 1);
  EXPECT_EQ(g_setup.remoteVersion.load(), 0);
  EXPECT_EQ(g_setup.gameSize.load(), 0u);

  EXPECT_EQ(Query(R"({"version": 7.9, "files": []})"), 1);
  EXPECT_EQ(g_setup.remoteVersion.load(), 7);
  EXPECT_EQ(Query(R"({"version": -2.5, "files": []})"), 1);
  EXPECT_EQ(g_setup.remoteVersion.load(), -2);
  // Only the low 32 bits of the 64-bit value are kept.
  EXPECT_EQ(Query(R"({"version": 4294967297, "files": []})"), 1);
  EXPECT_EQ(g_setup.remoteVersion.load(), 1);
}

TEST_F(SizeQuery, RepeatedKeysCountAsTheReaderKeepsThem) {
  // The last occurrence wins, as in the tree the reader would build.
  EXPECT_EQ(Query(R"({"files": [{"s": 1}], "version": 2, "files": [{"s": 10, "s": 20}, {"s": 5, "s": "x"}],
                     "version": 3, "x": {"files": [{"s": 1000}]}})"), 1);
  EXPECT_EQ(g_setup.gameSize.load(), 20u);
  EXPECT_EQ(g_setup.remoteVersion.load(), 3);
  SetSentinels();
  ExpectNothingStored(Query(R"({"files": [{"s": 1}], "files": 5})"));
}

TEST_F(SizeQuery, ABodyOfBareValuesIsReadWithoutATree) {
  // 32 MiB of [0,0,...] inside "files": no element is an object, so the size is 0.
  std::string manifest = R"({"version": 4, "files": [0)";
  manifest.reserve(32u << 20);
  while (manifest.size() + 8 < (32u << 20)) manifest += ",0,{},[]";
  manifest += "]}";
  EXPECT_EQ(Query(manifest), 1);
  EXPECT_EQ(g_setup.gameSize.load(), 0u);
  EXPECT_EQ(g_setup.remoteVersion.load(), 4);
}

TEST_F(SizeQuery, SizesBeyondTheRangeSaturate) {
  EXPECT_EQ(Query(R"({"version": 1, "files": [{"s": 1e30}, {"s": 5}]})"), 1);
  EXPECT_EQ(g_setup.gameSize.load(), UINT64_MAX);
  EXPECT_EQ(Query(R"({"version": 1, "files": [{"s": 18446744073709549568}, {"s": 18446744073709549568}]})"), 1);
  EXPECT_EQ(g_setup.gameSize.load(), UINT64_MAX);
}

TEST_F(SizeQuery, WrongShapesStoreNothingAndReportAFailure) {
  for (const char* manifest : {R"([{"s": 10}])", R"({"version": 3, "files": {"s": 10}})", R"({"version": 3})",
                               R"({"version": 3, "files": [)", "", "null"}) {
    SetSentinels();
    SCOPED_TRACE(manifest);
    ExpectNothingStored(Query(manifest));
  }
}

TEST_F(SizeQuery, HttpFailuresStoreNothingAndReportAFailure) {
  SetSentinels();
  g_patchBaseUrl = NginxUrl(prefix_ + "missing/");
  QueryGameSize({&g_setup.gameSize, &g_setup.remoteVersion, g_setup.mainWindow});
  ExpectNothingStored(static_cast<int>(sink_.Take(WM_APP + 10).size()));

  ClosedPort closed;
  g_patchBaseUrl = L"http://127.0.0.1:" + std::to_wstring(closed.port()) + L"/patch/";
  QueryGameSize({&g_setup.gameSize, &g_setup.remoteVersion, g_setup.mainWindow});
  ExpectNothingStored(static_cast<int>(sink_.Take(WM_APP + 10).size()));
  // A later answer clears the failure.
  g_patchBaseUrl = qvtest::NginxUrl(prefix_ + "patch/");
  EXPECT_EQ(Query(R"({"version": 4, "files": [{"s": 9}]})"), 1);
  EXPECT_FALSE(GameSizeQueryFailed());
}

TEST_F(SizeQuery, WithoutAWindowNothingIsPosted) {
  g_setup.mainWindow = nullptr;
  EXPECT_EQ(Query(R"({"version": 4, "files": [{"s": 9}]})"), 0);
  EXPECT_EQ(g_setup.gameSize.load(), 9u);
  EXPECT_EQ(g_setup.remoteVersion.load(), 4);
}

TEST_F(SizeQuery, ReadsTheSignedSampleReleaseManifest) {
  g_patchBaseUrl = Widen(ServerValue("QV_SAMPLE_BASE_URL"));
  QueryGameSize({&g_setup.gameSize, &g_setup.remoteVersion, g_setup.mainWindow});
  EXPECT_EQ(sink_.Take(WM_APP + 10).size(), 1u);
  EXPECT_EQ(g_setup.remoteVersion.load(), std::atoi(ServerValue("QV_SAMPLE_VERSION").c_str()));
  // The sample game's files, summed from the files on disk the release was made from.
  uint64_t total = 0;
  const std::string game = ServerValue("QV_SAMPLE_GAME");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(WinePath(game)))
    if (entry.is_regular_file()) total += entry.file_size();
  EXPECT_EQ(g_setup.gameSize.load(), total);
}
