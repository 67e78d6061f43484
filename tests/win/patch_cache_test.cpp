#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "patch/engine.h"
#include "patch/manifest.h"
#include "patch/state.h"
#include "test_files.h"

using namespace qvtest;

namespace {

const std::string kHashA(64, 'a');
const std::string kHashB(64, 'b');

struct CacheCase : ::testing::Test {
  ScratchFolder folder;
  PatchEngine engine;
  std::wstring cachePath = folder / L"config\\patcher_cache.dat";

  void SetUp() override {
    engine.installFolder = folder.slashed();
    CreateDirectoryW((folder / L"config").c_str(), nullptr);
  }

  void Load(const std::string& contents) {
    ASSERT_TRUE(WriteBytes(cachePath, contents));
    engine.cache[L"stale"] = CacheRecord{1, 1, kHashA};
    LoadCache(engine);
  }

  const CacheRecord* Find(const std::wstring& key) {
    auto found = engine.cache.find(key);
    return found == engine.cache.end() ? nullptr : &found->second;
  }

  static FileEntry Entry(const std::string& path, const std::wstring& widePath) {
    FileEntry entry;
    entry.path = path;
    entry.widePath = widePath;
    return entry;
  }
};

}  // namespace

TEST_F(CacheCase, ReadsWellFormedLinesWithLfOrCrLfAndAnUnterminatedLast) {
  Load(kHashA + "\t10\t20\tdata/One.bin\r\n" + kHashB + "\t30\t40\tTwo.bin\n" + kHashA +
       "\t50\t60\tdir/sub/three.txt");
  ASSERT_EQ(engine.cache.size(), 3u);
  const CacheRecord* one = Find(L"data\\one.bin");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->size, 10u);
  EXPECT_EQ(one->lastWriteTime, 20u);
  EXPECT_EQ(one->hash, kHashA);
  ASSERT_NE(Find(L"two.bin"), nullptr);
  EXPECT_EQ(Find(L"two.bin")->hash, kHashB);
  ASSERT_NE(Find(L"dir\\sub\\three.txt"), nullptr);
  EXPECT_EQ(Find(L"dir\\sub\\three.txt")->lastWriteTime, 60u);
  EXPECT_EQ(Find(L"stale"), nullptr) << "loading starts from an empty map";
}

TEST_F(CacheCase, SkipsMalformedLinesAndKeepsTheRest) {
  Load(std::string(63, 'c') + "\t1\t2\tshort-hash.bin\n" +   // first field 63 bytes
       std::string(65, 'c') + "\t1\t2\tlong-hash.bin\n" +    // first field 65 bytes
       kHashA + "\t1\tthree-fields.bin\n" +                  // only three fields
       kHashA + "\t1\t2\t../outside.bin\n" +                 // path refused
       kHashA + "\t1\t2\tC:/drive.bin\n" +
       kHashA + "\t1\t2\t\n" +                               // empty path
       "\n" +
       kHashB + "\t5\t6\tgood.bin\n");
  ASSERT_EQ(engine.cache.size(), 1u);
  EXPECT_NE(Find(L"good.bin"), nullptr);
}

TEST_F(CacheCase, NumbersReadLikeTheStandardConversion) {
  Load(kHashA + "\t12abc\t 7\ta.bin\n" + kHashA + "\t\t\tb.bin\n");
  ASSERT_NE(Find(L"a.bin"), nullptr);
  EXPECT_EQ(Find(L"a.bin")->size, 12u);
  EXPECT_EQ(Find(L"a.bin")->lastWriteTime, 7u);
  ASSERT_NE(Find(L"b.bin"), nullptr);
  EXPECT_EQ(Find(L"b.bin")->size, 0u);
  EXPECT_EQ(Find(L"b.bin")->lastWriteTime, 0u);
}

TEST_F(CacheCase, PathsDifferingOnlyInCaseAreOneRecordAndTheLaterWins) {
  Load(kHashA + "\t1\t2\tData/File.BIN\n" + kHashB + "\t3\t4\tdata/file.bin\n");
  ASSERT_EQ(engine.cache.size(), 1u);
  EXPECT_EQ(Find(L"data\\file.bin")->hash, kHashB);
}

TEST_F(CacheCase, MissingOrOversizedFileGivesAnEmptyCache) {
  engine.cache[L"stale"] = CacheRecord{1, 1, kHashA};
  LoadCache(engine);
  EXPECT_TRUE(engine.cache.empty());

  // 64 MiB plus one byte of valid lines.
  const std::string line = kHashA + "\t1\t2\tx.bin\n";
  std::string big;
  big.reserve((64u << 20) + line.size());
  while (big.size() + line.size() <= (64u << 20)) big += line;
  big.append((64u << 20) + 1 - big.size(), '\n');
  Load(big);
  EXPECT_TRUE(engine.cache.empty());
}

TEST_F(CacheCase, SaveWritesTheManifestOrderAndOnlyEntriesWithARecord) {
  engine.cache[L"dir\\b.bin"] = CacheRecord{30, 18446744073709551615ull, kHashB};
  engine.cache[L"a.bin"] = CacheRecord{0, 132000000000000000ull, kHashA};
  engine.cache[L"gone.bin"] = CacheRecord{1, 2, kHashA};  // no longer in the manifest
  const std::vector<FileEntry> files = {Entry("Dir/B.bin", L"Dir\\B.bin"), Entry("nothing.bin", L"nothing.bin"),
                                        Entry("a.bin", L"a.bin")};
  SaveCache(engine, files);
  EXPECT_EQ(ReadBytes(cachePath), kHashB + "\t30\t18446744073709551615\tDir/B.bin\n" + kHashA +
                                      "\t0\t132000000000000000\ta.bin\n");
  EXPECT_FALSE(Exists(cachePath + L".ap_tmp"));

  // What was saved loads back to the same records.
  engine.cache.clear();
  LoadCache(engine);
  ASSERT_EQ(engine.cache.size(), 2u);
  EXPECT_EQ(Find(L"dir\\b.bin")->lastWriteTime, 18446744073709551615ull);
  EXPECT_EQ(Find(L"a.bin")->lastWriteTime, 132000000000000000ull);

  SaveCache(engine, {});
  EXPECT_EQ(ReadBytes(cachePath), "");
}
