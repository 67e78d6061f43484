// Direct2D, DirectWrite and WIC behind a handful of primitives in canvas units.
// d2d1.dll and dwrite.dll are loaded from the system folder only; WIC comes through COM.
#include "ui/draw.h"

#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "app/setup_state.h"
#include "support/handles.h"
#include "support/system_library.h"
#include "ui/format.h"
#include "ui/widgets.h"

namespace {

using D2D1CreateFactoryFn = HRESULT(WINAPI*)(D2D1_FACTORY_TYPE, REFIID, const D2D1_FACTORY_OPTIONS*, void**);
using DWriteCreateFactoryFn = HRESULT(WINAPI*)(DWRITE_FACTORY_TYPE, REFIID, IUnknown**);

const wchar_t* const kImageNames[kImageCount] = {L"BACKGROUND", L"LOGO",    L"UI_STONE",
                                                 L"UI_BTN1",    L"UI_BTN2", L"UI_BTN3"};
const wchar_t kIconFamily[] = L"Segoe MDL2 Assets";

// Device-independent objects: created once, kept until the process ends.
ID2D1Factory* s_d2d = nullptr;
IDWriteFactory* s_dwrite = nullptr;
IWICImagingFactory* s_wic = nullptr;
IDWriteTextFormat* s_formats[kTextStyleCount] = {};
IWICBitmapSource* s_images[kImageCount] = {};
ID2D1StrokeStyle* s_roundStroke = nullptr;
std::wstring s_family = L"Segoe UI";
bool s_haveIconFont = false;
bool s_highContrast = false;

// Device-dependent objects: created at the first paint, released after a device loss.
// s_target is the window's render target; under Wine it is a DC render target (s_dcTarget),
// because Wine shows a hwnd render target as a GL surface that hides the window's child
// controls (the folder text box) and, with X compositing, stays black.
ID2D1RenderTarget* s_target = nullptr;
ID2D1HwndRenderTarget* s_hwndTarget = nullptr;
ID2D1DCRenderTarget* s_dcTarget = nullptr;
// The DC target draws into a memory DC of the paint area's size, kept while paints keep that
// size: Wine makes a new texture at every BindDC and reads the whole texture back at every
// EndDraw, so a paint of the progress bar alone must not pay for the whole window.
HDC s_frameDc = nullptr;
HBITMAP s_frameBitmap = nullptr;
SIZE s_frameSize{};
HDC s_paintDc = nullptr;
RECT s_paintArea{};
bool s_clipped = false;
D2D1_RECT_F s_renewed{};  // the paint's area in DIPs while s_clipped
bool s_frameKept = false;  // s_frameDc holds a whole frame not yet shown (KeepFrame)

// The software path's shine: the animated bar's filled part as the last frame drew it (without
// the shine), kept so that each animation tick lays the shine over a copy of it with GDI. Wine
// pays a fixed price of tens of milliseconds for every frame rendered, even a bar-sized one.
struct ShineLayer {
  bool pending = false;  // the frame being drawn has an animated bar to lay the shine over
  bool valid = false;    // the cache holds the filled part of the bar shown now
  Rect fill{};           // DIPs
  RECT pixels{};         // client pixels of the cache
  HDC cacheDc = nullptr, scratchDc = nullptr, rampDc = nullptr;
  HBITMAP cache = nullptr, scratch = nullptr, ramp = nullptr;
  int rampWidth = 0;
};
ShineLayer s_shine;

// True when a draw within rect cannot touch the area a clipped paint renews: it is skipped, as
// Wine rasterises every glyph of a text again even when the clip hides all of it.
bool Outside(Rect r) {
  return s_clipped && (r.right < s_renewed.left - 1 || r.left > s_renewed.right + 1 ||
                       r.bottom < s_renewed.top - 1 || r.top > s_renewed.bottom + 1);
}
ID2D1SolidColorBrush* s_brush = nullptr;
ID2D1Bitmap* s_bitmaps[kImageCount] = {};
int s_deviceCreations = 0;

template <class T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

D2D1_RECT_F ToD2D(Rect r) { return D2D1_RECT_F{r.left, r.top, r.right, r.bottom}; }
D2D1_COLOR_F ToD2D(Colour c) { return D2D1_COLOR_F{c.r, c.g, c.b, c.a}; }

bool FamilyExists(IDWriteFontCollection* fonts, const wchar_t* family) {
  UINT32 index = 0;
  BOOL exists = FALSE;
  return SUCCEEDED(fonts->FindFamilyName(family, &index, &exists)) && exists;
}

// The first family of the collection, by its English name if it has one.
std::wstring FirstFamily(IDWriteFontCollection* fonts) {
  if (fonts->GetFontFamilyCount() == 0) return {};
  ComPtr<IDWriteFontFamily> family;
  ComPtr<IDWriteLocalizedStrings> names;
  if (FAILED(fonts->GetFontFamily(0, family.put())) || FAILED(family->GetFamilyNames(names.put())))
    return {};
  UINT32 index = 0;
  BOOL exists = FALSE;
  if (FAILED(names->FindLocaleName(L"en-us", &index, &exists)) || !exists) index = 0;
  UINT32 length = 0;
  if (FAILED(names->GetStringLength(index, &length))) return {};
  std::wstring name(length + 1, L'\0');
  if (FAILED(names->GetString(index, name.data(), length + 1))) return {};
  name.resize(length);
  return name;
}

// Systems without the wizard's font (Wine, trimmed-down images) would otherwise draw no
// text at all: DirectWrite does not fall back from a missing family.
void ChooseFontFamilies() {
  ComPtr<IDWriteFontCollection> fonts;
  if (FAILED(s_dwrite->GetSystemFontCollection(fonts.put(), FALSE)) || !fonts) return;
  s_haveIconFont = FamilyExists(fonts.get(), kIconFamily);
  for (const wchar_t* family : {L"Segoe UI", L"Tahoma", L"Liberation Sans", L"Arial", L"DejaVu Sans"}) {
    if (FamilyExists(fonts.get(), family)) {
      s_family = family;
      return;
    }
  }
  std::wstring first = FirstFamily(fonts.get());
  if (!first.empty()) s_family = first;
}

IDWriteTextFormat* CreateFormat(const wchar_t* family, int weight, float size) {
  IDWriteTextFormat* format = nullptr;
  if (FAILED(s_dwrite->CreateTextFormat(family, nullptr, static_cast<DWRITE_FONT_WEIGHT>(weight),
                                        DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, size,
                                        L"", &format)))
    return nullptr;
  return format;
}

void CreateTextFormats() {
  const wchar_t* ui = s_family.c_str();
  s_formats[TitleText] = CreateFormat(ui, 700, 26.0f);
  s_formats[BodyText] = CreateFormat(ui, 400, 14.0f);
  s_formats[LabelText] = CreateFormat(ui, 600, 14.0f);
  s_formats[SmallText] = CreateFormat(ui, 400, 12.0f);
  s_formats[ButtonText] = CreateFormat(ui, 600, 14.0f);
  s_formats[StepText] = CreateFormat(ui, 600, 13.5f);
  s_formats[IconText] = CreateFormat(kIconFamily, 400, 11.0f);
  s_formats[PercentText] = CreateFormat(ui, 300, 46.0f);

  // One line with an ellipsis. Each format gets a sign made from itself: a sign takes the
  // font and size of the format it was made from, and one shared sign would end every
  // trimmed line in the title's large bold dots.
  const TextStyle oneLine[] = {TitleText, LabelText, SmallText, ButtonText, StepText};
  const DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
  for (TextStyle style : oneLine) {
    if (!s_formats[style]) continue;
    IDWriteInlineObject* sign = nullptr;
    s_dwrite->CreateEllipsisTrimmingSign(s_formats[style], &sign);
    s_formats[style]->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    s_formats[style]->SetTrimming(&trimming, sign);
    Release(sign);  // the format keeps its own reference
  }
}

struct FitContext {
  IDWriteTextFormat* format;
  float width;
};

// Whether text laid out on one line in the context's format is no wider than its width.
bool FitsWidth(const std::wstring& text, void* context) {
  const FitContext* fit = static_cast<const FitContext*>(context);
  ComPtr<IDWriteTextLayout> layout;
  if (FAILED(s_dwrite->CreateTextLayout(text.c_str(), static_cast<UINT32>(text.size()), fit->format, 100000.0f,
                                        1000.0f, layout.put())))
    return true;
  DWRITE_TEXT_METRICS metrics{};
  if (FAILED(layout->GetMetrics(&metrics))) return true;
  return metrics.widthIncludingTrailingWhitespace <= fit->width;
}

// One RCDATA image of this module decoded to 32-bit premultiplied BGRA; nullptr on failure.
IWICBitmapSource* LoadImageResource(const wchar_t* name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10));
  if (!info) return nullptr;
  HGLOBAL loaded = LoadResource(module, info);
  void* bytes = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, info);
  if (!bytes || size == 0) return nullptr;

  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(s_wic->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(bytes), size)) ||
      FAILED(s_wic->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                            decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())))
    return nullptr;
  IWICFormatConverter* converter = nullptr;
  if (FAILED(s_wic->CreateFormatConverter(&converter))) return nullptr;
  if (FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeMedianCut))) {
    converter->Release();
    return nullptr;
  }
  return converter;
}

