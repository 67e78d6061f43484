#include "patch/ahead.h"

#include <exception>
#include <new>
#include <utility>

static void FetchLoop(FetchAhead& ahead) {
  std::unique_lock<std::mutex> held(ahead.lock);
  for (;;) {
    ahead.changed.wait(held, [&] {
      return ahead.halted || ahead.next >= ahead.slots.size() ||
             (ahead.next < ahead.taken + ahead.window && ahead.running < ahead.limit);
    });
    if (ahead.halted || ahead.next >= ahead.slots.size()) return;
    FetchAhead::Slot& slot = ahead.slots[ahead.next++];
    ++ahead.running;
    held.unlock();
    std::string bytes;
    uint64_t credited = 0;
    int32_t result = ahead.failedCode;
    try {
      result = ahead.fetch(slot.piece, bytes, credited);
    } catch (const std::bad_alloc&) {
      ahead.outOfMemory = true;  // the copy's thread fails the run with it
    }
    held.lock();
    --ahead.running;
    slot.bytes = std::move(bytes);
    slot.credited = credited;
    slot.result = result;
    slot.done = true;
    if (result != 0 && !ahead.halted) {
      // The file is made another way: what is not started yet is not needed.
      ahead.halted = true;
      ahead.failure = result;
    }
    ahead.changed.notify_all();
  }
}

bool FetchAheadStart(FetchAhead& ahead, std::vector<size_t> pieces, PieceFetcher fetch, size_t transfers,
                     size_t window, int32_t failed, int32_t stopped) {
  ahead.failedCode = failed;
  ahead.stoppedCode = stopped;
  ahead.slots.resize(pieces.size());
  for (size_t i = 0; i < pieces.size(); ++i) ahead.slots[i].piece = pieces[i];
  ahead.fetch = std::move(fetch);
  ahead.limit = transfers > 0 ? transfers : 1;
  ahead.window = window > ahead.limit ? window : ahead.limit;
  for (size_t t = 0; t < ahead.limit && t < pieces.size(); ++t) {
    try {
      ahead.threads.emplace_back(FetchLoop, std::ref(ahead));
    } catch (const std::exception&) {
      break;  // the threads there are fetch every slot
    }
  }
  return !ahead.threads.empty() || pieces.empty();
}

int32_t FetchAheadTake(FetchAhead& ahead, std::string& out, uint64_t& credited) {
  std::unique_lock<std::mutex> held(ahead.lock);
  if (ahead.taken >= ahead.slots.size()) return ahead.failedCode;
  FetchAhead::Slot& slot = ahead.slots[ahead.taken];
  const size_t index = ahead.taken;
  ahead.changed.wait(held, [&] { return slot.done || (ahead.halted && ahead.next <= index); });
  ++ahead.taken;
  ahead.changed.notify_all();  // the window moved
  if (!slot.done) return ahead.failure == 0 ? ahead.stoppedCode : ahead.failure;
  out = std::move(slot.bytes);
  slot.bytes = std::string();
  credited += slot.credited;
  slot.credited = 0;
  return slot.result;
}

int32_t FetchAheadNow(FetchAhead& ahead, size_t k, std::string& out, uint64_t& credited) {
  {
    std::unique_lock<std::mutex> held(ahead.lock);
    ahead.changed.wait(held, [&] { return ahead.running < ahead.limit; });
    ++ahead.running;
  }
  const int32_t result = ahead.fetch(k, out, credited);
  std::lock_guard<std::mutex> held(ahead.lock);
  --ahead.running;
  ahead.changed.notify_all();
  return result;
}

uint64_t FetchAheadStop(FetchAhead& ahead) {
  {
    std::lock_guard<std::mutex> held(ahead.lock);
    ahead.halted = true;
    ahead.changed.notify_all();
  }
  for (std::thread& thread : ahead.threads) thread.join();
  ahead.threads.clear();
  uint64_t untaken = 0;
  for (size_t i = ahead.taken; i < ahead.slots.size(); ++i) {
    untaken += ahead.slots[i].credited;
    ahead.slots[i].credited = 0;
  }
  return untaken;
}

FetchAhead::~FetchAhead() { FetchAheadStop(*this); }
