#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "patch/engine.h"
#include "patch/inflate.h"
#include "patch/manifest.h"
#include "test_release.h"

using namespace qvtest;

namespace {

struct InflateCase : ::testing::Test {
  ScratchFolder folder;
  PatchEngine engine;
  std::wstring part = folder / L"object.z";
  std::wstring temp = folder / L"file.bin.ap_tmp";

  FileEntry EntryFor(const std::string& content) {
    FileEntry entry;
    entry.path = "file.bin";
    entry.widePath = L"file.bin";
    entry.hash = HashOf(content);
    entry.size = content.size();
    return entry;
  }
};

}  // namespace

TEST_F(InflateCase, ZlibObjectVerifiesAcrossManyBuffers) {
  // Incompressible and compressible halves: several reads of input and many output windows.
  const std::string content = RandomBytes(1500000, 1) + std::string(3000000, 'q');
  ASSERT_TRUE(WriteBytes(part, Compress(content)));
  EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor(content)), DownloadOk);
  EXPECT_TRUE(ReadBytes(temp) == content);
  EXPECT_TRUE(Exists(part)) << "the part file belongs to the caller";
}

TEST_F(InflateCase, RawDeflateAndGzipAreCorrupt) {
  const std::string content = RandomBytes(70000, 2);
  for (int windowBits : {-15, 31}) {
    ASSERT_TRUE(WriteBytes(part, Compress(content, windowBits)));
    EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor(content)), DownloadCorrupt) << windowBits;
    EXPECT_FALSE(Exists(temp));
  }
}

TEST_F(InflateCase, SizeMustMatchExactly) {
  const std::string content = RandomBytes(600000, 3);
  ASSERT_TRUE(WriteBytes(part, Compress(content)));
  FileEntry entry = EntryFor(content);
  entry.size = content.size() - 1;  // the stream gives one byte more than announced
  EXPECT_EQ(InflateAndVerify(engine, part, temp, entry), DownloadCorrupt);
  EXPECT_FALSE(Exists(temp));
  entry.size = content.size() + 1;  // one byte fewer than announced
  EXPECT_EQ(InflateAndVerify(engine, part, temp, entry), DownloadCorrupt);
  EXPECT_FALSE(Exists(temp));
}

TEST_F(InflateCase, HashMustMatchInLowerCase) {
  const std::string content = "some game file\n";
  ASSERT_TRUE(WriteBytes(part, Compress(content)));
  FileEntry entry = EntryFor(content);
  for (char& c : entry.hash) c = static_cast<char>(toupper(c));
  EXPECT_EQ(InflateAndVerify(engine, part, temp, entry), DownloadCorrupt);
  entry = EntryFor(content + "x");
  entry.size = content.size();
  EXPECT_EQ(InflateAndVerify(engine, part, temp, entry), DownloadCorrupt);
  EXPECT_FALSE(Exists(temp));
}

TEST_F(InflateCase, TrailingBytesAfterTheStreamAreIgnored) {
  const std::string content = RandomBytes(300000, 4);
  ASSERT_TRUE(WriteBytes(part, Compress(content) + std::string(1000, '\x7f')));
  EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor(content)), DownloadOk);
  EXPECT_TRUE(ReadBytes(temp) == content);
}

TEST_F(InflateCase, EmptyFileVerifiesToAnEmptyTemporaryFile) {
  ASSERT_TRUE(WriteBytes(part, Compress("")));
  const FileEntry entry = EntryFor("");
  EXPECT_EQ(entry.hash, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(InflateAndVerify(engine, part, temp, entry), DownloadOk);
  EXPECT_TRUE(Exists(temp));
  EXPECT_EQ(ReadBytes(temp), "");
}

TEST_F(InflateCase, TruncatedDamagedOrMissingObjects) {
  const std::string content = RandomBytes(400000, 5);
  const std::string object = Compress(content);
  ASSERT_TRUE(WriteBytes(part, object.substr(0, object.size() - 10)));
  EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor(content)), DownloadCorrupt);
  std::string damaged = object;
  damaged[damaged.size() - 2] ^= 0x55;  // Adler-32 trailer
  ASSERT_TRUE(WriteBytes(part, damaged));
  EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor(content)), DownloadCorrupt);
  ASSERT_TRUE(WriteBytes(part, ""));
  EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor(content)), DownloadCorrupt);
  DeleteFileW(part.c_str());
  EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor(content)), DownloadCorrupt);
  EXPECT_FALSE(Exists(temp));
}

TEST_F(InflateCase, TemporaryFileThatCannotBeCreatedIsAWriteFailure) {
  ASSERT_TRUE(WriteBytes(part, Compress("abc")));
  EXPECT_EQ(InflateAndVerify(engine, part, folder / L"no-such-folder\\f.ap_tmp", EntryFor("abc")),
            DownloadWriteFailed);
}

TEST_F(InflateCase, CancelBeforeOrDuringLeavesOnlyThePart) {
  ASSERT_TRUE(WriteBytes(part, Compress("abc")));
  engine.cancel = true;
  EXPECT_EQ(InflateAndVerify(engine, part, temp, EntryFor("abc")), DownloadCancelled);
  EXPECT_FALSE(Exists(temp));
  EXPECT_TRUE(Exists(part));

  // A large object; the cancel arrives once output is being written.
  engine.cancel = false;
  const std::string content(64u << 20, '\0');
  ASSERT_TRUE(WriteBytes(part, Compress(content)));
  const FileEntry entry = EntryFor(content);
  auto result = std::async(std::launch::async, [&] { return InflateAndVerify(engine, part, temp, entry); });
  while (FileSize(temp) == 0 && result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
  }
  engine.cancel = true;
  EXPECT_EQ(result.get(), DownloadCancelled);
  EXPECT_FALSE(Exists(temp));
  EXPECT_TRUE(Exists(part));
}
