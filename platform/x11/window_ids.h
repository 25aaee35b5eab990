// Handles and X window ids. X ids fit in 29 bits, so every id the server hands out is a handle; a number that
// is none (0, a negative handle, an id beyond a handle's range) is no window.
#pragma once

#include <cstdint>
#include <limits>

#include <xcb/xcb.h>

#include "window_inspection/window_system.h"

namespace hovermark::x11 {

inline xcb_window_t ToXcbWindow(WindowHandle handle) {
    return handle > 0 ? static_cast<xcb_window_t>(handle) : xcb_window_t{XCB_WINDOW_NONE};
}

// Takes any width of id, so that a toolkit's window id (WId) arrives here unconverted.
inline WindowHandle ToHandle(std::uint64_t window) {
    return window <= static_cast<std::uint64_t>(std::numeric_limits<WindowHandle>::max())
               ? static_cast<WindowHandle>(window)
               : 0;
}

}  // namespace hovermark::x11
