#include "platform/x11/top_level_window.h"

#include <algorithm>

#include "platform/x11/window_ids.h"
#include "platform/x11/window_rectangle.h"
#include "platform/x11/window_snapshot.h"

namespace hovermark::x11 {
namespace {

// Deeper than any real window tree; a server that reports a loop of parents stops here.
constexpr int kMaxLevels = 64;

std::optional<std::uint32_t> ReceivePid(XcbRequests& requests, xcb_get_property_cookie_t cookie) {
    const auto reply = requests.Receive(cookie, xcb_get_property_reply);
    if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

// Four cardinals: left, right, top, bottom. Values beyond any real shadow are not taken.
std::optional<Insets> ReceiveInsets(XcbRequests& requests, xcb_get_property_cookie_t cookie) {
    constexpr std::uint32_t kMaxMargin = 256;
    const auto reply = requests.Receive(cookie, xcb_get_property_reply);
    if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 16) {
        return std::nullopt;
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    if (std::any_of(values, values + 4, [](std::uint32_t value) { return value > kMaxMargin; })) {
        return std::nullopt;
    }
    return Insets{.left = static_cast<std::int32_t>(values[0]),
                  .right = static_cast<std::int32_t>(values[1]),
                  .top = static_cast<std::int32_t>(values[2]),
                  .bottom = static_cast<std::int32_t>(values[3])};
}

}  // namespace

std::optional<TopLevelWindow> ReadTopLevelWindow(XcbRequests& requests,
                                                 const X11Atoms& atoms,
                                                 xcb_window_t root,
                                                 xcb_window_t window) {
    for (int level = 0; level < kMaxLevels && window != XCB_WINDOW_NONE && window != root; ++level) {
        const WindowSnapshot snapshot = ReadWindowSnapshot(requests, atoms, window);
        if (!snapshot.exists) {
            return std::nullopt;
        }
        if (!snapshot.has_wm_state && snapshot.parent != root) {
            window = snapshot.parent;
            continue;
        }
        const auto pid = requests.Sent(
            xcb_get_property(requests.connection(), 0, window, atoms.net_wm_pid, XCB_ATOM_CARDINAL, 0, 1));
        const auto margins = requests.Sent(
            xcb_get_property(requests.connection(), 0, window, atoms.gtk_frame_extents, XCB_ATOM_CARDINAL, 0, 4));
        const RectangleRequest place = RequestRectangle(requests, root, window);
        TopLevelWindow facts{.top_level = ToHandle(window),
                             .pid = ReceivePid(requests, pid),
                             .title = snapshot.title,
                             .drawn_margins = ReceiveInsets(requests, margins)};
        const std::optional<WindowRectangle> rectangle = ReceiveRectangle(requests, place);
        if (!rectangle) {
            return std::nullopt;
        }
        const std::int32_t border = rectangle->border_width;
        facts.rect = Rectangle{rectangle->outer.Left + border, rectangle->outer.Top + border,
                               rectangle->outer.Right - border, rectangle->outer.Bottom - border};
        return facts;
    }
    return std::nullopt;
}

}  // namespace hovermark::x11
