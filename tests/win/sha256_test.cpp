#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/sha256.h"
#include "test_files.h"

using namespace qvtest;

// Digests below are published test vectors (FIPS 180-2) or were computed with sha256sum.
static const char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
static const char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
static const char k448Bits[] = "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
static const char kMillionA[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
static const char kMiBOfZeros[] = "30e14955ebf1352266dc2ff8067e68104607e750abb9d3b36582b8af909fcb58";
// 2.5 MiB where byte i is (i * 7) mod 251.
static const char kPattern[] = "38cb113229885888704744f1eb4273b881b8df500adb5bd2032845a2666b6e66";

static std::string HashOf(const std::string& bytes) {
  Sha256Hasher h;
  h.Update(bytes.data(), bytes.size());
  return h.Finish();
}

TEST(Sha256, PublishedVectors) {
  EXPECT_EQ(HashOf(""), kEmpty);
  EXPECT_EQ(HashOf("abc"), kAbc);
  EXPECT_EQ(HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), k448Bits);
  EXPECT_EQ(HashOf(std::string(1000000, 'a')), kMillionA);
}

TEST(Sha256, PiecesInAnySizesGiveTheSameDigest) {
  Sha256Hasher h;
  ASSERT_TRUE(h.valid());
  std::string a(1000000, 'a');
  std::size_t sizes[] = {0, 1, 2, 63, 64, 65, 1000, 4096, 65537};
  std::size_t at = 0;
  for (int i = 0; at < a.size(); ++i) {
    std::size_t n = std::min(sizes[i % 9], a.size() - at);
    h.Update(a.data() + at, n);
    at += n;
  }
  EXPECT_EQ(h.Finish(), kMillionA);
}

TEST(Sha256, FinishTwiceGivesTheDigestThenNothing) {
  Sha256Hasher h;
  h.Update("abc", 3);
  EXPECT_EQ(h.Finish(), kAbc);
  EXPECT_FALSE(h.valid());
  h.Update("abc", 3);  // ignored after the end
  EXPECT_EQ(h.Finish(), "");
}

TEST(Sha256, ConcurrentFirstUseOpensOneProvider) {
  std::vector<std::thread> threads;
  std::vector<std::string> results(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&results, i] {
      for (int k = 0; k < 50; ++k) {
        std::string r = HashOf("abc");
        if (r != kAbc) { results[i] = r.empty() ? "<empty>" : r; return; }
      }
      results[i] = kAbc;
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, kAbc);
}

struct ProgressLog {
  std::vector<uint64_t> chunks;
  std::size_t cancelAt = SIZE_MAX;  // the call (0-based) that answers false
};

static bool Record(void* context, uint64_t bytes) {
  auto* log = static_cast<ProgressLog*>(context);
  log->chunks.push_back(bytes);
  return log->chunks.size() - 1 != log->cancelAt;
}

TEST(Sha256File, EmptyFileWithoutProgress) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"empty", ""));
  ProgressLog log;
  std::string hex = Sha256FileHex(root / L"empty", Record, &log);
  EXPECT_EQ(hex, kEmpty);
  EXPECT_TRUE(log.chunks.empty());
  EXPECT_EQ(Sha256FileHex(root / L"empty"), kEmpty);
}

TEST(Sha256File, ExactlyOneMiBIsOneChunk) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"mib", std::string(1 << 20, '\0')));
  ProgressLog log;
  EXPECT_EQ(Sha256FileHex(root / L"mib", Record, &log), kMiBOfZeros);
  EXPECT_EQ(log.chunks, std::vector<uint64_t>{1048576});
}

TEST(Sha256File, LargerFileInChunks) {
  ScratchFolder root;
  std::string bytes(5 * 1024 * 1024 / 2, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7) % 251);
  ASSERT_TRUE(WriteBytes(root / L"pattern", bytes));
  ProgressLog log;
  std::string hex = Sha256FileHex(root / L"pattern", Record, &log);
  EXPECT_EQ(hex, kPattern);
  EXPECT_EQ(log.chunks, (std::vector<uint64_t>{1048576, 1048576, 524288}));
  EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(Sha256File, CancelGivesEmpty) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"big", std::string(3 << 20, 'x')));
  ProgressLog first;
  first.cancelAt = 0;
  EXPECT_EQ(Sha256FileHex(root / L"big", Record, &first), "");
  EXPECT_EQ(first.chunks.size(), 1u);
  ProgressLog second;
  second.cancelAt = 1;
  EXPECT_EQ(Sha256FileHex(root / L"big", Record, &second), "");
  EXPECT_EQ(second.chunks.size(), 2u);
}

TEST(Sha256File, UnreadablePathsGiveEmpty) {
  ScratchFolder root;
  EXPECT_EQ(Sha256FileHex(root / L"missing"), "");
  EXPECT_EQ(Sha256FileHex(root.path()), "");
  EXPECT_EQ(Sha256FileHex(L""), "");
}

TEST(Sha256File, FileOpenForWritingElsewhereIsStillRead) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"abc", "abc"));
  HANDLE writer = CreateFileW((root / L"abc").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Sha256FileHex(root / L"abc"), kAbc);
  CloseHandle(writer);
}
