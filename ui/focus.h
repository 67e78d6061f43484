#pragma once
// The keyboard: a focus order over each page's live controls, the focus mark, and what Tab,
// Enter, Space, Escape, the arrows and typed letters do on pages, in the language list and in
// the cancel question.
#include <windows.h>
#include <cstdint>
#include <vector>

#include "ui/widgets.h"

// A control the focus can rest on.
struct FocusStop {
  int32_t id = 0;
  int32_t value = -1;
  Rect rect;
};
// The page's live controls in Tab order (the folder box first on the Folder page; the question's
// two buttons alone while it is open). Disabled controls and the title-bar buttons are left out.
std::vector<FocusStop> FocusOrder();
// The control that has the focus now: the highlighted row in the open list, the question's
// button, or the page's focused control if it is still live; 0 for none.
FocusStop CurrentFocus();
// True if (id, value) is CurrentFocus().
bool HasFocus(int32_t id, int32_t value);
// The enabled default (gold) button of what is shown, 0 if none.
int32_t DefaultButton();

// WM_KEYDOWN (also forwarded by the folder box for Tab, Enter and Escape): true if handled.
bool HandleKey(HWND window, WPARAM key);
// WM_CHAR: typed letters in the language list and Y/N in the question; true if handled.
bool HandleChar(HWND window, wchar_t ch);
// WM_ACTIVATE: gives the focus back to the folder box when it had it; true if handled.
bool RestoreFocusOnActivate(WPARAM wParam);
// A new page: the focus goes to the folder box on the Folder page, else to no control.
void PlacePageFocus();
// The control a page focuses when it is shown (its primary button, Cancel while installing, none
// while uninstalling); the Folder page's box is placed by PlacePageFocus.
int32_t PageFocusControl(SetupPage page);
// A mouse press on region (or on nothing): a focusable control takes the focus, as native ones do.
void NoteClickFocus(const HitRegion* region);
// Draws the focus mark around the focused control once a key has been pressed.
void DrawFocusMark();
// Lets the folder box hand Tab, Enter and Escape to the window.
void ForwardFolderFieldKeys();
