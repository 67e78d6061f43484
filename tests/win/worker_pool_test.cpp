#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "patch/phases.h"

// Tasks that wait (up to 10 s) until `wanted` of them run at the same moment: the pool must
// really have that many members working at once.
static void ExpectConcurrentMembers(size_t tasks, int expectedMembers) {
  std::vector<size_t> list;
  for (size_t i = 0; i < tasks; ++i) list.push_back(100 + i);
  std::atomic<int> running{0};
  std::atomic<int> peak{0};
  std::mutex lock;
  std::multiset<size_t> seen;
  std::set<std::thread::id> threads;
  const int members = RunWorkerPool(list, [&](size_t index) {
    const int now = ++running;
    int before = peak.load();
    while (now > before && !peak.compare_exchange_weak(before, now)) {
    }
    for (int waited = 0; waited < 10000 && peak.load() < expectedMembers; ++waited) Sleep(1);
    {
      std::lock_guard<std::mutex> guard(lock);
      seen.insert(index);
      threads.insert(std::this_thread::get_id());
    }
    --running;
  });
  EXPECT_EQ(members, expectedMembers);
  EXPECT_EQ(peak.load(), expectedMembers);
  EXPECT_EQ(threads.size(), static_cast<size_t>(expectedMembers));
  EXPECT_EQ(seen, std::multiset<size_t>(list.begin(), list.end())) << "every index exactly once";
}

TEST(WorkerPool, MembersAreTheSmallerOfTasksAndFour) {
  ExpectConcurrentMembers(1, 1);
  ExpectConcurrentMembers(2, 2);
  ExpectConcurrentMembers(5, 4);
  ExpectConcurrentMembers(40, 4);
}

TEST(WorkerPool, EmptyListRunsNothing) {
  bool ran = false;
  EXPECT_EQ(RunWorkerPool({}, [&](size_t) { ran = true; }), 0);
  EXPECT_FALSE(ran);
}

TEST(WorkerPool, CallingThreadIsAMember) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> callerWorked{false};
  std::vector<size_t> list(64);
  RunWorkerPool(list, [&](size_t) {
    if (std::this_thread::get_id() == caller) callerWorked = true;
    Sleep(2);
  });
  EXPECT_TRUE(callerWorked);
}
