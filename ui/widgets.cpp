// Widgets of the wizard, each painted from the drawing primitives; clickable ones register
// a hit region so that input handling never needs to know where anything is.
#include "ui/widgets.h"

#include <algorithm>
#include <cmath>

#include "app/languages.h"
#include "app/setup_state.h"
#include "ui/accessible.h"
#include "ui/format.h"

std::vector<HitRegion> g_hitRegions;

void ClearHitRegions() {
  g_hitRegions.clear();
  ClearAccessItems();
}

void AddHitRegion(int32_t id, Rect rect, bool enabled, int32_t value) {
  g_hitRegions.push_back(HitRegion{id, rect, enabled, value});
  // What an overlay covers is out of a reader's reach as well.
  if (id == IdOverlay) AddAccessControl(0, IdOverlay, L"", rect, enabled);
}

const HitRegion* HitTest(const std::vector<HitRegion>& regions, float x, float y) {
  for (auto it = regions.rbegin(); it != regions.rend(); ++it) {
    const Rect& r = it->rect;
    if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) return &*it;
  }
  return nullptr;
}

const HitRegion* HitTestClientPixels(int x, int y) {
  const float scale = g_setup.dpiScale > 0 ? g_setup.dpiScale : 1.0f;
  return HitTest(g_hitRegions, static_cast<float>(x) / scale, static_cast<float>(y) / scale);
}

