#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

// Where the size query's answer goes; the owner hands it down and reads it after the message.
struct GameSizeTarget {
  std::atomic<uint64_t>* size = nullptr;    // the sum of the listed files' sizes
  std::atomic<int32_t>* version = nullptr;  // the manifest's version
  HWND notifyWindow = nullptr;              // receives WM_APP + 10 once the query has ended
};
// Fetches manifest.json (unverified), stores its size and version into target and posts
// WM_APP + 10 to target.notifyWindow. On any failure it stores nothing, marks the query failed
// and posts the same message. Once *stop (if given) is true the request ends within 0.1 s and
// nothing is stored or posted.
void QueryGameSize(const GameSizeTarget& target, const std::atomic<bool>* stop = nullptr);
// Runs QueryGameSize on a thread of its own (once; a thread that cannot start fails the query).
void StartGameSizeQuery(const GameSizeTarget& target);
// Tells that thread to stop and waits for it (within 0.1 s): call before the HTTP session is
// closed. Main thread only.
void StopGameSizeQuery();
// True once the query has ended without the numbers (no server, an error status, a manifest
// that cannot be read); the Welcome page says so instead of waiting.
bool GameSizeQueryFailed();
