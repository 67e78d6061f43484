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

bool WaitOutPause(const std::atomic<bool>& pause, const std::atomic<bool>& cancel) {
  bool waited = false;
  while (pause && !cancel) {
    PauseUnlessCancelled(100, cancel);
    waited = true;
  }
  return waited;
}

bool BeginAttempt(Attempts& attempts) {
  if (attempts.pause && WaitOutPause(*attempts.pause, attempts.cancel)) attempts.index = 0;
  if (attempts.cancel) return false;
  if (attempts.index > 0) {
    const AttemptPolicy& policy = attempts.policy;
    PauseUnlessCancelled(policy.growing ? static_cast<uint32_t>(attempts.index) * policy.retryWaitMs : policy.retryWaitMs,
                         attempts.cancel);
    if (attempts.cancel) return false;
  }
  return true;
}

bool AnotherAttempt(Attempts& attempts) {
  if (attempts.restart) {
    attempts.restart = false;
    attempts.index = 0;
    return true;
  }
  return ++attempts.index < attempts.policy.tries;
}

void RestartAfterPause(Attempts& attempts) { attempts.restart = true; }

void StartOver(Attempts& attempts) { attempts.index = 0; }
