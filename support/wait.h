#pragma once
// The one pause of the patch engine's waits (the retries of the manifest, the downloads and the
// launcher backup, and the steps of a paused download), replaceable so that tests check the
// pauses asked for instead of sleeping through them.
#include <atomic>
#include <cstdint>

// Waits ms milliseconds, in steps of at most 50 ms, and returns early once cancel is set.
void PauseUnlessCancelled(uint32_t ms, const std::atomic<bool>& cancel);

// A replacement for the real wait: told the whole pause asked for, returns at once.
using SleepHook = void (*)(uint32_t ms);
// Makes PauseUnlessCancelled call hook instead of waiting; nullptr restores the real wait.
void SetSleepHookForTesting(SleepHook hook);
