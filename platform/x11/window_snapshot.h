// One moment's reading of another program's window: everything the chain listing asks about a window
// (class, title, X parent, whether it is an application's top-level window, its owner), requested
// together so that a row of the list costs one round trip instead of five.
#pragma once

#include <string>

#include <xcb/xcb.h>

#include "platform/x11/x11_atoms.h"
#include "platform/x11/xcb_requests.h"

namespace hovermark::x11 {

struct WindowSnapshot {
    xcb_window_t window = XCB_WINDOW_NONE;
    bool exists = false;
    std::string class_name;  // WM_CLASS as stored, NULs included, in UTF-8
    std::string title;       // _NET_WM_NAME, else WM_NAME, in UTF-8
    xcb_window_t parent = XCB_WINDOW_NONE;
    bool has_wm_state = false;  // an application's top-level window, as window managers mark it
    xcb_window_t transient_for = XCB_WINDOW_NONE;
};

WindowSnapshot ReadWindowSnapshot(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t window);

}  // namespace hovermark::x11
