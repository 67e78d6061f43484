// The retry pause: the real wait ends when the run is cancelled, and a test's replacement is
// told the whole pause asked for; the tries of a transfer wait and count as their policy says.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "pause_recorder.h"
#include "support/wait.h"

TEST(Pause, RealWaitEndsOnceCancelled) {
  std::atomic<bool> cancel{false};
  // An hour: the test ends only because the cancel is seen. It is set once the pausing thread
  // has begun, so it comes during the wait or just before it; both must end the pause.
  HANDLE begun = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(begun, nullptr);
  std::thread pausing([&] {
    SetEvent(begun);
    PauseUnlessCancelled(3600000, cancel);
  });
  EXPECT_EQ(WaitForSingleObject(begun, 10000), WAIT_OBJECT_0);
  cancel = true;
  pausing.join();
  CloseHandle(begun);
}

TEST(Pause, ReplacementGetsTheWholePauseUnlessCancelled) {
  std::atomic<bool> cancel{false};
  qvtest::PauseRecorder recorder;
  PauseUnlessCancelled(1500, cancel);
  PauseUnlessCancelled(3600000, cancel);
  cancel = true;
  PauseUnlessCancelled(1000, cancel);
  EXPECT_EQ(recorder.pauses(), (std::vector<uint32_t>{1500, 3600000}));
}

// The tries of one transfer, each letter one try and how it ended: f failed, i a pause
// interrupted it; a p before a try sets the pause flag (lifted during the first 100 ms step), a c
// cancels during the next wait.
TEST(Attempts, WaitsAndCountsAsThePolicySays) {
  struct Row {
    const char* name;
    AttemptPolicy policy;
    bool watchPause;
    const char* tries;
    std::vector<uint32_t> waits;
    int made;
    bool cancelled;
  };
  const Row rows[] = {
      {"an object: three tries", kObjectAttempts, true, "fff", {1000, 2000}, 3, false},
      {"the manifest: three tries", kManifestAttempts, false, "fff", {1500, 1500}, 3, false},
      {"a try a pause interrupted starts the count over", kObjectAttempts, true, "fifff", {1000, 1000, 2000}, 5, false},
      {"a pause before a retry starts the count over", kObjectAttempts, true, "fpfff", {100, 1000, 2000}, 4, false},
      {"a policy without the pause flag does not wait for it", kManifestAttempts, false, "fpff", {1500, 1500}, 3, false},
      {"a cancel during a wait ends the tries", kObjectAttempts, true, "fcf", {1000}, 1, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::atomic<bool> cancel{false}, pause{false}, cancelInWait{false};
    qvtest::PauseRecorder recorder;
    recorder.during = [&](uint32_t ms) {
      if (ms == 100) pause = false;
      if (cancelInWait) cancel = true;
    };
    Attempts attempts{row.policy, cancel, row.watchPause ? &pause : nullptr};
    const char* next = row.tries;
    int made = 0;
    bool cancelled = false;
    for (bool again = true; again;) {
      for (; *next == 'p' || *next == 'c'; ++next) (*next == 'p' ? pause : cancelInWait) = true;
      if (!BeginAttempt(attempts)) {
        cancelled = true;
        break;
      }
      ASSERT_NE(*next, '\0') << "a try the row does not list";
      ++made;
      if (*next++ == 'i') RestartAfterPause(attempts);
      again = AnotherAttempt(attempts);
    }
    EXPECT_EQ(recorder.pauses(), row.waits);
    EXPECT_EQ(made, row.made);
    EXPECT_EQ(cancelled, row.cancelled);
  }
}
