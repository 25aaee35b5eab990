// The controls the look-inside fixture draws itself: no window of their own, so other programs learn of them
// only through IAccessible. Each object knows its place in the window's client area, its parent and its
// children (objects, or simple children that a container answers for by child id).
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <oleacc.h>

namespace fixture {

// Defined here: with a static mingw-w64 link, liboleacc.a's IID_IAccessible is an import thunk, not the GUID.
extern const IID kIidAccessible;

// What arrived from other programs, for the benchmark's "calls per tick".
struct CallCounts {
    std::uint64_t calls = 0;    // IDispatch and IAccessible methods
    std::uint64_t queries = 0;  // QueryInterface
    std::uint64_t add_refs = 0;
    std::uint64_t releases = 0;
    std::uint64_t window_object_requests = 0;  // WM_GETOBJECT for OBJID_CLIENT
    std::map<std::string, std::uint64_t> by_method;
    std::map<std::string, std::uint64_t> queries_by_interface;
};
CallCounts& Counts();

// Every IDispatch and IAccessible method starts here: it is counted, then waits the delay set, as a slow
// application's would. 0 answers at once.
void Receive(const char* method);
void SetCallDelay(DWORD milliseconds);

struct SimpleChild {
    std::wstring name;
    RECT rect;  // in the window's client area
    COLORREF colour;
    bool removed = false;
};

// COM interfaces have no virtual destructor by design: an object is freed by its own Release.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// Lives as long as the program: references only count, they never free it.
class DrawnObject final : public IAccessible {
  public:
    DrawnObject(HWND window, long role, std::wstring name, RECT rect, COLORREF colour);
    DrawnObject(const DrawnObject&) = delete;
    DrawnObject& operator=(const DrawnObject&) = delete;
    ~DrawnObject() = default;

    void AddChild(DrawnObject& child);
    void AddSimpleChild(SimpleChild child);
    // Gone from the window: no longer drawn or hit, and every further call on it, from any program, fails.
    void Remove();
    void RemoveSimpleChild(long id);

    const std::wstring& name() const { return name_; }
    const RECT& rect() const { return rect_; }
    COLORREF colour() const { return colour_; }
    bool removed() const { return removed_; }
    const std::vector<DrawnObject*>& children() const { return children_; }
    const std::vector<SimpleChild>& simple_children() const { return simple_children_; }
    RECT ScreenRect() const;
    RECT ScreenRectOf(const SimpleChild& child) const;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member,
                                     REFIID iid,
                                     LCID locale,
                                     WORD flags,
                                     DISPPARAMS* parameters,
                                     VARIANT* result,
                                     EXCEPINFO* exception,
                                     UINT* argument_error) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child_id, IDispatch** child) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child_id, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child_id, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child_id, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child_id, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child_id, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child_id, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* help_file, VARIANT child_id, LONG* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child_id, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child_id, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child_id) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child_id) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child_id) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child_id) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child_id, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child_id, BSTR value) override;

  private:
    // S_OK with the simple child's index (-1 for the object itself), or the failure a call answers with.
    HRESULT Resolve(const VARIANT& child_id, int* index) const;
    HRESULT UnsupportedText(const char* method, const VARIANT& child_id, BSTR* text) const;

    HWND window_;
    long role_;
    std::wstring name_;
    RECT rect_;
    COLORREF colour_;
    DrawnObject* parent_ = nullptr;
    std::vector<DrawnObject*> children_;
    std::vector<SimpleChild> simple_children_;
    bool removed_ = false;
    ULONG references_ = 1;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace fixture
