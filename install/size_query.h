#pragma once
#include <atomic>

// Fetches manifest.json (unverified), stores g_setup.gameSize and remoteVersion and posts
// WM_APP + 10 to the main window. On any failure it stores nothing, marks the query failed
// and posts the same message. Once *stop (if given) is true the request ends within 0.1 s and
// nothing is stored or posted.
void QueryGameSize(const std::atomic<bool>* stop = nullptr);
// Runs QueryGameSize on a thread of its own (once; a thread that cannot start fails the query).
void StartGameSizeQuery();
// Tells that thread to stop and waits for it (within 0.1 s): call before the HTTP session is
// closed. Main thread only.
void StopGameSizeQuery();
// True once the query has ended without the numbers (no server, an error status, a manifest
// that cannot be read); the Welcome page says so instead of waiting.
bool GameSizeQueryFailed();
