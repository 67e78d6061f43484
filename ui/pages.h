#pragma once
// The wizard's pages and overlays, drawn from the shared state on every paint.
#include <windows.h>
#include <cstdint>

#include "app/setup_state.h"
#include "ui/draw.h"

// The Installing and Uninstalling pages' progress bar, and the part of those pages that changes
// while a run goes on (percentage, bar, file, figures), in canvas units.
constexpr Rect kRunProgressBar{282, 264, 850, 286};
constexpr Rect kRunFigures{282, 186, 850, 368};

// A value that changes whenever the Installing page's words or buttons change (stage, waiting for
// the server, paused, failed, cancelling, a speed figure or a dash), so that the timer repaints
// all of it at once rather than only its figures.
uint64_t RunPageState();
// True from the moment a transfer of the downloading run waits for a server that does not
// answer until bytes arrive again (or the run leaves the download or is paused).
bool WaitingForServer();
// False while the run's bar holds still (paused, waiting for the server, failed): no shine moves.
bool RunBarMoves();

// One frame of the window: background, side bar, page, title buttons, open overlays; area
// (client pixels, null: the whole window) is the part the paint renews.
void PaintWindow(HWND window, HDC paintDc, const RECT* area = nullptr);
// Renders the page once while the window is still hidden (WM_CREATE), so that the device objects,
// the pictures and the glyphs are ready and the window, once shown, has its page at once
// instead of after the first rendering under a software renderer (most of a second).
void PrepareFirstFrame(HWND window);
// Everything of a frame between BeginFrame and EndFrame; also fills the hit list when there is
// no render target (tests read the regions a page offers).
void PaintContent();
// The page a page number shows: below 0 the Welcome page, 7 and above the uninstall end page.
SetupPage PaintedPage(SetupPage page);

// What the Folder and Summary pages know about the install folder's drive.
struct FolderSpace {
  bool usable = false;    // the drive could be queried
  uint64_t free = 0;      // bytes available to the user (0 when not usable)
  uint64_t required = 0;  // bytes the install needs
  bool enough = false;    // usable and free >= required
};
// Checks the drive of the install folder as it stands now.
FolderSpace CheckFolderSpace();