bool RunningOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool CreateTarget(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  const float dpi = g_setup.dpiScale * 96.0f;
  if (RunningOnWine()) {
    const D2D1_RENDER_TARGET_PROPERTIES props{
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        D2D1_PIXEL_FORMAT{DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE}, dpi, dpi,
        D2D1_RENDER_TARGET_USAGE_GDI_COMPATIBLE, D2D1_FEATURE_LEVEL_DEFAULT};
    if (FAILED(s_d2d->CreateDCRenderTarget(&props, &s_dcTarget))) {
      s_dcTarget = nullptr;
      return false;
    }
    s_target = s_dcTarget;
    return true;
  }
  const D2D1_RENDER_TARGET_PROPERTIES props{
      D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1_PIXEL_FORMAT{DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN},
      dpi, dpi, D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT};
  const D2D1_HWND_RENDER_TARGET_PROPERTIES hwndProps{
      window, D2D1_SIZE_U{static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom)},
      D2D1_PRESENT_OPTIONS_NONE};
  if (FAILED(s_d2d->CreateHwndRenderTarget(&props, &hwndProps, &s_hwndTarget))) {
    s_hwndTarget = nullptr;
    return false;
  }
  s_target = s_hwndTarget;
  return true;
}

void ReleaseFrameDc() {
  s_frameKept = false;
  if (s_frameDc) DeleteDC(s_frameDc);
  if (s_frameBitmap) DeleteObject(s_frameBitmap);
  s_frameDc = nullptr;
  s_frameBitmap = nullptr;
  s_frameSize = SIZE{};
}

