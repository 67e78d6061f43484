// The Folder page's native text box: the only child window of the wizard.
#include "install/folder.h"
#include "app/setup_state.h"
#include "ui/accessible.h"
#include "ui/focus.h"
#include "ui/widgets.h"
#include "ui/window.h"

HWND g_folderField = nullptr;
static HBRUSH s_fieldBrush = nullptr;
static HFONT s_fieldFont = nullptr;

void CreateFolderField(HWND parent, const wchar_t* fontFace) {
  s_fieldBrush = CreateSolidBrush(RGB(0x15, 0x10, 0x0D));
  g_folderField = CreateWindowExW(0, L"EDIT", g_setup.installDir.c_str(), WS_CHILD | ES_AUTOHSCROLL,
                                  0, 0, 10, 10, parent, reinterpret_cast<HMENU>(kFolderFieldId),
                                  GetModuleHandleW(nullptr), nullptr);
  if (!g_folderField) return;
  RescaleFolderField(fontFace);
  SendMessageW(g_folderField, EM_SETLIMITTEXT, 180, 0);
  ForwardFolderFieldKeys();
}

void RescaleFolderField(const wchar_t* fontFace) {
  if (!g_folderField) return;
  HFONT font = CreateFontW(-static_cast<int>(g_setup.dpiScale * 14), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                           DEFAULT_PITCH, fontFace);
  if (!font) return;
  SendMessageW(g_folderField, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (s_fieldFont) DeleteObject(s_fieldFont);
  s_fieldFont = font;
}

HBRUSH FolderFieldBrush() { return s_fieldBrush; }

std::wstring ReadFolderField() {
  if (!g_folderField) return {};
  int length = GetWindowTextLengthW(g_folderField);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(g_folderField, text.data(), length + 1);
  text.resize(wcslen(text.c_str()));
  return text;
}

void LayoutFolderField() {
  if (!g_folderField) return;
  if (g_setup.page != SetupPage::Folder) {
    ShowWindow(g_folderField, SW_HIDE);
    return;
  }
  const float s = g_setup.dpiScale;
  MoveWindow(g_folderField, static_cast<int>(s * 292), static_cast<int>(s * 232),
             static_cast<int>(s * 418), static_cast<int>(s * 20), TRUE);
  // Rewriting an equal text would move the caret and fire a needless change notification.
  if (NormalizeInstallPath(ReadFolderField()) != NormalizeInstallPath(g_setup.installDir))
    SetWindowTextW(g_folderField, g_setup.installDir.c_str());
  NameFolderField();
  ShowWindow(g_folderField, SW_SHOW);
}
