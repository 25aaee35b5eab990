#include "platform/x11/window_rectangle.h"

namespace hovermark::x11 {

RectangleRequest RequestRectangle(XcbRequests& requests, xcb_window_t root, xcb_window_t window) {
    return RectangleRequest{requests.Sent(xcb_get_geometry(requests.connection(), window)),
                            requests.Sent(xcb_translate_coordinates(requests.connection(), window, root, 0, 0))};
}

std::optional<WindowRectangle> ReceiveRectangle(XcbRequests& requests, const RectangleRequest& request) {
    const auto geometry = requests.Receive(request.geometry, xcb_get_geometry_reply);
    const auto origin = requests.Receive(request.origin, xcb_translate_coordinates_reply);
    if (!geometry || !origin) {
        return std::nullopt;
    }
    // The translation gives the inside's corner; the border lies around it.
    const std::int32_t border = geometry->border_width;
    const std::int32_t left = origin->dst_x - border;
    const std::int32_t top = origin->dst_y - border;
    return WindowRectangle{
        Rectangle{left, top, left + geometry->width + 2 * border, top + geometry->height + 2 * border},
        geometry->border_width};
}

}  // namespace hovermark::x11