static Rect Grow(Rect r, float by) { return Rect{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

void DrawPanel(Rect rect) {
  FillRect(PanelEdge, 0.55f, Grow(rect, 1));
  float w = 0, h = 0;
  if (ImageSize(ImageStone, w, h))
    DrawImage(ImageStone, rect, 0.96f);
  else
    FillRect(PanelFallback, 0.96f, rect);
  FillRect(PanelTint, 0.42f, rect);
  StrokeFrame(FrameColour, 1.0f, rect);
}

void DrawCard(bool highlighted, Rect rect) {
  FillRect(FieldColour, 0.95f, rect);
  StrokeFrame(highlighted ? GoldColour : ControlFrameColour, 1.0f, rect);
}

void DrawPageHeader(const std::wstring& title, const std::wstring& subtitle, Subtitle kind) {
  const Rect subtitleRect{282, 122, 850, 170};
  DrawTextIn(title, TitleText, TitleColour, AlignLeading, AlignNear, 1.0f, Rect{282, 64, 850, 104});
  FillRect(GoldColour, 1.0f, Rect{282, 108, 338, 110});
  DrawTextIn(subtitle, BodyText, MutedColour, AlignLeading, AlignNear, 1.0f, subtitleRect);
  AddAccessText(title, Rect{282, 64, 850, 104});
  if (kind == Subtitle::Status)
    AddAccessStatus(subtitle, subtitleRect);
  else if (kind == Subtitle::Alert)
    AddAccessAlert(subtitle, subtitleRect);
  else
    AddAccessText(subtitle, subtitleRect);
}

void NineSlice(float w, float h, Rect d, SlicePart parts[9]) {
  const float sx[4] = {0, 6, w - 6, w};
  const float sy[4] = {0, 6, h - 6, h};
  const float dx[4] = {d.left, d.left + 6, d.right - 6, d.right};
  const float dy[4] = {d.top, d.top + 6, d.bottom - 6, d.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      parts[row * 3 + col] = SlicePart{Rect{sx[col], sy[row], sx[col + 1], sy[row + 1]},
                                       Rect{dx[col], dy[row], dx[col + 1], dy[row + 1]}};
    }
  }
}

void DrawButton(int32_t id, const std::wstring& caption, bool isDefault, bool enabled, Rect rect) {
  const bool hovered = g_ui.hoverId == id && enabled;
  const bool pressed = hovered && g_ui.pressedId == id;
  ImageId face = ImageButtonNormal;
  if (!enabled || pressed)
    face = ImageButtonPressed;
  else if (hovered)
    face = ImageButtonHover;
  const float opacity = enabled ? 1.0f : 0.6f;

  float w = 0, h = 0;
  if (ImageSize(face, w, h)) {
    SlicePart parts[9];
    NineSlice(w, h, rect, parts);
    for (const SlicePart& part : parts) DrawImage(face, part.dest, opacity, &part.source);
  } else {
    FillRect(PanelFallback, 1.0f, rect);
    // Without the face picture (high contrast) the button needs its outline.
    if (HighContrast()) StrokeFrame(enabled ? FrameColour : DimColour, 1.0f, rect);
  }
  if (isDefault && enabled)
    StrokeFrame(GoldColour, hovered ? 0.55f : 0.30f, Grow(rect, -4));
  uint32_t colour = LabelColour;
  if (!enabled)
    colour = DimColour;
  else if (isDefault || hovered)
    colour = HighlightColour;
  DrawTextIn(caption, ButtonText, colour, AlignCentre, AlignMiddle, 1.0f, rect);
  AddHitRegion(id, rect, enabled, -1);
  AddAccessControl(RolePushButton, id, caption, rect, enabled).isDefault = isDefault;
}

void DrawCheckBox(int32_t id, const std::wstring& label, bool checked, float x, float y, float width) {
  const bool hovered = g_ui.hoverId == id;
  const Rect box{x, y + 3, x + 18, y + 21};
  FillRect(FieldColour, 1.0f, box);
  StrokeFrame(hovered ? GoldColour : ControlFrameColour, 1.0f, box);
  if (checked) DrawGlyph(GlyphCheckMark, IconText, HighlightColour, 1.0f, box);
  DrawTextIn(label, BodyText, hovered ? HighlightColour : LabelColour, AlignLeading, AlignMiddle, 1.0f,
             Rect{x + 28, y, x + width, y + 24});
  AddHitRegion(id, Rect{x, y, x + width, y + 24}, true, -1);
  AddAccessControl(RoleCheckBox, id, label, Rect{x, y, x + width, y + 24}, true).checked = checked;
}

float ProgressFillWidth(double fraction, float left, float right) {
  double f = fraction;
  if (!(f >= 0.0)) f = 0.0;  // NaN counts as empty
  if (f > 1.0) f = 1.0;
  return static_cast<float>(f * ((right - left) - 2.0));
}

float ShineLeft(float animPhase, float fillWidth, float fillLeft) {
  return std::fmod(animPhase * 170.0f, fillWidth + 120.0f) + fillLeft - 120.0f;
}

void DrawProgressBar(uint32_t startColour, uint32_t endColour, double fraction, bool animated, Rect rect,
                     const std::wstring& name) {
  FillRect(TrackColour, 1.0f, rect);
  const float w = ProgressFillWidth(fraction, rect.left, rect.right);
  if (w > 0.5f) {
    const Rect inner{rect.left + 1, rect.top + 1, rect.left + 1 + w, rect.bottom - 1};
    FillHorizontalGradient(startColour, 1.0f, endColour, 1.0f, inner);
    FillRect(WhiteColour, 0.14f, Rect{inner.left, inner.top, inner.right,
                                      inner.top + (inner.bottom - inner.top) * 0.45f});
    if (animated) {
      DrawShine(inner, ShineLeft(g_ui.animPhase, w, inner.left));
    }
  }
  StrokeFrame(FrameColour, 1.0f, rect);
  AddAccessControl(RoleProgressBar, 0, name, rect, true).text = FormatPercent(fraction);
}

void DrawSideBar(SetupPage shown) {
  const int32_t page = static_cast<int32_t>(shown);
  DrawPanel(Rect{20, 20, 236, 540});
  float w = 0, h = 0;
  if (ImageSize(ImageLogo, w, h)) {
    const float width = w * 150.0f / h;
    DrawImage(ImageLogo, Rect{128 - width / 2, 34, 128 + width / 2, 184}, 1.0f);
  }
  if (shown >= SetupPage::UninstallConfirm) return;
  const int names[5] = {StepWelcome, StepFolder, StepSummary, StepInstalling, StepFinished};
  for (int i = 0; i < 5; ++i) {
    const float cy = 210.0f + 56.0f * i;
    const bool done = i < page, current = i == page;
    if (i < 4) FillRect(done ? GoldColour : FrameColour, 1.0f, Rect{57, cy + 15, 59, cy + 41});
    if (current)
      FillCircle(58, cy, 14, GoldColour, 1.0f);
    else if (done)
      FillCircle(58, cy, 14, GoldColour, 0.28f);
    else
      FillCircle(58, cy, 14, FieldColour, 1.0f);
    StrokeCircle(58, cy, 14, (current || done) ? GoldColour : FrameColour, 1.0f, 1.0f);
    const Rect badge{44, cy - 14, 72, cy + 14};
    if (done)
      DrawGlyph(GlyphCheckMark, IconText, HighlightColour, 1.0f, badge);
    else
      DrawTextIn(std::to_wstring(i + 1), SmallText, current ? StepNumberOnGold : MutedColour, AlignCentre,
                 AlignMiddle, 1.0f, badge);
    const uint32_t colour = current ? HighlightColour : done ? LabelColour : MutedColour;
    DrawTextIn(InstallerString(names[i]), StepText, colour, AlignLeading, AlignMiddle, 1.0f,
               Rect{84, cy - 14, 224, cy + 14});
  }
}

void DrawTitleButtons(bool closeWorks, bool pageHasClose) {
  const Rect minimise{812, 26, 842, 54};
  const Rect close{844, 26, 874, 54};
  if (g_ui.hoverId == IdMinimise) FillRect(GoldColour, 0.16f, minimise);
  if (g_ui.hoverId == IdClose) FillRect(BadColour, 0.6f, close);
  DrawGlyph(GlyphMinimise, IconText, LabelColour, 1.0f, minimise);
  DrawGlyph(GlyphClose, IconText, LabelColour, 1.0f, close);
  AddHitRegion(IdMinimise, minimise, true, -1);
  AddHitRegion(IdClose, close, true, -1);
  AddAccessControl(RolePushButton, IdMinimise, InstallerString(MinimiseButton), minimise, true);
  if (!pageHasClose) AddAccessControl(RolePushButton, IdClose, InstallerString(CloseButton), close, closeWorks);
}

void DrawLanguageSelector() {
  const Rect card = kLanguageBoxRect;
  DrawCard(g_ui.hoverId == IdLanguageSelector || g_ui.languageListOpen, card);
  DrawTextIn(InstallerLanguageName(g_installerLanguage.load()), BodyText, LabelColour, AlignLeading,
             AlignMiddle, 1.0f, Rect{card.left + 12, card.top, card.right - 30, card.bottom});
  DrawGlyph(GlyphChevronDown, IconText, GoldColour, 1.0f, Rect{card.right - 30, card.top, card.right, card.bottom});
  AddHitRegion(IdLanguageSelector, card, true, -1);
  AddAccessControl(RoleComboBox, IdLanguageSelector, InstallerString(GameLanguageLabel), card, true);
}

Rect LanguageRowRect(int32_t i) {
  const float top = kLanguageListRect.top + 1 + kLanguageRowHeight * i;
  return Rect{kLanguageListRect.left + 1, top, kLanguageListRect.right - 1, top + kLanguageRowHeight};
}

void DrawLanguageList() {
  AddHitRegion(IdOverlay, Rect{0, 0, kCanvasWidth, kCanvasHeight}, true, -1);
  FillRect(ListColour, 1.0f, kLanguageListRect);
  StrokeFrame(DarkGoldColour, 1.0f, kLanguageListRect);
  AddAccessControl(RoleList, 0, InstallerString(GameLanguageLabel), kLanguageListRect, true);
  const int32_t current = g_installerLanguage.load();
  for (int32_t i = 0; i < kInstallerLanguageCount; ++i) {
    const Rect row = LanguageRowRect(i);
    const bool keyed = g_ui.listHighlight == i;
    if ((g_ui.hoverId == IdLanguageItem && g_ui.hoverValue == i) || keyed) FillRect(GoldColour, 0.16f, row);
    if (keyed && g_ui.focusVisible) StrokeFrame(GoldColour, 1.0f, row, kFocusFrameWidth);
    DrawTextIn(InstallerLanguageName(i), BodyText, i == current ? HighlightColour : LabelColour,
               AlignLeading, AlignMiddle, 1.0f, Rect{row.left + 12, row.top, row.right - 28, row.bottom});
    if (i == current)
      DrawGlyph(GlyphCheckMark, IconText, HighlightColour, 1.0f, Rect{row.right - 28, row.top, row.right, row.bottom});
    AddHitRegion(IdLanguageItem, row, true, i);
    AccessItem& item = AddAccessControl(RoleListItem, IdLanguageItem, InstallerLanguageName(i), row, true);
    item.value = i;
    item.selected = i == current;
    item.inList = true;
  }
}
