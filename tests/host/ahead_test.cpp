#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include "patch/ahead.h"

namespace {

// Outcome codes as a caller defines them; 0 is a piece fetched.
enum : int32_t { kOk = 0, kMissing = 1, kFailed = 2, kWriteFailed = 3, kStopped = 4, kOutOfMemory = 5 };

// A fetcher whose piece k is "piece k" worth k + 1 credited bytes, failing as told, that counts
// the fetches under way at once.
struct FakeServer {
  std::mutex lock;
  std::condition_variable changed;
  std::atomic<int> running{0}, most{0}, started{0};
  size_t failAt = SIZE_MAX;
  int32_t failure = kMissing;
  bool runOutOfMemory = false;

  PieceFetcher Fetcher() {
    return [this](size_t k, std::string& out, uint64_t& credited) -> int32_t {
      ++started;
      const int now = ++running;
      for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {}
      {
        std::lock_guard<std::mutex> held(lock);
        changed.notify_all();
      }
      --running;
      if (runOutOfMemory) throw std::bad_alloc();
      if (k == failAt) return failure;
      out = "piece " + std::to_string(k);
      credited += k + 1;
      return kOk;
    };
  }
  void WaitStarted(int n) {
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, [&] { return started >= n; });
  }
};

TEST(FetchAhead, PiecesComeInFileOrderWithinTheTransferLimit) {
  FakeServer server;
  FetchAhead ahead;
  const std::vector<size_t> pieces{1, 2, 5, 8, 9, 12, 13, 20};
  ASSERT_TRUE(FetchAheadStart(ahead, pieces, server.Fetcher(), 3, 5, kOutOfMemory, kStopped));
  uint64_t credited = 0;
  for (size_t k : pieces) {
    std::string out;
    ASSERT_EQ(FetchAheadTake(ahead, out, credited), kOk);
    EXPECT_EQ(out, "piece " + std::to_string(k));
    std::string now;
    EXPECT_EQ(FetchAheadNow(ahead, 100 + k, now, credited), kOk);  // a local piece gone bad
  }
  EXPECT_EQ(FetchAheadStop(ahead), 0u);
  EXPECT_EQ(credited, (70u + 8) + (8 * 101 + 70));  // taken pieces k + 1, and 100 + k + 1
  EXPECT_LE(server.most.load(), 3);
}

TEST(FetchAhead, NoMoreThanTheWindowIsFetchedBeforeTheCopyTakesIt) {
  FakeServer server;
  FetchAhead ahead;
  ASSERT_TRUE(FetchAheadStart(ahead, {0, 1, 2, 3, 4, 5, 6, 7}, server.Fetcher(), 2, 4, kOutOfMemory, kStopped));
  server.WaitStarted(4);
  EXPECT_EQ(FetchAheadStop(ahead), 1u + 2 + 3 + 4);  // fetched, never taken: their progress goes back
  EXPECT_EQ(server.started.load(), 4);
}

TEST(FetchAhead, AFailureEndsTheFetchingAndEveryLaterPieceReportsIt) {
  for (int32_t failure : {kMissing, kFailed, kWriteFailed, kStopped}) {
    FakeServer server;
    server.failAt = 3;
    server.failure = failure;
    FetchAhead ahead;
    ASSERT_TRUE(FetchAheadStart(ahead, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, server.Fetcher(), 1, 1, kOutOfMemory, kStopped));
    uint64_t credited = 0;
    std::string out;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(FetchAheadTake(ahead, out, credited), kOk);
    for (int k = 3; k < 10; ++k) EXPECT_EQ(FetchAheadTake(ahead, out, credited), failure);
    FetchAheadStop(ahead);
    EXPECT_EQ(server.started.load(), 4);  // with one transfer and a window of one, nothing after the failure
  }
}

TEST(FetchAhead, RunningOutOfMemoryInAFetchIsToldToTheCopy) {
  FakeServer server;
  server.runOutOfMemory = true;
  FetchAhead ahead;
  ASSERT_TRUE(FetchAheadStart(ahead, {0, 1}, server.Fetcher(), 2, 2, kOutOfMemory, kStopped));
  uint64_t credited = 0;
  std::string out;
  EXPECT_EQ(FetchAheadTake(ahead, out, credited), kOutOfMemory);
  FetchAheadStop(ahead);
  EXPECT_TRUE(ahead.outOfMemory);
}

}  // namespace
