// Keyboard use of the painted wizard. The focus order comes from the hit regions of the last
// paint, so it always matches what is on screen; the folder box is the one real child window.
#include "ui/focus.h"

#include <algorithm>

#include "app/languages.h"
#include "app/setup_state.h"
#include "ui/pages.h"
#include "ui/window.h"

namespace {

WNDPROC s_fieldProc = nullptr;

bool IsPushButton(int32_t id) {
  switch (id) {
    case IdBack: case IdPrimary: case IdCancel: case IdBrowse: case IdTryAgain:
    case IdConfirmYes: case IdConfirmNo: case IdPause:
      return true;
    default:
      return false;
  }
}

bool IsCheckBox(int32_t id) { return id >= IdDesktopShortcut && id <= IdKeepUserData; }

bool TakesFocus(int32_t id) { return IsPushButton(id) || IsCheckBox(id) || id == IdLanguageSelector; }

bool FolderFieldShown() {
  return g_folderField && PaintedPage(g_setup.page) == SetupPage::Folder && (GetWindowLongW(g_folderField, GWL_STYLE) & WS_VISIBLE);
}

// The regions above the topmost overlay catcher (all of them when there is none).
size_t FirstOnTop() {
  size_t first = 0;
  for (size_t i = 0; i < g_hitRegions.size(); ++i)
    if (g_hitRegions[i].id == IdOverlay) first = i + 1;
  return first;
}

// Moves the focus to id. The folder box reached with Tab has its text selected, as native edit
// boxes do; opened with its page it keeps its look, the caret after the text.
void Focus(HWND window, int32_t id, bool selectAll) {
  g_ui.focusId = id;
  if (id == kFolderFieldId && g_folderField) {
    SetFocus(g_folderField);
    const LPARAM length = GetWindowTextLengthW(g_folderField);
    SendMessageW(g_folderField, EM_SETSEL, selectAll ? 0 : length, length);
  } else if (window && GetFocus() != window) {
    SetFocus(window);
  }
  Redraw();
}

void MoveFocus(HWND window, int step) {
  const std::vector<FocusStop> order = FocusOrder();
  if (order.empty()) return;
  const FocusStop now = CurrentFocus();
  const int n = static_cast<int>(order.size());
  int at = -1;
  for (int i = 0; i < n; ++i)
    if (order[i].id == now.id) at = i;
  const int next = at < 0 ? (step > 0 ? 0 : n - 1) : (at + step + n) % n;
  if (g_ui.confirmOpen) {
    g_ui.confirmFocus = order[next].id;
    Redraw();
  } else {
    Focus(window, order[next].id, true);
  }
}

void OpenList() {
  g_ui.languageListOpen = true;
  g_ui.listHighlight = g_installerLanguage.load();
  Redraw();
}

void Highlight(int32_t row) {
  g_ui.listHighlight = std::clamp<int32_t>(row, 0, kInstallerLanguageCount - 1);
  Redraw();
}

// The next language after the highlighted one whose name starts with ch (accents and case
// ignored, so "c" finds "Čeština"); -1 if none.
int32_t LanguageByLetter(wchar_t ch) {
  for (int32_t step = 1; step <= kInstallerLanguageCount; ++step) {
    const int32_t from = g_ui.listHighlight >= 0 ? g_ui.listHighlight : g_installerLanguage.load();
    const int32_t i = (from + step) % kInstallerLanguageCount;
    const wchar_t* name = InstallerLanguageName(i);
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE | NORM_IGNORENONSPACE, &ch, 1, name, 1) == CSTR_EQUAL)
      return i;
  }
  return -1;
}

