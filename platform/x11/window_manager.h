// What Hovermark asks of an EWMH window manager about its own windows: whether one runs, whether it offers
// a request, and the client message every such request is.
#pragma once

#include <array>
#include <cstdint>

#include <xcb/xcb.h>

#include "platform/x11/x11_atoms.h"
#include "platform/x11/xcb_requests.h"

namespace hovermark::x11 {

// An EWMH window manager names a child window of its own on the root, and the same window on that child.
bool WindowManagerRuns(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t root);

// Whether the running window manager lists `request` in _NET_SUPPORTED.
bool WindowManagerOffers(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t root, xcb_atom_t request);

// A client message of type `request` about `window`, sent to the root where the window manager listens.
void SendToWindowManager(XcbRequests& requests,
                         xcb_window_t root,
                         xcb_window_t window,
                         xcb_atom_t request,
                         const std::array<std::uint32_t, 5>& data);

}  // namespace hovermark::x11