// The DC target bound to the frame's memory DC of size (made again when the size changed);
// false when there is none, so that the paint draws nothing.
bool BindFrameDc(HDC like, SIZE size) {
  if (s_frameDc && s_frameSize.cx == size.cx && s_frameSize.cy == size.cy) return true;
  ReleaseFrameDc();
  if (size.cx <= 0 || size.cy <= 0) return false;
  s_frameDc = CreateCompatibleDC(like);
  s_frameBitmap = s_frameDc ? CreateCompatibleBitmap(like, size.cx, size.cy) : nullptr;
  const RECT rect{0, 0, size.cx, size.cy};
  if (!s_frameBitmap || !SelectObject(s_frameDc, s_frameBitmap) || FAILED(s_dcTarget->BindDC(s_frameDc, &rect))) {
    ReleaseFrameDc();
    return false;
  }
  s_frameSize = size;
  return true;
}

bool CreateDeviceObjects(HWND window) {
  if (!s_d2d || !CreateTarget(window)) return false;
  s_target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
  const D2D1_COLOR_F white{1, 1, 1, 1};
  if (FAILED(s_target->CreateSolidColorBrush(&white, nullptr, &s_brush))) s_brush = nullptr;
  const D2D1_BITMAP_PROPERTIES bitmapProps{
      D2D1_PIXEL_FORMAT{DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED}, 96.0f, 96.0f};
  for (int i = 0; i < kImageCount; ++i) {
    if (s_images[i] && FAILED(s_target->CreateBitmapFromWicBitmap(s_images[i], &bitmapProps, &s_bitmaps[i])))
      s_bitmaps[i] = nullptr;
  }
  ++s_deviceCreations;
  return true;
}

bool Ready() { return s_target && s_brush; }

// High contrast: each palette colour stands for a role, drawn in the system's colour for it.
enum class Use { Text, Line, Fill };

bool IsDarkColour(uint32_t rgb) {
  const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return r + g + b < 3 * 0x40;
}