bool ListKey(HWND window, WPARAM key) {
  const int32_t row = g_ui.listHighlight >= 0 ? g_ui.listHighlight : g_installerLanguage.load();
  const bool alt = GetKeyState(VK_MENU) < 0;
  switch (key) {
    case VK_UP:
      if (alt) break;
      Highlight(row - 1);
      return true;
    case VK_DOWN: Highlight(row + 1); return true;
    case VK_HOME: case VK_PRIOR: Highlight(0); return true;
    case VK_END: case VK_NEXT: Highlight(kInstallerLanguageCount - 1); return true;
    case VK_RETURN: case VK_SPACE:
      g_ui.listHighlight = -1;
      PressControl(IdLanguageItem, row);
      g_ui.focusId = IdLanguageSelector;
      return true;
    case VK_TAB:
      g_ui.listHighlight = -1;
      CloseLanguageList();
      MoveFocus(window, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
      return true;
    default:
      break;
  }
  if (key == VK_ESCAPE || key == VK_F4 || (alt && key == VK_UP)) {
    g_ui.listHighlight = -1;
    CloseLanguageList();
    g_ui.focusId = IdLanguageSelector;
    Redraw();
    return true;
  }
  return true;  // the open list takes every key
}

bool QuestionKey(HWND window, WPARAM key) {
  switch (key) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
      g_ui.confirmFocus = CurrentFocus().id == IdConfirmNo ? IdConfirmYes : IdConfirmNo;
      Redraw();
      return true;
    case VK_TAB: MoveFocus(window, GetKeyState(VK_SHIFT) < 0 ? -1 : 1); return true;
    case VK_RETURN: case VK_SPACE: {
      const int32_t button = CurrentFocus().id;
      g_ui.confirmFocus = 0;  // the next question starts on No again
      PressControl(button, -1);
      return true;
    }
    case VK_ESCAPE:
      g_ui.confirmFocus = 0;
      PressControl(IdConfirmNo, -1);
      return true;
    default: return true;  // the question takes every key
  }
}

}  // namespace

std::vector<FocusStop> FocusOrder() {
  std::vector<FocusStop> order;
  if (!g_ui.confirmOpen && FolderFieldShown()) order.push_back(FocusStop{kFolderFieldId, -1, kFolderFieldRect});
  for (size_t i = g_ui.confirmOpen ? FirstOnTop() : 0; i < g_hitRegions.size(); ++i) {
    const HitRegion& r = g_hitRegions[i];
    if (r.id == IdOverlay) break;
    if (r.enabled && TakesFocus(r.id)) order.push_back(FocusStop{r.id, r.value, r.rect});
  }
  return order;
}

FocusStop CurrentFocus() {
  if (g_ui.languageListOpen) {
    if (g_ui.listHighlight >= 0) return FocusStop{IdLanguageItem, g_ui.listHighlight, LanguageRowRect(g_ui.listHighlight)};
    return FocusStop{};
  }
  const int32_t wanted = g_ui.confirmOpen ? (g_ui.confirmFocus ? g_ui.confirmFocus : IdConfirmNo) : g_ui.focusId;
  if (wanted == 0) return FocusStop{};
  for (const FocusStop& stop : FocusOrder())
    if (stop.id == wanted) return stop;
  return FocusStop{};
}

bool HasFocus(int32_t id, int32_t value) {
  const FocusStop now = CurrentFocus();
  return now.id != 0 && now.id == id && (id != IdLanguageItem || now.value == value);
}

int32_t DefaultButton() {
  const size_t first = FirstOnTop();
  int32_t found = 0;
  for (size_t i = first; i < g_hitRegions.size(); ++i) {
    const HitRegion& r = g_hitRegions[i];
    if (!r.enabled) continue;
    if (r.id == IdConfirmNo || r.id == IdTryAgain || r.id == IdPrimary) found = r.id;
  }
  return found;
}

