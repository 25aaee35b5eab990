// The size of the frame a window manager will put around one of Hovermark's own windows, asked before the
// window is first mapped, so that a window meant to be centred is centred frame and all. A toolkit learns
// the frame only once the window is on the screen, too late to place it without a jump.
#pragma once

#include <cstdint>
#include <optional>

#include <xcb/xcb.h>

#include "platform/x11/x11_atoms.h"
#include "platform/x11/xcb_requests.h"

namespace hovermark::x11 {

struct FrameExtents {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Asks the window manager with _NET_REQUEST_FRAME_EXTENTS and waits a moment for its answer in
// _NET_FRAME_EXTENTS; nothing when no window manager offers that or it does not answer in time.
std::optional<FrameExtents> RequestFrameExtents(XcbRequests& requests,
                                                const X11Atoms& atoms,
                                                xcb_window_t root,
                                                xcb_window_t window);

}  // namespace hovermark::x11
