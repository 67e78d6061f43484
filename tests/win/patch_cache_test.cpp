#include <gtest/gtest.h>

#include <cstdlib>
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
    ASSERT_TRUE(FolderRootOpen(engine.root, engine.installFolder));
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
    entry.hash = kHashA;
    return entry;
  }
  static FileList List(const std::vector<FileEntry>& entries) {
    FileList list;
    for (const FileEntry& entry : entries) list.Add(entry);
    return list;
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
  // Whatever the field holds, the reading is the standard conversion's.
  for (const char* field : {"+5", "-1", "\v\f\r 9x", "18446744073709551615", "18446744073709551616",
                            "99999999999999999999999", "-", "0012", "+-3", "1 2"}) {
    Load(kHashA + "\t" + field + "\t" + field + "\tc.bin\n");
    ASSERT_NE(Find(L"c.bin"), nullptr) << field;
    EXPECT_EQ(Find(L"c.bin")->size, std::strtoull(field, nullptr, 10)) << field;
    EXPECT_EQ(Find(L"c.bin")->lastWriteTime, std::strtoull(field, nullptr, 10)) << field;
  }
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
  const FileList files = List({Entry("Dir/B.bin", L"Dir\\B.bin"), Entry("nothing.bin", L"nothing.bin"),
                               Entry("a.bin", L"a.bin")});
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

  SaveCache(engine, FileList());
  EXPECT_EQ(ReadBytes(cachePath), "");
}

// The file is read in pieces of 1 MiB; lines that cross a piece's end must still count.
TEST_F(CacheCase, LinesAcrossTheReadPiecesAllLoad) {
  std::string text;
  size_t lines = 0;
  while (text.size() < (3u << 20) + 12345) {
    text += kHashA + "\t" + std::to_string(lines) + "\t7\tdir/file " + std::to_string(lines) + ".bin\n";
    ++lines;
  }
  text.pop_back();  // the last line without its line feed
  Load(text);
  ASSERT_EQ(engine.cache.size(), lines);
  for (size_t i : {size_t{0}, lines / 3, lines / 2, lines - 1}) {
    const CacheRecord* record = Find(L"dir\\file " + std::to_wstring(i) + L".bin");
    ASSERT_NE(record, nullptr) << i;
    EXPECT_EQ(record->size, i);
  }
}

TEST_F(CacheCase, SaveWritesNothingWhenNoRecordChanged) {
  Load(kHashA + "\t1\t2\ta.bin\n" + kHashB + "\t3\t4\tb.bin\n");
  const FileList files = List({Entry("a.bin", L"a.bin"), Entry("b.bin", L"b.bin")});
  // An old write time shows whether the file was written again.
  const FILETIME old = {0x12345678, 0x01d00000};
  const auto setOld = [&] {
    HANDLE file = CreateFileW(cachePath.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
  };
  const auto writeTime = [&] {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(cachePath.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime.dwLowDateTime;
  };
  setOld();
  SaveCache(engine, files);
  EXPECT_EQ(writeTime(), old.dwLowDateTime) << "the same lines are not written again";

  engine.cache[L"b.bin"].lastWriteTime = 5;
  engine.cacheChanged = true;  // as every writer of a record does
  SaveCache(engine, files);
  EXPECT_EQ(ReadBytes(cachePath), kHashA + "\t1\t2\ta.bin\n" + kHashB + "\t3\t5\tb.bin\n");

  // Lines the save would drop (a file no longer listed) are a change too.
  setOld();
  SaveCache(engine, List({Entry("a.bin", L"a.bin")}));
  EXPECT_NE(writeTime(), old.dwLowDateTime);
  EXPECT_EQ(ReadBytes(cachePath), kHashA + "\t1\t2\ta.bin\n");
}
