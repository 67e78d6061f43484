#pragma once
// The drawing layer: Direct2D onto the main window, DirectWrite text, the decoded images.
// Every geometry is in DIPs of the fixed 900 x 560 canvas; the render target scales it.
#include <windows.h>
#include <cstdint>
#include <string>

// left, top, right, bottom in DIPs.
struct Rect {
  float left = 0, top = 0, right = 0, bottom = 0;
};

// A colour as four floats, straight (not premultiplied) alpha.
struct Colour {
  float r = 0, g = 0, b = 0, a = 1;
};

constexpr float kCanvasWidth = 900.0f;
constexpr float kCanvasHeight = 560.0f;

// The palette, 0xRRGGBB; alphas are given where each colour is used.
constexpr uint32_t ClearColour = 0x110D0A;
constexpr uint32_t ShadeColour = 0x0A0806;
constexpr uint32_t FrameColour = 0x605345;
// Frames of controls (check boxes, the folder box, the language box): 3:1 or more against the
// page panel and the field inside them, as controls need; FrameColour is about 2.2:1.
constexpr uint32_t ControlFrameColour = 0x8E7B66;
constexpr uint32_t GoldColour = 0xC9A475;
constexpr uint32_t DarkGoldColour = 0x8E7352;
constexpr uint32_t TitleColour = 0xEAD8B8;
constexpr uint32_t LabelColour = 0xE3DCCF;
constexpr uint32_t HighlightColour = 0xECD6AE;
constexpr uint32_t MutedColour = 0xA6978A;
constexpr uint32_t DimColour = 0x76695C;
constexpr uint32_t StatusColour = 0xA09183;  // status line: about 5:1 on the page panel (DimColour is 3:1)
constexpr uint32_t StepNumberOnGold = 0x1A1410;
constexpr uint32_t GoodColour = 0x7FD17F;
constexpr uint32_t BadColour = 0xE9705F;
constexpr uint32_t FieldColour = 0x15100D;
constexpr uint32_t TrackColour = 0x14100D;
constexpr uint32_t ListColour = 0x120E0B;
constexpr uint32_t PanelFallback = 0x221C18;
constexpr uint32_t PanelTint = 0x0E0B09;
constexpr uint32_t PanelEdge = 0x000000;
constexpr uint32_t DimmerColour = 0x000000;
constexpr uint32_t WhiteColour = 0xFFFFFF;

// 0xRRGGBB plus alpha as floats (each byte / 255).
Colour ToColour(uint32_t rgb, float alpha);

enum TextStyle : int {
  TitleText = 0,
  BodyText,
  LabelText,
  SmallText,
  ButtonText,
  StepText,
  IconText,
  PercentText,
  BigIconText,  // created and released within one paint of the Finished page
  kTextStyleCount
};

enum TextAlign : int { AlignLeading = 0, AlignTrailing = 1, AlignCentre = 2 };
enum ParagraphAlign : int { AlignNear = 0, AlignFar = 1, AlignMiddle = 2 };

// Icon glyphs of the icon font.
constexpr wchar_t GlyphCheckMark = 0xE73E;
constexpr wchar_t GlyphChevronDown = 0xE70D;
constexpr wchar_t GlyphMinimise = 0xE921;
constexpr wchar_t GlyphClose = 0xE8BB;

enum ImageId : int {
  ImageBackground = 0,
  ImageLogo,
  ImageStone,
  ImageButtonNormal,
  ImageButtonHover,
  ImageButtonPressed,
  kImageCount
};

// Factories, text formats and decoded images; COM must be initialised. A failure leaves the
// affected object empty and drawing skips it.
void CreateDrawingResources();
// Family actually used for the wizard's text: "Segoe UI" where installed, else a family that
// exists on the system (so that text is always drawn).
const std::wstring& UiFontFamily();

