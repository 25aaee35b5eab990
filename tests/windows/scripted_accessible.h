// An IAccessible tree inside the test process, scripted to answer as an application might, sound or hostile:
// objects with screen rectangles, roles, names and states, simple children, children listed by child id or by
// an enumerator, and hooks that replace any answer. Every
// call is counted and may be made to take a while, so the element system can be shown bounded in calls and in
// time over a slow or hung application.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <oleacc.h>

#include "platform/iaccessible/com_owners.h"

namespace hovermark::iaccessible::testing {

// What every object of one tree shares: the call count, a delay before each answer, and whether the
// application is still there.
struct ScriptedApplication {
    std::atomic<int> calls{0};
    std::atomic<int> delay_ms{0};
    // Once set, every call fails as an application that has exited does.
    std::atomic<bool> exited{false};
    // QueryInterface and Release are counted and delayed too, as they are across processes.
    std::atomic<bool> charge_com{false};
    // Every call of an IAccessible method fails with this, unless it is S_OK.
    std::atomic<HRESULT> failure{S_OK};
};

struct ScriptedChild {
    LONG id = 0;
    RECT rect{};
    LONG role = ROLE_SYSTEM_LISTITEM;
    std::wstring name;
    bool removed = false;  // its container answers E_INVALIDARG for it
    LONG state = 0;
};

// COM objects end with Release, never with delete through the interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ScriptedAccessible final : public IAccessible {
  public:
    ScriptedAccessible(ScriptedApplication& application, RECT rect, LONG role, std::wstring name);

    // A new child object, its parent this one.
    ScriptedAccessible& AddObject(RECT rect, LONG role, std::wstring name);
    void AddChild(ScriptedChild child) { children_.push_back(std::move(child)); }
    std::size_t ChildCount() const { return children_.size(); }
    ScriptedChild& Child(LONG id);

    // Child ids 1 to the number of object children stand for those, in the order added; a simple child's id
    // must come after them. With `enumerated`, the object also answers IEnumVARIANT, listing these child ids
    // in this order: an object's as its IDispatch, a simple child's as its id.
    std::optional<std::vector<LONG>> enumerated;
    LONG state = 0;

    // Hooks that replace the sound answer of one method.
    std::function<HRESULT(VARIANT*)> hit_test;
    std::function<HRESULT(IDispatch**)> parent;
    std::function<HRESULT(BSTR*)> name_answer;
    std::function<HRESULT(VARIANT*)> role_answer;
    std::function<HRESULT(LONG*, LONG*, LONG*, LONG*)> location;
    bool disconnected = false;  // the object itself is gone from its application

    ScriptedAccessible* parent_object = nullptr;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: not scripted.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

  private:
    friend class ScriptedEnumerator;
    ~ScriptedAccessible();
    // Counts the call and waits the application's delay; the failure to answer with, or S_OK.
    HRESULT Enter() const;
    void ChargeCom() const;
    const ScriptedChild* Find(const VARIANT& child, HRESULT& result) const;

    ScriptedApplication& application_;
    std::atomic<ULONG> references_{1};
    RECT rect_;
    LONG role_;
    std::wstring name_;
    std::vector<ComPtr<ScriptedAccessible>> objects_;
    std::vector<ScriptedChild> children_;
};
#pragma GCC diagnostic pop

// A new tree's root, held by the caller.
ComPtr<ScriptedAccessible> MakeScriptedRoot(ScriptedApplication& application, RECT rect, std::wstring name);

}  // namespace hovermark::iaccessible::testing
