// MSAA for the painted wizard. One IAccessible answers for the client area; its children are
// simple elements numbered 1..n in paint order, read from what the last paint recorded, so a
// reader always hears what is on screen. oleacc comes from the system folder only.
#include "ui/accessible.h"

#include <oleacc.h>

#include <algorithm>

#include "app/languages.h"
#include "app/setup_state.h"
#include "support/handles.h"
#include "support/system_library.h"
#include "ui/focus.h"
#include "ui/pages.h"
#include "ui/widgets.h"
#include "ui/window.h"

std::vector<AccessItem> g_accessItems;

void ClearAccessItems() { g_accessItems.clear(); }

void AddAccessText(const std::wstring& text, Rect rect, bool keepEmpty) {
  if (text.empty() && !keepEmpty) return;
  AccessItem item;
  item.name = text;
  item.rect = rect;
  g_accessItems.push_back(std::move(item));
}

void AddAccessStatus(const std::wstring& text, Rect rect) {
  if (text.empty()) return;
  AccessItem item;
  item.name = text;
  item.rect = rect;
  item.live = true;
  g_accessItems.push_back(std::move(item));
}

AccessItem& AddAccessControl(int32_t role, int32_t id, const std::wstring& name, Rect rect, bool enabled) {
  AccessItem item;
  item.role = role;
  item.id = id;
  item.name = name;
  item.rect = rect;
  item.enabled = enabled;
  g_accessItems.push_back(std::move(item));
  return g_accessItems.back();
}

void AddAccessAlert(const std::wstring& text, Rect rect) {
  if (text.empty()) return;
  AddAccessControl(RoleAlert, 0, text, rect, true);
}

std::vector<const AccessItem*> AccessChildren() {
  size_t first = 0;
  for (size_t i = 0; i < g_accessItems.size(); ++i)
    if (g_accessItems[i].role == 0) first = i + 1;
  std::vector<const AccessItem*> children;
  for (size_t i = first; i < g_accessItems.size(); ++i)
    if (!g_accessItems[i].inList) children.push_back(&g_accessItems[i]);
  return children;
}

std::vector<const AccessItem*> AccessListRows() {
  std::vector<const AccessItem*> rows;
  for (const AccessItem& item : g_accessItems)
    if (item.inList) rows.push_back(&item);
  return rows;
}

bool KeyboardReaches(const AccessItem& item) {
  if (item.id == 0 || !item.enabled) return false;
  if (item.inList) return g_ui.languageListOpen;
  for (const FocusStop& stop : FocusOrder())
    if (stop.id == item.id) return true;
  return false;
}

namespace {

using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);
using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);

BSTR Bstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

LONG StateOf(HWND window, const AccessItem& item) {
  LONG state = 0;
  if (!item.enabled) state |= STATE_SYSTEM_UNAVAILABLE;
  if (item.role == RoleStaticText || item.role == RoleProgressBar || item.role == RoleAlert)
    state |= STATE_SYSTEM_READONLY;
  if (KeyboardReaches(item)) state |= STATE_SYSTEM_FOCUSABLE;
  if (item.id == kFolderFieldId ? GetFocus() == g_folderField : (GetFocus() == window && HasFocus(item.id, item.value)))
    state |= STATE_SYSTEM_FOCUSED;
  if (item.checked) state |= STATE_SYSTEM_CHECKED;
  if (item.isDefault && item.enabled) state |= STATE_SYSTEM_DEFAULT;
  if (item.role == RoleListItem) state |= STATE_SYSTEM_SELECTABLE;
  if (item.selected) state |= STATE_SYSTEM_SELECTED;
  if (item.role == RoleComboBox)
    state |= STATE_SYSTEM_HASPOPUP | (g_ui.languageListOpen ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED);
  return state;
}

std::wstring DefaultActionOf(const AccessItem& item) {
  if (!item.enabled) return {};
  switch (item.role) {
    case RolePushButton: return InstallerString(ActionPress);
    case RoleCheckBox: return InstallerString(item.checked ? ActionUncheck : ActionCheck);
    case RoleComboBox: return InstallerString(g_ui.languageListOpen ? ActionClose : ActionOpen);
    case RoleListItem: return InstallerString(ActionChoose);
    default: return {};
  }
}

