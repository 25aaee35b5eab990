#include "tests/e2e/accessible_fixture_objects.h"

#include <algorithm>
#include <utility>

namespace fixture {

const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

CallCounts& Counts() {
    static CallCounts counts;
    return counts;
}

namespace {

// The objects are served from the window's thread alone, as in a single-threaded apartment.
DWORD g_call_delay = 0;

const char* InterfaceName(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown)) {
        return "IUnknown";
    }
    if (IsEqualIID(iid, IID_IDispatch)) {
        return "IDispatch";
    }
    if (IsEqualIID(iid, kIidAccessible)) {
        return "IAccessible";
    }
    return "other";
}

}  // namespace

void Receive(const char* method) {
    CallCounts& counts = Counts();
    ++counts.calls;
    ++counts.by_method[method];
    if (g_call_delay > 0) {
        Sleep(g_call_delay);
    }
}

void SetCallDelay(DWORD milliseconds) {
    g_call_delay = milliseconds;
}

namespace {

bool Contains(const RECT& rect, LONG x, LONG y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

HRESULT NoText(BSTR* text) {
    if (text != nullptr) {
        *text = nullptr;
    }
    return DISP_E_MEMBERNOTFOUND;
}

// Out parameters are cleared before anything else: a stub marshals them whatever the call answers.
void Clear(VARIANT* value) {
    if (value != nullptr) {
        VariantInit(value);
    }
}

}  // namespace

DrawnObject::DrawnObject(HWND window, long role, std::wstring name, RECT rect, COLORREF colour)
    : window_(window), role_(role), name_(std::move(name)), rect_(rect), colour_(colour) {}

void DrawnObject::AddChild(DrawnObject& child) {
    child.parent_ = this;
    children_.push_back(&child);
}

void DrawnObject::AddSimpleChild(SimpleChild child) {
    simple_children_.push_back(std::move(child));
}

void DrawnObject::Remove() {
    if (removed_) {
        return;
    }
    removed_ = true;
    if (parent_ != nullptr) {
        auto& siblings = parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    // Every proxy other programs hold on this object now answers that it is disconnected.
    CoDisconnectObject(static_cast<IUnknown*>(this), 0);
}

void DrawnObject::RemoveSimpleChild(long id) {
    if (id >= 1 && static_cast<std::size_t>(id) <= simple_children_.size()) {
        simple_children_[static_cast<std::size_t>(id) - 1].removed = true;
    }
}

RECT DrawnObject::ScreenRect() const {
    RECT rect = rect_;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT DrawnObject::ScreenRectOf(const SimpleChild& child) const {
    RECT rect = child.rect;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HRESULT DrawnObject::Resolve(const VARIANT& child_id, int* index) const {
    *index = -1;
    if (removed_) {
        return CO_E_OBJNOTCONNECTED;
    }
    if (child_id.vt != VT_I4) {
        return E_INVALIDARG;
    }
    if (child_id.lVal == CHILDID_SELF) {
        return S_OK;
    }
    const long id = child_id.lVal;
    if (id < 1 || static_cast<std::size_t>(id) > simple_children_.size() ||
        simple_children_[static_cast<std::size_t>(id) - 1].removed) {
        return E_INVALIDARG;
    }
    *index = static_cast<int>(id - 1);
    return S_OK;
}

HRESULT DrawnObject::UnsupportedText(const char* method, const VARIANT& child_id, BSTR* text) const {
    Receive(method);
    int index = 0;
    const HRESULT resolved = Resolve(child_id, &index);
    NoText(text);
    return FAILED(resolved) ? resolved : DISP_E_MEMBERNOTFOUND;
}

HRESULT DrawnObject::QueryInterface(REFIID iid, void** object) {
    ++Counts().queries;
    ++Counts().queries_by_interface[InterfaceName(iid)];
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DrawnObject::AddRef() {
    ++Counts().add_refs;
    return ++references_;
}

ULONG DrawnObject::Release() {
    ++Counts().releases;
    return references_ > 1 ? --references_ : 1;
}

HRESULT DrawnObject::GetTypeInfoCount(UINT* count) {
    Receive("GetTypeInfoCount");
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT DrawnObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    Receive("GetTypeInfo");
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT DrawnObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    Receive("GetIDsOfNames");
    return E_NOTIMPL;
}

HRESULT DrawnObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    Receive("Invoke");
    Clear(result);
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT DrawnObject::get_accParent(IDispatch** parent) {
    Receive("get_accParent");
    if (parent == nullptr) {
        return E_POINTER;
    }
    *parent = nullptr;
    if (removed_) {
        return CO_E_OBJNOTCONNECTED;
    }
    if (parent_ != nullptr) {
        parent_->AddRef();
        *parent = static_cast<IAccessible*>(parent_);
        return S_OK;
    }
    // The client object's parent is the window's own object, as the system makes it.
    return CreateStdAccessibleObject(window_, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
}

HRESULT DrawnObject::get_accChildCount(LONG* count) {
    Receive("get_accChildCount");
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    if (removed_) {
        return CO_E_OBJNOTCONNECTED;
    }
    const auto simple = std::count_if(simple_children_.begin(), simple_children_.end(),
                                      [](const SimpleChild& child) { return !child.removed; });
    *count = static_cast<LONG>(children_.size() + static_cast<std::size_t>(simple));
    return S_OK;
}

HRESULT DrawnObject::get_accChild(VARIANT child_id, IDispatch** child) {
    Receive("get_accChild");
    if (child == nullptr) {
        return E_POINTER;
    }
    *child = nullptr;
    if (removed_) {
        return CO_E_OBJNOTCONNECTED;
    }
    if (child_id.vt != VT_I4) {
        return E_INVALIDARG;
    }
    // Object children by their place, 1 first; simple children have no object of their own.
    const long id = child_id.lVal;
    if (!children_.empty()) {
        if (id < 1 || static_cast<std::size_t>(id) > children_.size()) {
            return E_INVALIDARG;
        }
        DrawnObject* found = children_[static_cast<std::size_t>(id) - 1];
        found->AddRef();
        *child = static_cast<IAccessible*>(found);
        return S_OK;
    }
    int index = 0;
    const HRESULT resolved = Resolve(child_id, &index);
    if (FAILED(resolved) || index < 0) {
        return E_INVALIDARG;
    }
    return S_FALSE;
}

HRESULT DrawnObject::get_accName(VARIANT child_id, BSTR* name) {
    Receive("get_accName");
    if (name == nullptr) {
        return E_POINTER;
    }
    *name = nullptr;
    int index = 0;
    if (const HRESULT resolved = Resolve(child_id, &index); FAILED(resolved)) {
        return resolved;
    }
    const std::wstring& text = index < 0 ? name_ : simple_children_[static_cast<std::size_t>(index)].name;
    *name = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT DrawnObject::get_accValue(VARIANT child_id, BSTR* value) {
    return UnsupportedText("get_accValue", child_id, value);
}

HRESULT DrawnObject::get_accDescription(VARIANT child_id, BSTR* description) {
    return UnsupportedText("get_accDescription", child_id, description);
}

HRESULT DrawnObject::get_accRole(VARIANT child_id, VARIANT* role) {
    Receive("get_accRole");
    if (role == nullptr) {
        return E_POINTER;
    }
    Clear(role);
    int index = 0;
    if (const HRESULT resolved = Resolve(child_id, &index); FAILED(resolved)) {
        return resolved;
    }
    role->vt = VT_I4;
    role->lVal = index < 0 ? role_ : ROLE_SYSTEM_LISTITEM;
    return S_OK;
}

HRESULT DrawnObject::get_accState(VARIANT child_id, VARIANT* state) {
    Receive("get_accState");
    if (state == nullptr) {
        return E_POINTER;
    }
    Clear(state);
    int index = 0;
    if (const HRESULT resolved = Resolve(child_id, &index); FAILED(resolved)) {
        return resolved;
    }
    state->vt = VT_I4;
    state->lVal = index < 0 ? 0 : STATE_SYSTEM_SELECTABLE;
    return S_OK;
}

HRESULT DrawnObject::get_accHelp(VARIANT child_id, BSTR* help) {
    return UnsupportedText("get_accHelp", child_id, help);
}

HRESULT DrawnObject::get_accHelpTopic(BSTR* help_file, VARIANT, LONG* topic) {
    Receive("get_accHelpTopic");
    NoText(help_file);
    if (topic != nullptr) {
        *topic = 0;
    }
    return E_NOTIMPL;
}

HRESULT DrawnObject::get_accKeyboardShortcut(VARIANT child_id, BSTR* shortcut) {
    return UnsupportedText("get_accKeyboardShortcut", child_id, shortcut);
}

HRESULT DrawnObject::get_accFocus(VARIANT* focus) {
    Receive("get_accFocus");
    Clear(focus);
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT DrawnObject::get_accSelection(VARIANT* selection) {
    Receive("get_accSelection");
    Clear(selection);
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT DrawnObject::get_accDefaultAction(VARIANT child_id, BSTR* action) {
    return UnsupportedText("get_accDefaultAction", child_id, action);
}

HRESULT DrawnObject::accSelect(LONG, VARIANT) {
    Receive("accSelect");
    return E_NOTIMPL;
}

HRESULT DrawnObject::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child_id) {
    Receive("accLocation");
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
        return E_POINTER;
    }
    *left = *top = *width = *height = 0;
    int index = 0;
    if (const HRESULT resolved = Resolve(child_id, &index); FAILED(resolved)) {
        return resolved;
    }
    const RECT rect = index < 0 ? ScreenRect() : ScreenRectOf(simple_children_[static_cast<std::size_t>(index)]);
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
}

HRESULT DrawnObject::accNavigate(LONG, VARIANT, VARIANT* end) {
    Receive("accNavigate");
    Clear(end);
    return E_NOTIMPL;
}

// The direct child at the point: an object as VT_DISPATCH, a simple child by its id, or the object itself.
HRESULT DrawnObject::accHitTest(LONG x, LONG y, VARIANT* child_id) {
    Receive("accHitTest");
    if (child_id == nullptr) {
        return E_POINTER;
    }
    Clear(child_id);
    if (removed_) {
        return CO_E_OBJNOTCONNECTED;
    }
    if (!Contains(ScreenRect(), x, y)) {
        return S_FALSE;
    }
    for (DrawnObject* child : children_) {
        if (Contains(child->ScreenRect(), x, y)) {
            child->AddRef();
            child_id->vt = VT_DISPATCH;
            child_id->pdispVal = static_cast<IAccessible*>(child);
            return S_OK;
        }
    }
    for (std::size_t index = 0; index < simple_children_.size(); ++index) {
        const SimpleChild& child = simple_children_[index];
        if (!child.removed && Contains(ScreenRectOf(child), x, y)) {
            child_id->vt = VT_I4;
            child_id->lVal = static_cast<LONG>(index + 1);
            return S_OK;
        }
    }
    child_id->vt = VT_I4;
    child_id->lVal = CHILDID_SELF;
    return S_OK;
}

HRESULT DrawnObject::accDoDefaultAction(VARIANT child_id) {
    Receive("accDoDefaultAction");
    int index = 0;
    const HRESULT resolved = Resolve(child_id, &index);
    return FAILED(resolved) ? resolved : DISP_E_MEMBERNOTFOUND;
}

HRESULT DrawnObject::put_accName(VARIANT, BSTR) {
    Receive("put_accName");
    return E_NOTIMPL;
}

HRESULT DrawnObject::put_accValue(VARIANT, BSTR) {
    Receive("put_accValue");
    return E_NOTIMPL;
}

}  // namespace fixture
