#pragma once
// Fetching the pieces a file lacks ahead of the copy that writes the file in order: a few at
// once, so that the transfers overlap each other and the reading of the local pieces. Platform
// free: the fetching itself is the caller's.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Fetches piece k of the file into out; credited grows by the progress bytes it kept. Returns
// the caller's own outcome code, 0 for a piece in out.
using PieceFetcher = std::function<int32_t(size_t k, std::string& out, uint64_t& credited)>;

struct FetchAhead {
  struct Slot {
    size_t piece = 0;
    bool done = false;
    int32_t result = 0;
    std::string bytes;
    uint64_t credited = 0;
  };
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Slot> slots;  // the pieces to fetch, in file order
  size_t next = 0;          // the next slot a thread starts
  size_t taken = 0;         // the slots the copy has taken
  size_t window = 0;        // slots started and not yet taken, at most
  size_t limit = 0;         // fetches under way, at most (the threads', and the copy's own)
  size_t running = 0;
  bool halted = false;      // no slot starts any more: stopped, or one failed
  int32_t failure = 0;      // the first slot's outcome that was not 0
  int32_t failedCode = 0;   // the outcome of a fetch that ran out of memory
  int32_t stoppedCode = 0;  // the outcome of a piece never started because of a stop
  std::atomic<bool> outOfMemory{false};  // a thread's fetch ran out of memory (its slot failed)
  PieceFetcher fetch;
  std::vector<std::thread> threads;

  FetchAhead() = default;
  FetchAhead(const FetchAhead&) = delete;
  FetchAhead& operator=(const FetchAhead&) = delete;
  ~FetchAhead();
};

// Starts up to transfers threads fetching pieces (file order) with fetch, never more than
// window slots ahead of the copy; failed and stopped are the outcomes of a fetch that ran out of
// memory and of a piece a stop left unstarted. False if no thread could start: the caller
// fetches itself.
bool FetchAheadStart(FetchAhead& ahead, std::vector<size_t> pieces, PieceFetcher fetch, size_t transfers,
                     size_t window, int32_t failed, int32_t stopped);
// Waits for the next piece of the list and moves it into out, adding its credited bytes; its
// result. A piece not started because an earlier fetch failed gives that failure.
int32_t FetchAheadTake(FetchAhead& ahead, std::string& out, uint64_t& credited);
// Fetches piece k on the calling thread, within the same limit of fetches under way.
int32_t FetchAheadNow(FetchAhead& ahead, size_t k, std::string& out, uint64_t& credited);
// Lets no further slot start and waits for those under way; returns the bytes credited by
// pieces fetched and never taken. Safe to call twice.
uint64_t FetchAheadStop(FetchAhead& ahead);
