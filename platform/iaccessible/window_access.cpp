#include "platform/iaccessible/window_access.h"

#include "platform/iaccessible/accessible_calls.h"

namespace hovermark::iaccessible {

DWORD User32WindowAccess::ProcessOf(HWND window) {
    DWORD process = 0;
    return GetWindowThreadProcessId(window, &process) != 0 ? process : 0;
}

bool User32WindowAccess::Exists(HWND window) {
    return IsWindow(window) != FALSE;
}

bool User32WindowAccess::IsHung(HWND window) {
    return IsHungAppWindow(window) != FALSE;
}

HRESULT User32WindowAccess::ClientObject(HWND window, ComPtr<IAccessible>& client) {
    return AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kIidIAccessible,
                                      reinterpret_cast<void**>(client.put()));
}

}  // namespace hovermark::iaccessible