// Starts a paint of window (paintDc from BeginPaint): device objects created if needed, hit
// list emptied, BeginDraw and Clear. area (client pixels; null: all of it) is what the paint
// must renew; where the target allows, only those pixels are rendered. False when there is no
// render target (draw nothing).
bool BeginFrame(HWND window, HDC paintDc, const RECT* area = nullptr);
// EndDraw; on D2DERR_RECREATE_TARGET releases every device object for the next paint.
void EndFrame();
// After a whole frame's EndFrame: keeps its pixels for ShowKeptFrame (where rendering is in
// software). Any later frame, resize or device loss forgets them.
void KeepFrame();
// Copies the kept frame onto paintDc (the whole client area) and forgets it; false when there is
// none or the window's size changed since (then the paint renders as usual).
bool ShowKeptFrame(HWND window, HDC paintDc);
// Resizes the render target (if one exists) to the client size in pixels.
void ResizeTarget(UINT width, UINT height);

// Text in a style, clipped to rect, with both alignments given.
void DrawTextIn(const std::wstring& text, TextStyle style, uint32_t colour, TextAlign horizontal,
                ParagraphAlign vertical, float alpha, Rect rect);
// text, or text shortened in the middle at its last backslash so that the last folder or file
// name stays visible, to fit width on one line in style (unchanged without DirectWrite).
std::wstring TrimPathToWidth(const std::wstring& text, TextStyle style, float width);
// One icon glyph centred in rect (the icon font, or the same shape drawn as lines without it).
void DrawGlyph(wchar_t glyph, TextStyle style, uint32_t colour, float alpha, Rect rect);
// An outline of width units (1 by default) on the outermost pixel rows inside rect.
void StrokeFrame(uint32_t colour, float alpha, Rect rect, float width = 1.0f);
// Fills rect with the shared brush.
void FillRect(Colour colour, Rect rect);
inline void FillRect(uint32_t colour, float alpha, Rect rect) { FillRect(ToColour(colour, alpha), rect); }
// Fills rect with a left-to-right gradient between two colours.
void FillHorizontalGradient(uint32_t startColour, float startAlpha, uint32_t endColour,
                            float endAlpha, Rect rect);
// True if the image's bitmap exists for this paint; width/height receive its size in DIPs.
bool ImageSize(ImageId image, float& width, float& height);
// Draws an image (or its source part) into dest; does nothing if the bitmap is missing.
void DrawImage(ImageId image, Rect dest, float opacity, const Rect* source = nullptr);
// A filled circle.
void FillCircle(float cx, float cy, float radius, uint32_t colour, float alpha);
// A circle's outline of the given stroke width.
void StrokeCircle(float cx, float cy, float radius, uint32_t colour, float alpha, float width);
// The moving shine of an animated progress bar over its filled part fill, its left edge at left.
// Where rendering is in software it is laid over the frame once the frame is drawn, so that an
// animation tick can move it without rendering a frame (PaintShine).
void DrawShine(Rect fill, float left);
// Paints the last frame's bar with the shine where the current phase puts it, straight onto
// window; false when there is none to paint this way (then the bar is to be repainted).
bool PaintShine(HWND window);
// Limits drawing to rect (aliased edges) until the matching PopClip.
void PushClip(Rect rect);
void PopClip();

// The window background: cover-scaled picture, shade and the outer frame.
void DrawBackground();

// Where an image of w x h goes so that it covers the canvas, centred, aspect kept.
Rect CoverRect(float imageWidth, float imageHeight);

// True while Windows' high-contrast mode is on: everything is drawn in the system's colours
// (text, frames, highlight) over a plain background, without the pictures.
bool HighContrast();
// Reads the high-contrast setting again (start-up and after WM_SETTINGCHANGE); true if it changed.
bool ReadHighContrast();
// For tests on systems that cannot switch high contrast on (Wine): as if the setting were on.
void SetHighContrastForTesting(bool on);

// For tests: forgets the device objects as a device loss does (the next BeginFrame recreates them).
void ReleaseDeviceObjects();
// For tests: how many times the device objects have been created.
int DeviceCreations();
