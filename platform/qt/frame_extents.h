// The size of the frame a window manager will put around a window, asked before the window is first
// mapped, so that a window meant to be centred is centred frame and all. Qt learns the frame only once the
// window is on the screen, too late to place it without a jump.
#pragma once

#include <QMargins>
#include <optional>

#include <xcb/xcb.h>

namespace hovermark::qt {

// The frame's left, top, right and bottom widths (_NET_FRAME_EXTENTS), after asking the window manager with
// _NET_REQUEST_FRAME_EXTENTS; nothing when no window manager offers that or it does not answer in time.
std::optional<QMargins> RequestFrameExtents(xcb_connection_t* connection, xcb_window_t window);

}  // namespace hovermark::qt
