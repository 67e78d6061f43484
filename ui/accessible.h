#pragma once
// What a screen reader sees of the painted wizard: the controls and texts of the last paint,
// answered as one MSAA IAccessible object (its children are simple elements) on WM_GETOBJECT,
// and the window events that tell readers about focus, page, value and state changes.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/draw.h"

// MSAA roles used by the wizard (the ROLE_SYSTEM_* values).
enum AccessRole : int32_t {
  RoleAlert = 0x08,
  RoleList = 0x21,
  RoleStaticText = 0x29,
  RoleEditableText = 0x2A,
  RolePushButton = 0x2B,
  RoleCheckBox = 0x2C,
  RoleComboBox = 0x2E,
  RoleListItem = 0x22,
  RoleProgressBar = 0x30,
};

// One element of the last paint as readers see it.
struct AccessItem {
  int32_t role = RoleStaticText;  // 0: the catcher under an overlay (hides what it covers)
  int32_t id = 0;                 // control id; 0 for text
  int32_t value = -1;             // language index for language rows
  std::wstring name;              // the text drawn, in the current language
  std::wstring text;              // value: a progress percentage, the folder box's contents
  Rect rect;
  bool enabled = true;
  bool checked = false;
  bool selected = false;
  bool isDefault = false;
  bool inList = false;  // a row of the open language list: a child of the list element
  bool live = false;    // a status: readers hear it when it appears or changes (a name change)
};

// The object id under which the open language list answers WM_GETOBJECT, so that events about
// its rows name the list as their parent.
constexpr LONG kLanguageListObject = 1;

// The elements of the last paint in paint order (emptied with the hit list).
extern std::vector<AccessItem> g_accessItems;
void ClearAccessItems();
// Records a text; an empty one only with keepEmpty (a value that comes and goes while the page is
// shown, so that the elements after it keep their numbers).
void AddAccessText(const std::wstring& text, Rect rect, bool keepEmpty = false);
// Records a status text (what the run is doing, that it is paused): readers hear it whenever it
// changes while the page is shown; an empty one records nothing.
void AddAccessStatus(const std::wstring& text, Rect rect);
// Records a control; returns it for the optional fields.
AccessItem& AddAccessControl(int32_t role, int32_t id, const std::wstring& name, Rect rect, bool enabled);
// Records a message that readers are to hear as soon as it appears or changes (an error line,
// the cancel question); an empty text records nothing.
void AddAccessAlert(const std::wstring& text, Rect rect);
// The elements a reader is offered: above the topmost open overlay only, catchers and the rows
// of the language list (children of the list element) left out.
std::vector<const AccessItem*> AccessChildren();
// The rows of the open language list, in order; empty while it is closed.
std::vector<const AccessItem*> AccessListRows();
// True if the keyboard can move to the element (Tab, or the arrows in the open list).
bool KeyboardReaches(const AccessItem& item);

// Gives the folder box (a native edit, which would take its name from a label window the wizard
// does not have) the caption "Installation folder" of the current language for readers. False
// where the system does not take such names (Wine).
bool NameFolderField();
// WM_GETOBJECT: the wizard's IAccessible for OBJID_CLIENT, the language list's for
// kLanguageListObject while it is open; 0 (let the system answer) otherwise or when oleacc
// cannot be loaded from the system folder.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);
// After a paint: raises the events for what changed since the previous paint (page, focus,
// check boxes, progress values, a status or the focused control's name, a new or changed alert).
void AnnounceChanges(HWND window);