D2D1_COLOR_F Themed(uint32_t rgb, float alpha, Use use) {
  if (!s_highContrast) return ToD2D(ToColour(rgb, alpha));
  int index = COLOR_WINDOWTEXT;
  switch (use) {
    case Use::Text:
      index = rgb == DimColour ? COLOR_GRAYTEXT : rgb == StepNumberOnGold ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
      alpha = alpha > 0 ? 1.0f : 0.0f;
      break;
    case Use::Line:
      index = rgb == GoldColour ? COLOR_HIGHLIGHT : rgb == DimColour ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT;
      alpha = alpha > 0 ? 1.0f : 0.0f;
      break;
    case Use::Fill:
      if (rgb == WhiteColour) alpha = 0.0f;  // gloss and shine
      index = IsDarkColour(rgb) ? COLOR_WINDOW : COLOR_HIGHLIGHT;
      break;
  }
  const COLORREF c = GetSysColor(index);
  return D2D1_COLOR_F{GetRValue(c) / 255.0f, GetGValue(c) / 255.0f, GetBValue(c) / 255.0f, alpha};
}

uint32_t ToRgb(Colour c) {
  auto byte = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
  return (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

// Wine's Direct2D blends gradient stops as if they were premultiplied, which turns a faint
// white shine into a solid white block; giving it premultiplied stops draws what Windows draws.
D2D1_COLOR_F GradientStopColour(uint32_t rgb, float alpha) {
  static const bool premultiply = RunningOnWine();
  if (s_highContrast) {
    D2D1_COLOR_F themed = Themed(rgb, alpha, Use::Fill);
    themed.a = alpha > 0 && rgb != WhiteColour ? 1.0f : 0.0f;
    return themed;
  }
  Colour c = ToColour(rgb, alpha);
  if (premultiply) {
    c.r *= alpha;
    c.g *= alpha;
    c.b *= alpha;
  }
  return ToD2D(c);
}

void SetBrush(uint32_t rgb, float alpha, Use use = Use::Text) { s_brush->SetColor(Themed(rgb, alpha, use)); }

void Line(float x1, float y1, float x2, float y2, float width) {
  s_target->DrawLine(D2D1_POINT_2F{x1, y1}, D2D1_POINT_2F{x2, y2}, s_brush, width, s_roundStroke);
}

// The four icons as strokes, for systems without the icon font. Proportions follow the
// font's glyphs at the same em size, so the layout looks the same either way.
void DrawVectorGlyph(wchar_t glyph, float em, Rect rect) {
  const float cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
  const float w = std::max(1.0f, em / 11.0f);
  switch (glyph) {
    case GlyphCheckMark: {
      // Bolder than the other icons: a one-unit diagonal never reaches its full colour, and a
      // check mark must stand out 3:1 from its background.
      const float bold = std::max(2.0f, w);
      Line(cx - 0.42f * em, cy + 0.02f * em, cx - 0.14f * em, cy + 0.30f * em, bold);
      Line(cx - 0.14f * em, cy + 0.30f * em, cx + 0.44f * em, cy - 0.28f * em, bold);
      break;
    }
    case GlyphChevronDown:
      Line(cx - 0.42f * em, cy - 0.21f * em, cx, cy + 0.21f * em, w);
      Line(cx, cy + 0.21f * em, cx + 0.42f * em, cy - 0.21f * em, w);
      break;
    case GlyphMinimise:
      Line(cx - 0.45f * em, cy, cx + 0.45f * em, cy, w);
      break;
    case GlyphClose:
      Line(cx - 0.4f * em, cy - 0.4f * em, cx + 0.4f * em, cy + 0.4f * em, w);
      Line(cx - 0.4f * em, cy + 0.4f * em, cx + 0.4f * em, cy - 0.4f * em, w);
      break;
    default:
      break;
  }
}

void ReleaseShine() {
  for (HDC* dc : {&s_shine.cacheDc, &s_shine.scratchDc, &s_shine.rampDc}) {
    if (*dc) DeleteDC(*dc);
    *dc = nullptr;
  }
  for (HBITMAP* bitmap : {&s_shine.cache, &s_shine.scratch, &s_shine.ramp}) {
    if (*bitmap) DeleteObject(*bitmap);
    *bitmap = nullptr;
  }
  s_shine = ShineLayer{};
}

// A memory DC holding a top-down 32-bit DIB of w x h; bits receives its pixels.
bool MakeDib(HDC like, int w, int h, HDC& dc, HBITMAP& bitmap, uint32_t** bits = nullptr) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* pixels = nullptr;
  dc = CreateCompatibleDC(like);
  bitmap = dc ? CreateDIBSection(like, &info, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
  if (!bitmap || !SelectObject(dc, bitmap)) return false;
  if (bits) *bits = static_cast<uint32_t*>(pixels);
  return true;
}

// Keeps the bar's filled part of frame (a memory DC whose origin is client pixel origin), then
// lays the shine over it there. False when the part could not be kept.
bool KeepShineLayer(HDC frame, POINT origin) {
  const float scale = g_setup.dpiScale;
  const RECT pixels{lroundf(s_shine.fill.left * scale), lroundf(s_shine.fill.top * scale),
                    lroundf(s_shine.fill.right * scale), lroundf(s_shine.fill.bottom * scale)};
  const int w = pixels.right - pixels.left, h = pixels.bottom - pixels.top;
  RECT inside{};
  if (w <= 0 || h <= 0 || !IntersectRect(&inside, &pixels, &s_paintArea) || !EqualRect(&inside, &pixels))
    return false;
  const int rampWidth = std::max(1, static_cast<int>(lroundf(120.0f * scale)));
  if (!s_shine.cache || s_shine.pixels.right - s_shine.pixels.left != w ||
      s_shine.pixels.bottom - s_shine.pixels.top != h || s_shine.rampWidth != rampWidth) {
    const Rect fill = s_shine.fill;
    ReleaseShine();
    s_shine.fill = fill;
    uint32_t* ramp = nullptr;
    if (!MakeDib(frame, w, h, s_shine.cacheDc, s_shine.cache) ||
        !MakeDib(frame, w, h, s_shine.scratchDc, s_shine.scratch) ||
        !MakeDib(frame, rampWidth, 1, s_shine.rampDc, s_shine.ramp, &ramp))
      return false;
    // White, premultiplied, its opacity rising to 0.28 at the middle and falling again.
    for (int x = 0; x < rampWidth; ++x) {
      const float t = (x + 0.5f) / rampWidth;
      const uint32_t a = static_cast<uint32_t>(lroundf(255.0f * 0.28f * (t < 0.5f ? t * 2 : (1 - t) * 2)));
      ramp[x] = (a << 24) | (a << 16) | (a << 8) | a;
    }
    s_shine.rampWidth = rampWidth;
  }
  s_shine.pixels = pixels;
  if (!BitBlt(s_shine.cacheDc, 0, 0, w, h, frame, pixels.left - origin.x, pixels.top - origin.y, SRCCOPY))
    return false;
  s_shine.valid = true;
  return true;
}

// Lays the shine for the current phase over the kept bar onto dc at the bar's place (dc's
// origin at client pixel origin).
void LayShine(HDC dc, POINT origin) {
  const int w = s_shine.pixels.right - s_shine.pixels.left, h = s_shine.pixels.bottom - s_shine.pixels.top;
  const float scale = g_setup.dpiScale;
  const float fillWidth = s_shine.fill.right - s_shine.fill.left;
  const int left = lroundf(ShineLeft(g_ui.animPhase, fillWidth, s_shine.fill.left) * scale) - s_shine.pixels.left;
  BitBlt(s_shine.scratchDc, 0, 0, w, h, s_shine.cacheDc, 0, 0, SRCCOPY);
  const int from = std::max(left, 0), to = std::min(left + s_shine.rampWidth, w);
  if (to > from) {
    const BLENDFUNCTION over{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(s_shine.scratchDc, from, 0, to - from, h, s_shine.rampDc, from - left, 0, to - from, 1, over);
  }
  BitBlt(dc, s_shine.pixels.left - origin.x, s_shine.pixels.top - origin.y, w, h, s_shine.scratchDc, 0, 0, SRCCOPY);
}

}  // namespace

Colour ToColour(uint32_t rgb, float alpha) {
  return Colour{((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, alpha};
}

void CreateDrawingResources() {
  if (auto create = SystemProc<D2D1CreateFactoryFn>(L"d2d1.dll", "D2D1CreateFactory")) {
    if (FAILED(create(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                      reinterpret_cast<void**>(&s_d2d))))
      s_d2d = nullptr;
  }
  if (auto create = SystemProc<DWriteCreateFactoryFn>(L"dwrite.dll", "DWriteCreateFactory")) {
    if (FAILED(create(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                      reinterpret_cast<IUnknown**>(&s_dwrite))))
      s_dwrite = nullptr;
  }
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&s_wic))))
    s_wic = nullptr;

  if (s_d2d) {
    const D2D1_STROKE_STYLE_PROPERTIES round{D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND,
                                             D2D1_CAP_STYLE_ROUND, D2D1_LINE_JOIN_ROUND, 10.0f,
                                             D2D1_DASH_STYLE_SOLID, 0.0f};
    if (FAILED(s_d2d->CreateStrokeStyle(&round, nullptr, 0, &s_roundStroke))) s_roundStroke = nullptr;
  }
  if (s_dwrite) {
    ChooseFontFamilies();
    CreateTextFormats();
  }
  if (s_wic) {
    for (int i = 0; i < kImageCount; ++i) s_images[i] = LoadImageResource(kImageNames[i]);
  }
  ReadHighContrast();
}

