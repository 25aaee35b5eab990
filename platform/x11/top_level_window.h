// Which application top-level window holds a window, and what a reader of the elements inside it must know
// about it: its process, its place on the screen and its title. Toolkits that draw their controls inside one
// X window describe them on the accessibility bus per top-level window and process, not per X window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <xcb/xcb.h>

#include "platform/x11/x11_atoms.h"
#include "platform/x11/xcb_requests.h"
#include "window_inspection/window_system.h"

namespace hovermark::x11 {

struct TopLevelWindowFacts {
    xcb_window_t window = XCB_WINDOW_NONE;
    // _NET_WM_PID; none when the application does not say.
    std::optional<std::uint32_t> pid;
    // Its inside (no border, no window manager's frame) in root coordinates.
    Rectangle rect{};
    std::string title;  // _NET_WM_NAME, else WM_NAME, in UTF-8
};

// The first window on the way up from `window` that carries WM_STATE, or, without a window manager, the
// root's child that holds it. None when the window has gone, is the root, or the way up does not end.
std::optional<TopLevelWindowFacts> ReadTopLevelWindow(XcbRequests& requests,
                                                      const X11Atoms& atoms,
                                                      xcb_window_t root,
                                                      xcb_window_t window);

}  // namespace hovermark::x11
