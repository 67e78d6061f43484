#pragma once
// Stands in for the retry pause (support/wait.h) while it lives: each pause asked for is kept
// and returns at once, so that tests check the pauses instead of sleeping through them.
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "support/wait.h"

namespace qvtest {

class PauseRecorder {
public:
  PauseRecorder() {
    Current() = this;
    SetSleepHookForTesting(&Record);
  }
  ~PauseRecorder() {
    SetSleepHookForTesting(nullptr);
    Current() = nullptr;
  }
  PauseRecorder(const PauseRecorder&) = delete;
  PauseRecorder& operator=(const PauseRecorder&) = delete;

  // Runs in the pausing thread during each pause (for example to cancel there); set it before
  // the code under test starts.
  std::function<void(uint32_t ms)> during;

  // The pauses asked for so far, in milliseconds, oldest first.
  std::vector<uint32_t> pauses() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pauses_;
  }

private:
  static PauseRecorder*& Current() {
    static PauseRecorder* current = nullptr;
    return current;
  }
  static void Record(uint32_t ms) {
    PauseRecorder* self = Current();
    if (!self) return;
    {
      std::lock_guard<std::mutex> guard(self->lock_);
      self->pauses_.push_back(ms);
    }
    if (self->during) self->during(ms);
  }
  mutable std::mutex lock_;
  std::vector<uint32_t> pauses_;
};

}  // namespace qvtest
