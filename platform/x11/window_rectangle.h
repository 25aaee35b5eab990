// Where a window stands: its outer rectangle, border included, in root coordinates, from a geometry and a
// translation request sent together (X gives a window's place relative to its parent only).
#pragma once

#include <cstdint>
#include <optional>

#include <xcb/xcb.h>

#include "platform/x11/xcb_requests.h"
#include "window_inspection/window_system.h"

namespace hovermark::x11 {

struct RectangleRequest {
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
};

struct WindowRectangle {
    Rectangle outer;
    std::uint16_t border_width = 0;
};

RectangleRequest RequestRectangle(XcbRequests& requests, xcb_window_t root, xcb_window_t window);

// None once the window has gone.
std::optional<WindowRectangle> ReceiveRectangle(XcbRequests& requests, const RectangleRequest& request);

}  // namespace hovermark::x11
