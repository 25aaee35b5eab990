#include "platform/iaccessible/window_access.h"

#include "platform/iaccessible/accessible_calls.h"
#include "platform/windows/window_text.h"

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

std::vector<HWND> User32WindowAccess::TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool User32WindowAccess::IsVisible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

HWND User32WindowAccess::TopLevelOf(HWND window) {
    return GetAncestor(window, GA_ROOT);
}

std::string User32WindowAccess::HeldText(HWND window) {
    return windows::HeldWindowText(window);
}

}  // namespace hovermark::iaccessible
