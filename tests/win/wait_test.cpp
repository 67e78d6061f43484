// The retry pause: the real wait ends when the run is cancelled, and a test's replacement is
// told the whole pause asked for.
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