const std::wstring& UiFontFamily() { return s_family; }

bool HighContrast() { return s_highContrast; }

void SetHighContrastForTesting(bool on) { s_highContrast = on; }

bool ReadHighContrast() {
  HIGHCONTRASTW hc{sizeof hc, 0, nullptr};
  const bool on = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
  const bool changed = on != s_highContrast;
  s_highContrast = on;
  return changed;
}

bool BeginFrame(HWND window, HDC paintDc, const RECT* area) {
  s_frameKept = false;
  ClearHitRegions();
  if (!s_target && !CreateDeviceObjects(window)) return false;
  s_paintDc = nullptr;
  s_clipped = false;
  s_shine.pending = false;
  D2D1_MATRIX_3X2_F shift{1, 0, 0, 1, 0, 0};
  if (s_dcTarget) {
    RECT client{};
    GetClientRect(window, &client);
    s_paintArea = client;
    if (area && IntersectRect(&s_paintArea, &client, area) == FALSE) return false;
    const SIZE size{s_paintArea.right - s_paintArea.left, s_paintArea.bottom - s_paintArea.top};
    if (!paintDc || !BindFrameDc(paintDc, size)) return false;
    s_paintDc = paintDc;
    s_clipped = !EqualRect(&s_paintArea, &client);
    const float scale = g_setup.dpiScale;
    s_renewed = D2D1_RECT_F{s_paintArea.left / scale, s_paintArea.top / scale, s_paintArea.right / scale,
                            s_paintArea.bottom / scale};
    shift.dx = -s_renewed.left;
    shift.dy = -s_renewed.top;
  }
  s_target->SetTransform(&shift);
  s_target->BeginDraw();
  s_target->Clear(Themed(ClearColour, 1.0f, Use::Fill));
  return true;
}

