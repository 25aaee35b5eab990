#include "platform/windows/dwm_frame_bounds.h"

#include <dwmapi.h>

namespace hovermark::windows {

DwmFrameBounds::DwmFrameBounds() : library_(LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (library_) {
        // GetProcAddress hands every function back under one generic type; this is the call's own.
        get_window_attribute_ = reinterpret_cast<GetWindowAttribute>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "DwmGetWindowAttribute")));
    }
}

std::optional<RECT> DwmFrameBounds::Of(HWND window) const {
    RECT bounds{};
    if (get_window_attribute_ == nullptr ||
        FAILED(get_window_attribute_(window, DWMWA_EXTENDED_FRAME_BOUNDS, &bounds, sizeof(bounds)))) {
        return std::nullopt;
    }
    return bounds;
}

}  // namespace hovermark::windows
