#include "platform/x11/window_manager.h"

#include <algorithm>

namespace hovermark::x11 {
namespace {

constexpr std::uint32_t kMaxSupportedAtoms = 1024;

}  // namespace

bool WindowManagerRuns(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t root) {
    const auto read_check_window = [&](xcb_window_t on) -> xcb_window_t {
        const auto cookie = requests.Sent(
            xcb_get_property(requests.connection(), 0, on, atoms.net_supporting_wm_check, XCB_ATOM_WINDOW, 0, 1));
        const auto reply = requests.Receive(cookie, xcb_get_property_reply);
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
            return XCB_WINDOW_NONE;
        }
        return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    };
    const xcb_window_t check_window = read_check_window(root);
    return check_window != XCB_WINDOW_NONE && read_check_window(check_window) == check_window;
}

bool WindowManagerOffers(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t root, xcb_atom_t request) {
    if (request == XCB_ATOM_NONE) {
        return false;
    }
    const auto cookie = requests.Sent(
        xcb_get_property(requests.connection(), 0, root, atoms.net_supported, XCB_ATOM_ATOM, 0, kMaxSupportedAtoms));
    const auto reply = requests.Receive(cookie, xcb_get_property_reply);
    if (!reply || reply->format != 32) {
        return false;
    }
    const auto* supported = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(supported, supported + count, request) != supported + count;
}

void SendToWindowManager(XcbRequests& requests,
                         xcb_window_t root,
                         xcb_window_t window,
                         xcb_atom_t request,
                         const std::array<std::uint32_t, 5>& data) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    std::copy(data.begin(), data.end(), message.data.data32);
    xcb_send_event(requests.connection(), 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

}  // namespace hovermark::x11