// The page's title, which names the whole client area.
std::wstring PageName() {
  for (const AccessItem& item : g_accessItems)
    if (item.role == RoleStaticText) return item.name;
  return {};
}

// The list element of the last paint, nullptr while the language list is closed.
const AccessItem* ListElement() {
  for (const AccessItem& item : g_accessItems)
    if (item.role == RoleList) return &item;
  return nullptr;
}

// The client area (list false) or the open language list (list true), whose children are the
// list's rows.
struct WizardAccessible final : IAccessible {
  LONG refs = 1;
  HWND window;
  bool list;
  WizardAccessible(HWND w, bool isList) : window(w), list(isList) {}

  std::vector<const AccessItem*> Items() const { return list ? AccessListRows() : AccessChildren(); }

  // The child a VARIANT names: nullptr for the object itself (CHILDID_SELF); ok false if invalid.
  const AccessItem* Child(const VARIANT& v, bool& ok) {
    ok = false;
    if (v.vt != VT_I4 || !IsWindow(window) || (list && !ListElement())) return nullptr;
    if (v.lVal == CHILDID_SELF) {
      ok = true;
      return nullptr;
    }
    const std::vector<const AccessItem*> children = Items();
    if (v.lVal < 1 || v.lVal > static_cast<LONG>(children.size())) return nullptr;
    ok = true;
    return children[v.lVal - 1];
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    auto create = SystemProc<CreateStdAccessibleObjectFn>(L"oleacc.dll", "CreateStdAccessibleObject");
    if (!create || !IsWindow(window)) return S_FALSE;
    if (list) {
      *parent = new WizardAccessible(window, false);
      return S_OK;
    }
    // The window (frame) object is the client's parent, as for native windows.
    return create(window, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(Items().size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT v, IDispatch** child) override {
    if (!child) return E_POINTER;
    *child = nullptr;
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok) return E_INVALIDARG;
    if (item && item->role == RoleList) {
      *child = new WizardAccessible(window, true);
      return S_OK;
    }
    return S_FALSE;  // simple elements: no objects of their own
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT v, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok) return E_INVALIDARG;
    const AccessItem* self = list ? ListElement() : nullptr;
    *name = Bstr(item ? item->name : self ? self->name : PageName());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT v, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok) return E_INVALIDARG;
    if (!item) return S_FALSE;
    if (item->id == kFolderFieldId) {
      *value = Bstr(ReadFolderField());
      return S_OK;
    }
    if (item->role == RoleComboBox) {
      *value = Bstr(InstallerLanguageName(g_installerLanguage.load()));
      return S_OK;
    }
    if (item->text.empty()) return S_FALSE;
    *value = Bstr(item->text);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override {
    if (text) *text = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT v, VARIANT* role) override {
    if (!role) return E_POINTER;
    VariantInit(role);
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = item ? item->role : list ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_CLIENT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT v, VARIANT* state) override {
    if (!state) return E_POINTER;
    VariantInit(state);
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok) return E_INVALIDARG;
    state->vt = VT_I4;
    if (list)
      state->lVal = item ? StateOf(window, *item) : 0;
    else
      state->lVal = item ? StateOf(window, *item) : (GetFocus() == window ? STATE_SYSTEM_FOCUSED : 0) | STATE_SYSTEM_FOCUSABLE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override {
    if (help) *help = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = -1;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* keys) override {
    if (keys) *keys = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    if (GetFocus() != window) return S_FALSE;
    const std::vector<const AccessItem*> children = Items();
    focus->vt = VT_I4;
    focus->lVal = CHILDID_SELF;
    for (size_t i = 0; i < children.size(); ++i) {
      const AccessItem& c = *children[i];
      // The focused row lies inside the list element.
      const bool inside = c.role == RoleList && CurrentFocus().id == IdLanguageItem;
      if (inside || (c.id != 0 && HasFocus(c.id, c.value))) focus->lVal = static_cast<LONG>(i + 1);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection) VariantInit(selection);
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT v, BSTR* action) override {
    if (!action) return E_POINTER;
    *action = nullptr;
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok) return E_INVALIDARG;
    const std::wstring text = item ? DefaultActionOf(*item) : std::wstring();
    if (text.empty()) return S_FALSE;
    *action = Bstr(text);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT v) override {
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok || !item || item->id == 0 || !item->enabled) return E_INVALIDARG;
    if (!(flags & SELFLAG_TAKEFOCUS)) return S_FALSE;
    g_ui.focusId = item->id;
    SetFocus(item->id == kFolderFieldId ? g_folderField : window);
    Redraw();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT v) override {
    if (!left || !top || !width || !height) return E_POINTER;
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok) return E_INVALIDARG;
    const AccessItem* self = list ? ListElement() : nullptr;
    const Rect r = item ? item->rect : self ? self->rect : Rect{0, 0, kCanvasWidth, kCanvasHeight};
    const float s = g_setup.dpiScale;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    *left = origin.x + static_cast<LONG>(r.left * s);
    *top = origin.y + static_cast<LONG>(r.top * s);
    *width = static_cast<LONG>(r.right * s) - static_cast<LONG>(r.left * s);
    *height = static_cast<LONG>(r.bottom * s) - static_cast<LONG>(r.top * s);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    VariantInit(end);
    bool ok = false;
    const AccessItem* item = Child(start, ok);
    if (!ok) return E_INVALIDARG;
    const LONG count = static_cast<LONG>(Items().size());
    LONG target = 0;
    if (!item && direction == NAVDIR_FIRSTCHILD) target = 1;
    else if (!item && direction == NAVDIR_LASTCHILD) target = count;
    else if (item && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN || direction == NAVDIR_RIGHT)) target = start.lVal + 1;
    else if (item && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP || direction == NAVDIR_LEFT)) target = start.lVal - 1;
    if (target < 1 || target > count) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = target;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    VariantInit(hit);
    POINT p{x, y};
    ScreenToClient(window, &p);
    RECT client{};
    GetClientRect(window, &client);
    if (!PtInRect(&client, p)) return S_FALSE;
    const float cx = p.x / g_setup.dpiScale, cy = p.y / g_setup.dpiScale;
    const std::vector<const AccessItem*> children = Items();
    hit->vt = VT_I4;
    hit->lVal = CHILDID_SELF;
    for (size_t i = children.size(); i-- > 0;) {
      const Rect& r = children[i]->rect;
      if (r.left <= cx && cx < r.right && r.top <= cy && cy < r.bottom) {
        hit->lVal = static_cast<LONG>(i + 1);
        break;
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT v) override {
    bool ok = false;
    const AccessItem* item = Child(v, ok);
    if (!ok || !item) return E_INVALIDARG;
    if (!item->enabled || DefaultActionOf(*item).empty()) return DISP_E_MEMBERNOTFOUND;
    PressControl(item->id, item->value);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }
};

}  // namespace

