#pragma once
// The wizard window: the window procedure and the few calls other modules make into it.
#include <windows.h>

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