void EndFrame() {
  if (!s_target) return;
  const HRESULT drawn = s_target->EndDraw(nullptr, nullptr);
  if (s_paintDc && SUCCEEDED(drawn)) {
    const POINT origin{s_paintArea.left, s_paintArea.top};
    RECT kept{};
    if (s_shine.pending && KeepShineLayer(s_frameDc, origin))
      LayShine(s_frameDc, origin);
    else if (IntersectRect(&kept, &s_shine.pixels, &s_paintArea))
      s_shine.valid = false;  // the bar there changed or went
    BitBlt(s_paintDc, s_paintArea.left, s_paintArea.top, s_paintArea.right - s_paintArea.left,
           s_paintArea.bottom - s_paintArea.top, s_frameDc, 0, 0, SRCCOPY);
  }
  s_shine.pending = false;
  s_paintDc = nullptr;
  if (drawn == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) ReleaseDeviceObjects();
}

void KeepFrame() { s_frameKept = s_frameDc && !s_clipped; }

bool ShowKeptFrame(HWND window, HDC paintDc) {
  if (!s_frameKept || !paintDc) return false;
  s_frameKept = false;
  RECT client{};
  GetClientRect(window, &client);
  if (s_frameSize.cx != client.right || s_frameSize.cy != client.bottom) return false;
  BitBlt(paintDc, 0, 0, client.right, client.bottom, s_frameDc, 0, 0, SRCCOPY);
  return true;
}

