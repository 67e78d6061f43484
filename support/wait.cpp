#include "support/wait.h"

#include <windows.h>

static std::atomic<SleepHook> g_sleepHook{nullptr};

void PauseUnlessCancelled(uint32_t ms, const std::atomic<bool>& cancel) {
  if (SleepHook hook = g_sleepHook.load()) {
    if (!cancel) hook(ms);
    return;
  }
  for (uint32_t waited = 0; waited < ms && !cancel; waited += 50) Sleep(ms - waited < 50 ? ms - waited : 50);
}

void SetSleepHookForTesting(SleepHook hook) { g_sleepHook.store(hook); }
