#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "patch/phases.h"

// Tasks that wait (up to 10 s) until `wanted` of them run at the same moment: the pool must
// really have that many members working at once.
static void ExpectConcurrentMembers(size_t tasks, int expectedMembers, size_t maxMembers = 4) {
  std::vector<size_t> list;
  for (size_t i = 0; i < tasks; ++i) list.push_back(100 + i);
  int running = 0, peak = 0;
  std::mutex lock;
  std::condition_variable changed;
  std::multiset<size_t> seen;
  std::set<std::thread::id> threads;
  const int members = RunWorkerPool(list, [&](size_t index) {
    std::unique_lock<std::mutex> guard(lock);
    peak = std::max(peak, ++running);
    changed.notify_all();
    changed.wait_for(guard, std::chrono::seconds(10), [&] { return peak >= expectedMembers; });
    seen.insert(index);
    threads.insert(std::this_thread::get_id());
    --running;
  }, maxMembers);
  EXPECT_EQ(members, expectedMembers);
  EXPECT_EQ(peak, expectedMembers);
  EXPECT_EQ(threads.size(), static_cast<size_t>(expectedMembers));
  EXPECT_EQ(seen, std::multiset<size_t>(list.begin(), list.end())) << "every index exactly once";
}

TEST(WorkerPool, MembersAreTheSmallestOfTasksTheAskedMostAndFour) {
  ExpectConcurrentMembers(1, 1);
  ExpectConcurrentMembers(2, 2);
  ExpectConcurrentMembers(5, 4);
  ExpectConcurrentMembers(40, 4);
  ExpectConcurrentMembers(40, 2, 2);
  ExpectConcurrentMembers(40, 4, 64);
  ExpectConcurrentMembers(3, 1, 0);  // never fewer than the calling thread
}

TEST(WorkerPool, EmptyListRunsNothing) {
  bool ran = false;
  EXPECT_EQ(RunWorkerPool({}, [&](size_t) { ran = true; }), 0);
  EXPECT_FALSE(ran);
}

TEST(WorkerPool, CallingThreadIsAMember) {
  const std::thread::id caller = std::this_thread::get_id();
  bool callerWorked = false;
  std::mutex lock;
  std::condition_variable changed;
  std::vector<size_t> list(64);
  // Every task holds its member until the caller has taken one (at most 10 s), so the other
  // members cannot finish the list alone.
  RunWorkerPool(list, [&](size_t) {
    std::unique_lock<std::mutex> guard(lock);
    if (std::this_thread::get_id() == caller) callerWorked = true;
    changed.notify_all();
    changed.wait_for(guard, std::chrono::seconds(10), [&] { return callerWorked; });
  });
  EXPECT_TRUE(callerWorked);
}
