#pragma once
// The wizard window: the window procedure and the few calls other modules make into it.
#include <windows.h>
#include <cstdint>

// The window procedure of the "QuorvelSetup" class.
LRESULT CALLBACK WizardWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Places (or hides) the Folder page's text box for the current page and scale.
void LayoutFolderField();
// Closes the language drop-down if it is open.
void CloseLanguageList();
// Speed 0, last sampled byte count 0, last sample time now.
void ResetSpeedSampling();
// Repaints the whole window (no-op without a window).
void Redraw();

// Download-speed sampling of the Installing page (user-interface thread only).
struct SpeedState {
  float speed = 0.0f;            // smoothed bytes per second
  uint64_t lastSampleBytes = 0;  // done bytes at the last sample
  uint64_t lastSampleTick = 0;   // GetTickCount64 at the last sample
};
extern SpeedState g_speed;