bool NameFolderField() {
  static const GUID kAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
  static const GUID kIAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
  static const GUID kNameProperty = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
  if (!g_folderField) return false;
  ComPtr<IAccPropServices> services;
  if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices, services.put_void())))
    return false;
  return SUCCEEDED(services->SetHwndPropStr(g_folderField, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                            kNameProperty, InstallerString(InstallFolderLabel)));
}

namespace {

// What the previous paint showed, to tell readers only about changes.
struct Shown {
  bool valid = false;
  SetupPage page = SetupPage::Welcome;
  bool confirmOpen = false;
  int32_t focusId = 0, focusValue = -1;
  std::wstring focusName;
  bool listOpen = false;
  std::vector<std::pair<int32_t, bool>> checks;
  std::vector<std::wstring> progress;
  std::vector<std::wstring> statuses;
  std::vector<std::wstring> alerts;
};
Shown s_shown;

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
  const LONG object_id = static_cast<LONG>(lParam);
  const bool list = object_id == kLanguageListObject && ListElement();
  if (object_id != OBJID_CLIENT && !list) return 0;
  auto toResult = SystemProc<LresultFromObjectFn>(L"oleacc.dll", "LresultFromObject");
  if (!toResult) return 0;
  auto* object = new WizardAccessible(window, list);
  const LRESULT result = toResult(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object));
  object->Release();
  return result;
}

