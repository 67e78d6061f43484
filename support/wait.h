#pragma once
// The one pause of the patch engine's waits (the retries of the manifest, the downloads and the
// launcher backup, and the steps of a paused download), replaceable so that tests check the
// pauses asked for instead of sleeping through them; and the one policy of a transfer's tries.
#include <atomic>
#include <cstdint>

// Waits ms milliseconds, in steps of at most 50 ms, and returns early once cancel is set.
void PauseUnlessCancelled(uint32_t ms, const std::atomic<bool>& cancel);

// A replacement for the real wait: told the whole pause asked for, returns at once.
using SleepHook = void (*)(uint32_t ms);
// Makes PauseUnlessCancelled call hook instead of waiting; nullptr restores the real wait.
void SetSleepHookForTesting(SleepHook hook);

// Waits in 100 ms steps while pause is set and cancel is not; true if it waited at all.
bool WaitOutPause(const std::atomic<bool>& pause, const std::atomic<bool>& cancel);

// How a transfer is tried on one server: at most `tries` times, with a wait of retryWaitMs before
// each retry (times the retry's number when growing).
struct AttemptPolicy {
  int tries;
  uint32_t retryWaitMs;
  bool growing;
};
// An object or a piece: three tries, 1 s before the second and 2 s before the third.
constexpr AttemptPolicy kObjectAttempts{3, 1000, true};
// The manifest with its signature: three tries, 1.5 s before each retry.
constexpr AttemptPolicy kManifestAttempts{3, 1500, false};

// The tries of one transfer. With a pause flag, a pause is waited out before each try and starts
// the count over.
struct Attempts {
  AttemptPolicy policy;
  const std::atomic<bool>& cancel;
  const std::atomic<bool>* pause = nullptr;  // null: pauses are not looked at
  int index = 0;  // the try under way, from 0
  bool restart = false;  // a pause interrupted the try: the next is a first one again
};
// Readies the next try: waits out a pause, then the wait before a retry; false once cancelled.
bool BeginAttempt(Attempts& attempts);
// Counts a failed try; true while another is due on this server.
bool AnotherAttempt(Attempts& attempts);
// A try a pause interrupted: the next is a first try again, with no wait before it.
void RestartAfterPause(Attempts& attempts);
// Starts the count over, for another server.
void StartOver(Attempts& attempts);