void ReleaseDeviceObjects() {
  ReleaseFrameDc();
  ReleaseShine();
  for (auto& bitmap : s_bitmaps) Release(bitmap);
  Release(s_brush);
  s_target = nullptr;
  Release(s_hwndTarget);
  Release(s_dcTarget);
}

int DeviceCreations() { return s_deviceCreations; }

void ResizeTarget(UINT width, UINT height) {
  // A DC render target takes the size from the paint's BindDC.
  if (s_hwndTarget) {
    const D2D1_SIZE_U size{width, height};
    s_hwndTarget->Resize(&size);
  }
}

void DrawTextIn(const std::wstring& text, TextStyle style, uint32_t colour, TextAlign horizontal,
                ParagraphAlign vertical, float alpha, Rect rect) {
  if (!Ready() || style < 0 || style >= kTextStyleCount || !s_formats[style] || text.empty() || Outside(rect))
    return;
  IDWriteTextFormat* format = s_formats[style];
  format->SetTextAlignment(static_cast<DWRITE_TEXT_ALIGNMENT>(horizontal));
  format->SetParagraphAlignment(static_cast<DWRITE_PARAGRAPH_ALIGNMENT>(vertical));
  SetBrush(colour, alpha);
  const D2D1_RECT_F layout = ToD2D(rect);
  s_target->DrawText(text.c_str(), static_cast<UINT32>(text.size()), format, &layout, s_brush,
                     D2D1_DRAW_TEXT_OPTIONS_CLIP, DWRITE_MEASURING_MODE_NATURAL);
}

std::wstring TrimPathToWidth(const std::wstring& text, TextStyle style, float width) {
  if (!s_dwrite || style < 0 || style >= kTextStyleCount || !s_formats[style] || text.empty()) return text;
  FitContext fit{s_formats[style], width};
  return TrimMiddleAtBackslash(text, FitsWidth, &fit);
}

void DrawGlyph(wchar_t glyph, TextStyle style, uint32_t colour, float alpha, Rect rect) {
  if (!Ready() || Outside(rect)) return;
  const float em = style == BigIconText ? 34.0f : 11.0f;
  if (!s_haveIconFont) {
    SetBrush(colour, alpha);
    DrawVectorGlyph(glyph, em, rect);
    return;
  }
  const std::wstring text(1, glyph);
  if (style != BigIconText) {
    DrawTextIn(text, IconText, colour, AlignCentre, AlignMiddle, alpha, rect);
    return;
  }
  // The big format serves one badge: made for this paint and released after it.
  if (!s_dwrite) return;
  IDWriteTextFormat* big = CreateFormat(kIconFamily, 400, em);
  if (!big) return;
  s_formats[BigIconText] = big;
  DrawTextIn(text, BigIconText, colour, AlignCentre, AlignMiddle, alpha, rect);
  s_formats[BigIconText] = nullptr;
  big->Release();
}

void StrokeFrame(uint32_t colour, float alpha, Rect rect, float width) {
  if (!Ready() || Outside(rect)) return;
  SetBrush(colour, alpha, Use::Line);
  const float in = width / 2;
  const D2D1_RECT_F r{rect.left + in, rect.top + in, rect.right - in, rect.bottom - in};
  s_target->DrawRectangle(&r, s_brush, width, nullptr);
}

void FillRect(Colour colour, Rect rect) {
  if (!Ready() || Outside(rect)) return;
  s_brush->SetColor(s_highContrast ? Themed(ToRgb(colour), colour.a, Use::Fill) : ToD2D(colour));
  const D2D1_RECT_F r = ToD2D(rect);
  s_target->FillRectangle(&r, s_brush);
}

void FillHorizontalGradient(uint32_t startColour, float startAlpha, uint32_t endColour,
                            float endAlpha, Rect rect) {
  if (!Ready() || Outside(rect)) return;
  const D2D1_GRADIENT_STOP stops[2] = {{0.0f, GradientStopColour(startColour, startAlpha)},
                                       {1.0f, GradientStopColour(endColour, endAlpha)}};
  ComPtr<ID2D1GradientStopCollection> collection;
  if (FAILED(s_target->CreateGradientStopCollection(stops, 2, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP,
                                                    collection.put())))
    return;
  const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES line{D2D1_POINT_2F{rect.left, rect.top},
                                                   D2D1_POINT_2F{rect.right, rect.top}};
  ComPtr<ID2D1LinearGradientBrush> brush;
  if (FAILED(s_target->CreateLinearGradientBrush(&line, nullptr, collection.get(), brush.put()))) return;
  const D2D1_RECT_F r = ToD2D(rect);
  s_target->FillRectangle(&r, brush.get());
}

