#pragma once
// Widgets painted with the drawing layer, the hit regions they register while painting,
// the window's interaction state, and the Folder page's native text box.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

#include "app/languages.h"
#include "app/setup_state.h"
#include "ui/draw.h"

enum ControlId : int32_t {
  IdClose = 1,
  IdMinimise = 2,
  IdBack = 3,
  IdPrimary = 4,
  IdCancel = 5,
  IdLanguageSelector = 6,
  IdLanguageItem = 7,
  IdOverlay = 8,
  IdBrowse = 9,
  IdDesktopShortcut = 10,
  IdStartMenuShortcut = 11,
  IdLaunchGame = 12,
  IdKeepUserData = 13,
  IdTryAgain = 14,
  IdConfirmYes = 15,
  IdConfirmNo = 16,
  IdPause = 17,
};

// One clickable area of the last paint.
struct HitRegion {
  int32_t id = 0;
  Rect rect;
  bool enabled = true;
  int32_t value = -1;  // language index for language rows, -1 otherwise
};

// The window's interaction state (user-interface thread only).
struct UiState {
  int32_t hoverId = 0;
  int32_t hoverValue = -1;
  int32_t pressedId = 0;
  int32_t pressedValue = -1;
  bool trackingLeave = false;
  bool languageListOpen = false;
  bool confirmOpen = false;
  float animPhase = 0.0f;
  int32_t focusId = 0;         // control with the keyboard focus (kFolderFieldId: the folder box), 0 none
  int32_t confirmFocus = 0;    // IdConfirmYes or IdConfirmNo while the question is open (0: No)
  int32_t listHighlight = -1;  // language row the keys have moved to in the open list, -1 none
  bool focusVisible = false;   // a key was pressed: the focus mark is drawn from now on
};

extern UiState g_ui;
// The regions of the last paint, in paint order (later ones lie on top).
extern std::vector<HitRegion> g_hitRegions;

// Empties the hit list (start of every paint).
void ClearHitRegions();
// Appends a region on top of the ones before it.
void AddHitRegion(int32_t id, Rect rect, bool enabled, int32_t value);
// The topmost region containing (x, y) in DIPs (left/top edges inside, right/bottom outside),
// disabled ones included; nullptr if none.
const HitRegion* HitTest(const std::vector<HitRegion>& regions, float x, float y);
// HitTest on the last paint for a point in client pixels (divided by the DPI scale).
const HitRegion* HitTestClientPixels(int x, int y);

// Button geometry shared by the pages.
constexpr Rect kLeftButton{540, 478, 690, 518};
constexpr Rect kRightButton{700, 478, 850, 518};

// The keyboard focus mark's line width (scaled with the DPI like every other unit).
constexpr float kFocusFrameWidth = 2.0f;

// The stone slab behind the side bar, the page and the dialog.
void DrawPanel(Rect rect);
// A dark box, its frame gold when highlighted.
void DrawCard(bool highlighted, Rect rect);
// How readers are told of a subtitle: as plain text, as a status whose changes they hear, or as
// an alert they hear as it appears (the player must act, or the install has ended).
enum class Subtitle { Plain, Status, Alert };
// Page title, its gold underline bar and the subtitle.
void DrawPageHeader(const std::wstring& title, const std::wstring& subtitle, Subtitle kind = Subtitle::Plain);
// A button with its face picture (hover, pressed, disabled) and caption; registers its region.
void DrawButton(int32_t id, const std::wstring& caption, bool isDefault, bool enabled, Rect rect);
// A 24-high check-box row at (x, y); the whole row toggles.
void DrawCheckBox(int32_t id, const std::wstring& label, bool checked, float x, float y, float width);
// Track, gradient fill up to the fraction, gloss and (if animated) the moving shine; name is
// what readers call it.
void DrawProgressBar(uint32_t startColour, uint32_t endColour, double fraction, bool animated, Rect rect,
                     const std::wstring& name);
// The left column: panel, logo and, on the install pages, the five steps.
void DrawSideBar(SetupPage page);
// Minimise and close in the top right corner; registers both. Readers are offered the close
// button only where it does something and is not the page's own Close.
void DrawTitleButtons(bool closeWorks, bool pageHasClose);
// The Welcome page's language card; registers it.
void DrawLanguageSelector();
// The open language list over everything, with the catcher region beneath it.
void DrawLanguageList();

// Width of a progress bar's fill for a fraction (limited to 0..1) between left and right.
float ProgressFillWidth(double fraction, float left, float right);
// Left edge of the 120-wide shine for the animation phase over a fill of width w from left.
float ShineLeft(float animPhase, float fillWidth, float fillLeft);
// The nine source and destination rectangles of a nine-slice with 6-unit borders.
struct SlicePart {
  Rect source;
  Rect dest;
};
void NineSlice(float imageWidth, float imageHeight, Rect dest, SlicePart parts[9]);
// Row i (0 .. kInstallerLanguageCount - 1) of the open language list.
Rect LanguageRowRect(int32_t index);
// The open list: one 28-unit row per language inside a one-unit frame.
constexpr float kLanguageRowHeight = 28.0f;
// The language box on the Welcome page; the list opens over it, as wide, and leaves the
// buttons below it uncovered.
constexpr Rect kLanguageBoxRect{282, 228, 536, 264};
constexpr Rect kLanguageListRect{282, 222, kLanguageBoxRect.right, 222 + 2 + kLanguageRowHeight * kInstallerLanguageCount};
static_assert(kLanguageListRect.bottom <= kCanvasHeight, "the language list must fit on the canvas");
static_assert(kLanguageListRect.right <= kLeftButton.left - 2 || kLanguageListRect.bottom <= kLeftButton.top - 2,
              "the open language list must not cover the buttons");

// The Folder page's text box (id 100) and its colours, created with the main window.
constexpr int kFolderFieldId = 100;
// The painted frame around the text box.
constexpr Rect kFolderFieldRect{282, 222, 720, 260};
extern HWND g_folderField;
// Creates the text box (child of parent), its GDI font in fontFace and the field brush.
void CreateFolderField(HWND parent, const wchar_t* fontFace);
// The solid brush answered to WM_CTLCOLOREDIT (the field colour).
HBRUSH FolderFieldBrush();
// The text box's text up to its first NUL; empty without a text box.
std::wstring ReadFolderField();
// A new font for the text box after the DPI scale changed.
void RescaleFolderField(const wchar_t* fontFace);
