#include "platform/windows/user32_window_enumeration.h"

#include <string>
#include <utility>

#include "platform/windows/text_conversion.h"
#include "platform/windows/user32_window_system.h"
#include "platform/windows/window_text.h"

namespace hovermark::windows {
namespace {

// A class name is at most 256 characters.
constexpr int kClassNameRoom = 257;

struct Listing {
    HWND parent = nullptr;
    std::vector<WindowHandle> windows;
};

BOOL CALLBACK AddTopLevel(HWND window, LPARAM listing) {
    reinterpret_cast<Listing*>(listing)->windows.push_back(ToWindowHandle(window));
    return TRUE;
}

// EnumChildWindows lists every descendant; only the parent's own children are kept, in the order listed.
BOOL CALLBACK AddDirectChild(HWND window, LPARAM listing) {
    auto& list = *reinterpret_cast<Listing*>(listing);
    if (GetAncestor(window, GA_PARENT) == list.parent) {
        list.windows.push_back(ToWindowHandle(window));
    }
    return TRUE;
}

std::string ThreadKey(DWORD thread) {
    return std::to_string(thread);
}

}  // namespace

std::optional<std::vector<WindowHandle>> User32WindowEnumeration::ChildWindows(WindowHandle parent) {
    Listing listing;
    if (parent == 0) {
        if (EnumWindows(AddTopLevel, reinterpret_cast<LPARAM>(&listing)) == 0) {
            return std::nullopt;
        }
        return std::move(listing.windows);
    }
    listing.parent = ToHwnd(parent);
    if (IsWindow(listing.parent) == 0) {
        return std::nullopt;
    }
    EnumChildWindows(listing.parent, AddDirectChild, reinterpret_cast<LPARAM>(&listing));
    // A parent destroyed meanwhile may have lost children along the way.
    if (IsWindow(listing.parent) == 0) {
        return std::nullopt;
    }
    return std::move(listing.windows);
}

std::optional<WindowFacts> User32WindowEnumeration::FactsOf(WindowHandle window) {
    const HWND hwnd = ToHwnd(window);
    const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    if (thread == 0) {
        return std::nullopt;
    }
    WindowFacts facts;
    facts.visible = IsWindowVisible(hwnd) != 0;
    if (facts.visible && (silent_threads_.IsLeftAlone(ThreadKey(thread)) || IsHungAppWindow(hwnd) != 0)) {
        return std::nullopt;
    }
    wchar_t class_name[kClassNameRoom]{};
    const int class_length = GetClassNameW(hwnd, class_name, kClassNameRoom);
    facts.class_name = WideToUtf8(std::wstring_view(class_name, class_length > 0 ? class_length : 0));
    // A hidden window is never found (frameworks search visible ones only), so its text is not worth a wait:
    // the one the system holds stands in.
    std::optional<std::string> title = facts.visible ? AskedWindowText(hwnd) : HeldWindowText(hwnd);
    if (!title) {
        // The thread's other windows would each cost the same wait.
        if (IsWindow(hwnd) != 0) {
            silent_threads_.LeaveAlone(ThreadKey(thread));
        }
        return std::nullopt;
    }
    facts.title = std::move(*title);
    // Top-level windows have no identifier: what GetDlgCtrlID answers for one is not one.
    if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0) {
        facts.control_id = GetDlgCtrlID(hwnd);
    }
    // Whatever was read of a window destroyed meanwhile belongs to no window.
    if (IsWindow(hwnd) == 0) {
        return std::nullopt;
    }
    return facts;
}

}  // namespace hovermark::windows
