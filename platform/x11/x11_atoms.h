// The atoms the window system names, interned once when it starts, all in one round trip. The predefined
// ones (WM_NAME, WM_CLASS, WM_TRANSIENT_FOR, STRING) need no interning and are used by their XCB names.
#pragma once

#include <xcb/xcb.h>

#include "platform/x11/xcb_requests.h"

namespace hovermark::x11 {

struct X11Atoms {
    xcb_atom_t wm_state = XCB_ATOM_NONE;
    xcb_atom_t compound_text = XCB_ATOM_NONE;
    xcb_atom_t net_wm_name = XCB_ATOM_NONE;
    xcb_atom_t net_wm_pid = XCB_ATOM_NONE;
    xcb_atom_t net_wm_state = XCB_ATOM_NONE;
    xcb_atom_t net_wm_state_above = XCB_ATOM_NONE;
    xcb_atom_t net_wm_user_time = XCB_ATOM_NONE;
    xcb_atom_t net_supporting_wm_check = XCB_ATOM_NONE;
    xcb_atom_t net_supported = XCB_ATOM_NONE;
    xcb_atom_t net_request_frame_extents = XCB_ATOM_NONE;
    xcb_atom_t net_frame_extents = XCB_ATOM_NONE;
    xcb_atom_t gtk_frame_extents = XCB_ATOM_NONE;
};

// Atoms the server could not intern (a broken connection) stay XCB_ATOM_NONE, which matches no property.
X11Atoms InternAtoms(XcbRequests& requests);

}  // namespace hovermark::x11
