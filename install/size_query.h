#pragma once
// Fetches manifest.json (unverified), stores g_setup.gameSize and remoteVersion and posts
// WM_APP + 10 to the main window. Silent on any failure. Runs on its own detached thread.
void QueryGameSize();
