// Which application top-level window holds a window, and what a reader of the elements inside it must know
// about it: its process, its place on the screen and its title. Toolkits that draw their controls inside one
// X window describe them on the accessibility bus per top-level window and process, not per X window.
#pragma once

#include <optional>

#include <xcb/xcb.h>

#include "platform/x11/x11_atoms.h"
#include "platform/x11/xcb_requests.h"
#include "window_inspection/top_level_window.h"

namespace hovermark::x11 {

// The first window on the way up from `window` that carries WM_STATE, or, without a window manager, the
// root's child that holds it. None when the window has gone, is the root, or the way up does not end.
std::optional<TopLevelWindow> ReadTopLevelWindow(XcbRequests& requests,
                                                 const X11Atoms& atoms,
                                                 xcb_window_t root,
                                                 xcb_window_t window);

}  // namespace hovermark::x11