bool HandleKey(HWND window, WPARAM key) {
  if (g_setup.silent) return false;
  if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return false;
  // As in native windows, the focus mark appears once the keyboard is used to move around or to
  // press, so that the control a new page focuses shows where the keys now act.
  const bool moves = key == VK_TAB || key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN ||
                     key == VK_RETURN || key == VK_SPACE;
  if (moves && !g_ui.focusVisible) {
    g_ui.focusVisible = true;
    Redraw();
  }
  if (g_ui.languageListOpen) return ListKey(window, key);
  if (g_ui.confirmOpen) return QuestionKey(window, key);
  const FocusStop now = CurrentFocus();
  const bool alt = GetKeyState(VK_MENU) < 0;
  switch (key) {
    case VK_ESCAPE:
      PressControl(IdClose, -1);
      return true;
    case VK_TAB:
      MoveFocus(window, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
      return true;
    case VK_RETURN:
      // As in native dialogs: a focused push button is pressed, else the default one.
      if (IsPushButton(now.id))
        PressControl(now.id, -1);
      else if (const int32_t button = DefaultButton())
        PressControl(button, -1);
      return true;
    case VK_SPACE:
      if (IsPushButton(now.id) || IsCheckBox(now.id))
        PressControl(now.id, -1);
      else if (now.id == IdLanguageSelector)
        OpenList();
      return true;
    case VK_F4:
    case VK_UP: case VK_DOWN: case VK_HOME: case VK_END:
      if (now.id == IdLanguageSelector) {
        OpenList();
        if (key != VK_F4 && !alt) ListKey(window, key);
        return true;
      }
      if (key == VK_UP || key == VK_DOWN) MoveFocus(window, key == VK_UP ? -1 : 1);
      return true;
    case VK_LEFT: case VK_RIGHT:
      MoveFocus(window, key == VK_LEFT ? -1 : 1);
      return true;
    default:
      return false;
  }
}

bool HandleChar(HWND, wchar_t ch) {
  if (g_setup.silent || ch < L' ') return false;
  if (g_ui.confirmOpen) {
    // Y and N, and the first letters of the question's two buttons in the current language.
    const wchar_t yes = InstallerString(YesButton)[0], no = InstallerString(NoButton)[0];
    auto is = [ch](wchar_t letter) {
      return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, &ch, 1, &letter, 1) == CSTR_EQUAL;
    };
    int32_t button = 0;
    if (is(L'y') || (is(yes) && !is(no))) button = IdConfirmYes;
    else if (is(L'n') || is(no)) button = IdConfirmNo;
    if (button) {
      g_ui.confirmFocus = 0;
      PressControl(button, -1);
    }
    return true;
  }
  const bool onSelector = g_ui.languageListOpen || CurrentFocus().id == IdLanguageSelector;
  if (!onSelector) return false;
  const int32_t row = LanguageByLetter(ch);
  if (row < 0) return true;
  if (!g_ui.languageListOpen) OpenList();
  Highlight(row);
  return true;
}

bool RestoreFocusOnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE || HIWORD(wParam) || g_ui.focusId != kFolderFieldId || !FolderFieldShown())
    return false;
  SetFocus(g_folderField);
  return true;
}

void PlacePageFocus() {
  g_ui.listHighlight = -1;
  g_ui.confirmFocus = 0;
  HWND window = g_setup.mainWindow;
  if (FolderFieldShown()) {
    Focus(window, kFolderFieldId, false);
    return;
  }
  g_ui.focusId = 0;
  if (window && g_folderField && GetFocus() == g_folderField) SetFocus(window);
}

int32_t PageFocusControl(SetupPage page) {
  switch (page) {
    case SetupPage::Installing: return IdCancel;  // Pause, Try again and Cancel come and go; Cancel stays
    case SetupPage::Uninstalling: return 0;
    default: return IdPrimary;
  }
}

void NoteClickFocus(const HitRegion* region) {
  g_ui.confirmFocus = 0;
  g_ui.listHighlight = -1;
  if (region && region->enabled && TakesFocus(region->id))
    g_ui.focusId = region->id;
  else if (g_ui.focusId == kFolderFieldId)
    g_ui.focusId = 0;
}

void DrawFocusMark() {
  if (!g_ui.focusVisible || g_ui.languageListOpen) return;  // the open list shows its own highlight
  const FocusStop now = CurrentFocus();
  if (now.id == 0) return;
  if (now.id == kFolderFieldId) {
    StrokeFrame(GoldColour, 1.0f, now.rect, kFocusFrameWidth);
    return;
  }
  const float grow = IsCheckBox(now.id) ? 3.0f : 2.0f;
  const Rect r = now.rect;
  StrokeFrame(GoldColour, 1.0f, Rect{r.left - grow, r.top - grow, r.right + grow, r.bottom + grow}, kFocusFrameWidth);
}

static LRESULT CALLBACK FolderFieldProc(HWND field, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wParam == VK_TAB || wParam == VK_RETURN || wParam == VK_ESCAPE) {
        HandleKey(GetParent(field), wParam);
        return 0;
      }
      break;
    case WM_CHAR:
      // The keys above would otherwise beep or type a control character.
      if (wParam == L'\t' || wParam == L'\r' || wParam == 0x1B || wParam == L'\n') return 0;
      break;
    case WM_SETFOCUS:
      g_ui.focusId = kFolderFieldId;
      Redraw();
      break;
    default:
      break;
  }
  return CallWindowProcW(s_fieldProc, field, msg, wParam, lParam);
}

void ForwardFolderFieldKeys() {
  const LONG_PTR ours = reinterpret_cast<LONG_PTR>(FolderFieldProc);
  if (!g_folderField || GetWindowLongPtrW(g_folderField, GWLP_WNDPROC) == ours) return;
  s_fieldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(g_folderField, GWLP_WNDPROC, ours));
}
