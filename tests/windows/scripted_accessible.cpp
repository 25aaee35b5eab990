#include "tests/windows/scripted_accessible.h"

#include <thread>

#include "platform/iaccessible/accessible_calls.h"

namespace hovermark::iaccessible::testing {
namespace {

bool Holds(const RECT& rect, LONG x, LONG y) {
    return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

}  // namespace

// The children of an object in a scripted order, as IEnumVARIANT; its calls are the application's too.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ScriptedEnumerator final : public IEnumVARIANT {
  public:
    // The tree outlives its enumerators.
    explicit ScriptedEnumerator(ScriptedAccessible& owner) : owner_(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        owner_.ChargeCom();
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumVARIANT)) {
            *object = static_cast<IEnumVARIANT*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        owner_.ChargeCom();
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (const HRESULT entered = owner_.Enter(); entered != S_OK) {
            return entered;
        }
        const std::vector<LONG>& listed = *owner_.enumerated;
        ULONG given = 0;
        for (; given < count && next_ < listed.size(); ++given, ++next_) {
            const LONG id = listed[next_];
            VariantInit(&items[given]);
            if (id >= 1 && static_cast<std::size_t>(id) <= owner_.objects_.size()) {
                ScriptedAccessible* object = owner_.objects_[static_cast<std::size_t>(id) - 1].get();
                object->AddRef();
                items[given].vt = VT_DISPATCH;
                items[given].pdispVal = object;
            } else {
                items[given].vt = VT_I4;
                items[given].lVal = id;
            }
        }
        if (fetched != nullptr) {
            *fetched = given;
        }
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ += count;
        return owner_.Enter();
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return owner_.Enter();
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** clone) override {
        *clone = nullptr;
        return E_NOTIMPL;
    }

  private:
    ~ScriptedEnumerator() = default;

    ScriptedAccessible& owner_;
    std::atomic<ULONG> references_{1};
    std::size_t next_ = 0;
};
#pragma GCC diagnostic pop

ScriptedAccessible::ScriptedAccessible(ScriptedApplication& application, RECT rect, LONG role, std::wstring name)
    : application_(application), rect_(rect), role_(role), name_(std::move(name)) {}

ScriptedAccessible::~ScriptedAccessible() = default;

ComPtr<ScriptedAccessible> MakeScriptedRoot(ScriptedApplication& application, RECT rect, std::wstring name) {
    return ComPtr<ScriptedAccessible>(new ScriptedAccessible(application, rect, ROLE_SYSTEM_CLIENT, std::move(name)));
}

ScriptedAccessible& ScriptedAccessible::AddObject(RECT rect, LONG role, std::wstring name) {
    objects_.emplace_back(new ScriptedAccessible(application_, rect, role, std::move(name)));
    objects_.back()->parent_object = this;
    return *objects_.back();
}

ScriptedChild& ScriptedAccessible::Child(LONG id) {
    for (ScriptedChild& child : children_) {
        if (child.id == id) {
            return child;
        }
    }
    std::abort();
}

HRESULT ScriptedAccessible::Enter() const {
    ++application_.calls;
    if (const int delay = application_.delay_ms.load(); delay > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    if (application_.exited) {
        return RPC_E_SERVER_DIED;
    }
    if (const HRESULT failure = application_.failure; failure != S_OK) {
        return failure;
    }
    return disconnected ? RPC_E_DISCONNECTED : S_OK;
}

const ScriptedChild* ScriptedAccessible::Find(const VARIANT& child, HRESULT& result) const {
    result = S_OK;
    if (child.vt != VT_I4) {
        result = E_INVALIDARG;
        return nullptr;
    }
    if (child.lVal == CHILDID_SELF) {
        return nullptr;
    }
    for (const ScriptedChild& candidate : children_) {
        if (candidate.id == child.lVal && !candidate.removed) {
            return &candidate;
        }
    }
    result = E_INVALIDARG;
    return nullptr;
}

void ScriptedAccessible::ChargeCom() const {
    if (application_.charge_com) {
        ++application_.calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(application_.delay_ms.load()));
    }
}