void AnnounceChanges(HWND window) {
  const std::vector<const AccessItem*> children = AccessChildren();
  Shown now;
  now.valid = true;
  now.page = PaintedPage(g_setup.page);
  now.confirmOpen = g_ui.confirmOpen;
  now.listOpen = g_ui.languageListOpen;
  const FocusStop focus = CurrentFocus();
  now.focusId = focus.id;
  now.focusValue = focus.value;
  const bool samePage = s_shown.valid && now.page == s_shown.page && now.confirmOpen == s_shown.confirmOpen;
  LONG comboChild = 0, focusChild = CHILDID_SELF;
  std::vector<LONG> statusChildren, alertChildren;
  for (size_t i = 0; i < children.size(); ++i) {
    const AccessItem& item = *children[i];
    const LONG child = static_cast<LONG>(i + 1);
    if (item.role == RoleCheckBox) {
      now.checks.emplace_back(item.id, item.checked);
      for (const auto& [id, checked] : s_shown.checks)
        if (id == item.id && checked != item.checked && now.page == s_shown.page)
          NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, child);
    }
    if (item.role == RoleProgressBar) {
      const size_t k = now.progress.size();
      now.progress.push_back(item.text);
      if (now.page == s_shown.page && k < s_shown.progress.size() && s_shown.progress[k] != item.text)
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, child);
    }
    if (item.role == RoleComboBox) comboChild = child;
    if (item.id != 0 && item.id == now.focusId) {
      focusChild = child;
      now.focusName = item.name;
    }
    // A status is heard when it changes on the page; one that appears with a new page is read
    // with the page.
    if (item.live) {
      const size_t k = now.statuses.size();
      now.statuses.push_back(item.name);
      if (samePage && (k >= s_shown.statuses.size() || s_shown.statuses[k] != item.name))
        statusChildren.push_back(child);
    }
    // Each alert once, as it appears or changes.
    if (item.role == RoleAlert &&
        std::find(now.alerts.begin(), now.alerts.end(), item.name) == now.alerts.end()) {
      now.alerts.push_back(item.name);
      if (std::find(s_shown.alerts.begin(), s_shown.alerts.end(), item.name) == s_shown.alerts.end())
        alertChildren.push_back(child);
    }
  }
  if (!s_shown.valid || now.page != s_shown.page || now.confirmOpen != s_shown.confirmOpen)
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
  if (comboChild && s_shown.valid && now.listOpen != s_shown.listOpen)
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, comboChild);
  // The folder box is a real control: the system reports its focus itself.
  const bool focusMoved = !s_shown.valid || now.focusId != s_shown.focusId || now.focusValue != s_shown.focusValue ||
                          now.page != s_shown.page;
  if (focusMoved && GetFocus() == window) {
    if (now.focusId == IdLanguageItem) {
      // Rows are the list's children: the event names the list, so a reader can say "2 of 11".
      NotifyWinEvent(EVENT_OBJECT_FOCUS, window, kLanguageListObject, now.focusValue + 1);
    } else {
      NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, focusChild);
    }
  } else if (!focusMoved && focusChild != CHILDID_SELF && now.focusName != s_shown.focusName &&
             GetFocus() == window) {
    // The focused button says something else now (Pause became Resume).
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, focusChild);
  }
  for (const LONG child : statusChildren) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, child);
  // After the focus, which readers announce first and which would cut the message short.
  for (const LONG child : alertChildren) NotifyWinEvent(EVENT_SYSTEM_ALERT, window, OBJID_CLIENT, child);
  s_shown = std::move(now);
}