bool ImageSize(ImageId image, float& width, float& height) {
  if (!s_target || s_highContrast || image < 0 || image >= kImageCount || !s_bitmaps[image]) return false;
  const D2D1_SIZE_F size = s_bitmaps[image]->GetSize();
  width = size.width;
  height = size.height;
  return width > 0 && height > 0;
}

void DrawImage(ImageId image, Rect dest, float opacity, const Rect* source) {
  if (!s_target || s_highContrast || image < 0 || image >= kImageCount || !s_bitmaps[image] || Outside(dest))
    return;
  const D2D1_RECT_F d = ToD2D(dest);
  D2D1_RECT_F s{};
  if (source) s = ToD2D(*source);
  s_target->DrawBitmap(s_bitmaps[image], &d, opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                       source ? &s : nullptr);
}

void FillCircle(float cx, float cy, float radius, uint32_t colour, float alpha) {
  if (!Ready() || Outside(Rect{cx - radius, cy - radius, cx + radius, cy + radius})) return;
  SetBrush(colour, alpha, Use::Fill);
  const D2D1_ELLIPSE e{D2D1_POINT_2F{cx, cy}, radius, radius};
  s_target->FillEllipse(&e, s_brush);
}

void StrokeCircle(float cx, float cy, float radius, uint32_t colour, float alpha, float width) {
  if (!Ready() || Outside(Rect{cx - radius - width, cy - radius - width, cx + radius + width, cy + radius + width}))
    return;
  SetBrush(colour, alpha, Use::Line);
  const D2D1_ELLIPSE e{D2D1_POINT_2F{cx, cy}, radius, radius};
  s_target->DrawEllipse(&e, s_brush, width, nullptr);
}

void DrawShine(Rect fill, float left) {
  if (s_highContrast) return;  // the system's colours have no gloss
  // Laid over afterwards only where nothing is drawn over the bar later in the frame.
  if (s_dcTarget && !g_ui.confirmOpen && !g_ui.languageListOpen) {
    s_shine.pending = true;
    s_shine.fill = fill;
    return;
  }
  PushClip(fill);
  FillHorizontalGradient(WhiteColour, 0.0f, WhiteColour, 0.28f, Rect{left, fill.top, left + 60, fill.bottom});
  FillHorizontalGradient(WhiteColour, 0.28f, WhiteColour, 0.0f, Rect{left + 60, fill.top, left + 120, fill.bottom});
  PopClip();
}

bool PaintShine(HWND window) {
  if (!s_shine.valid || g_ui.confirmOpen || g_ui.languageListOpen) return false;
  HDC dc = GetDC(window);
  if (!dc) return false;
  LayShine(dc, POINT{0, 0});
  ReleaseDC(window, dc);
  return true;
}

void PushClip(Rect rect) {
  if (!s_target) return;
  const D2D1_RECT_F r = ToD2D(rect);
  s_target->PushAxisAlignedClip(&r, D2D1_ANTIALIAS_MODE_ALIASED);
}

void PopClip() {
  if (s_target) s_target->PopAxisAlignedClip();
}

Rect CoverRect(float w, float h) {
  const float s = std::max(kCanvasHeight / h, kCanvasWidth / w);
  return Rect{(kCanvasWidth - w * s) / 2, (kCanvasHeight - h * s) / 2, (kCanvasWidth + w * s) / 2,
              (kCanvasHeight + h * s) / 2};
}

void DrawBackground() {
  float w = 0, h = 0;
  if (ImageSize(ImageBackground, w, h)) DrawImage(ImageBackground, CoverRect(w, h), 1.0f);
  FillRect(ShadeColour, 0.5f, Rect{0, 0, kCanvasWidth, kCanvasHeight});
  StrokeFrame(FrameColour, 1.0f, Rect{0, 0, kCanvasWidth, kCanvasHeight});
}