HRESULT ScriptedAccessible::QueryInterface(REFIID iid, void** object) {
    ChargeCom();
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidIAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IEnumVARIANT) && enumerated) {
        *object = static_cast<IEnumVARIANT*>(new ScriptedEnumerator(*this));
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ScriptedAccessible::AddRef() {
    return ++references_;
}

ULONG ScriptedAccessible::Release() {
    ChargeCom();
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT ScriptedAccessible::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}
HRESULT ScriptedAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT ScriptedAccessible::get_accParent(IDispatch** parent_out) {
    *parent_out = nullptr;
    if (const HRESULT entered = Enter(); entered != S_OK) {
        return entered;
    }
    if (parent) {
        return parent(parent_out);
    }
    if (parent_object == nullptr) {
        return S_FALSE;
    }
    parent_object->AddRef();
    *parent_out = parent_object;
    return S_OK;
}

HRESULT ScriptedAccessible::get_accChildCount(LONG* count) {
    *count = static_cast<LONG>(objects_.size() + children_.size());
    return Enter();
}

HRESULT ScriptedAccessible::get_accChild(VARIANT child, IDispatch** object) {
    *object = nullptr;
    if (const HRESULT entered = Enter(); entered != S_OK) {
        return entered;
    }
    if (child.vt == VT_I4 && child.lVal >= 1 && static_cast<std::size_t>(child.lVal) <= objects_.size()) {
        ScriptedAccessible* found = objects_[static_cast<std::size_t>(child.lVal) - 1].get();
        found->AddRef();
        *object = found;
        return S_OK;
    }
    HRESULT result = S_OK;
    Find(child, result);
    return FAILED(result) ? result : S_FALSE;
}

HRESULT ScriptedAccessible::get_accName(VARIANT child, BSTR* name) {
    *name = nullptr;
    if (const HRESULT entered = Enter(); entered != S_OK) {
        return entered;
    }
    if (name_answer && child.lVal == CHILDID_SELF) {
        return name_answer(name);
    }
    HRESULT result = S_OK;
    const ScriptedChild* found = Find(child, result);
    if (FAILED(result)) {
        return result;
    }
    const std::wstring& text = found != nullptr ? found->name : name_;
    *name = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
}

HRESULT ScriptedAccessible::get_accRole(VARIANT child, VARIANT* role) {
    VariantInit(role);
    if (const HRESULT entered = Enter(); entered != S_OK) {
        return entered;
    }
    if (role_answer && child.lVal == CHILDID_SELF) {
        return role_answer(role);
    }
    HRESULT result = S_OK;
    const ScriptedChild* found = Find(child, result);
    if (FAILED(result)) {
        return result;
    }
    role->vt = VT_I4;
    role->lVal = found != nullptr ? found->role : role_;
    return S_OK;
}

HRESULT ScriptedAccessible::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) {
    *left = *top = *width = *height = 0;
    if (const HRESULT entered = Enter(); entered != S_OK) {
        return entered;
    }
    if (location && child.lVal == CHILDID_SELF) {
        return location(left, top, width, height);
    }
    HRESULT result = S_OK;
    const ScriptedChild* found = Find(child, result);
    if (FAILED(result)) {
        return result;
    }
    const RECT& rect = found != nullptr ? found->rect : rect_;
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
}

HRESULT ScriptedAccessible::accHitTest(LONG x, LONG y, VARIANT* child) {
    VariantInit(child);
    if (const HRESULT entered = Enter(); entered != S_OK) {
        return entered;
    }
    if (hit_test) {
        return hit_test(child);
    }
    for (const ComPtr<ScriptedAccessible>& object : objects_) {
        if (Holds(object->rect_, x, y)) {
            object->AddRef();
            child->vt = VT_DISPATCH;
            child->pdispVal = object.get();
            return S_OK;
        }
    }
    for (const ScriptedChild& simple : children_) {
        if (!simple.removed && Holds(simple.rect, x, y)) {
            child->vt = VT_I4;
            child->lVal = simple.id;
            return S_OK;
        }
    }
    if (!Holds(rect_, x, y)) {
        return S_FALSE;
    }
    child->vt = VT_I4;
    child->lVal = CHILDID_SELF;
    return S_OK;
}

HRESULT ScriptedAccessible::get_accState(VARIANT child, VARIANT* state_out) {
    VariantInit(state_out);
    if (const HRESULT entered = Enter(); entered != S_OK) {
        return entered;
    }
    HRESULT result = S_OK;
    const ScriptedChild* found = Find(child, result);
    if (FAILED(result)) {
        return result;
    }
    state_out->vt = VT_I4;
    state_out->lVal = found != nullptr ? found->state : state;
    return S_OK;
}

// The rest is not part of what is inspected.
HRESULT ScriptedAccessible::get_accValue(VARIANT, BSTR* value) {
    *value = nullptr;
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::get_accDescription(VARIANT, BSTR* description) {
    *description = nullptr;
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::get_accHelp(VARIANT, BSTR* help) {
    *help = nullptr;
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::get_accHelpTopic(BSTR* file, VARIANT, LONG*) {
    *file = nullptr;
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::get_accKeyboardShortcut(VARIANT, BSTR* shortcut) {
    *shortcut = nullptr;
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::get_accFocus(VARIANT* focus) {
    VariantInit(focus);
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::get_accSelection(VARIANT* selection) {
    VariantInit(selection);
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::get_accDefaultAction(VARIANT, BSTR* action) {
    *action = nullptr;
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::accSelect(LONG, VARIANT) {
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::accNavigate(LONG, VARIANT, VARIANT* end) {
    VariantInit(end);
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::accDoDefaultAction(VARIANT) {
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}
HRESULT ScriptedAccessible::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

}  // namespace hovermark::iaccessible::testing
