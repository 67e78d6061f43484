#pragma once
// Fetches manifest.json (unverified), stores g_setup.gameSize and remoteVersion and posts
// WM_APP + 10 to the main window. On any failure it stores nothing, marks the query failed
// and posts the same message. Runs on its own detached thread.
void QueryGameSize();
// True once the query has ended without the numbers (no server, an error status, a manifest
// that cannot be read); the Welcome page says so instead of waiting.
bool GameSizeQueryFailed();
