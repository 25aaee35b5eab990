// The window manager answers the request by setting a property, which X announces with a PropertyNotify. The
// events of the shared connection are the toolkit's own, so a short-lived connection of this file's own
// listens for that one event, and the wait sleeps in poll() until it comes or the time is up.
#include "platform/x11/frame_extents.h"

#include <chrono>
#include <memory>

#include <poll.h>

#include "platform/x11/window_manager.h"

namespace hovermark::x11 {
namespace {

// A window manager that offers the request answers at once; this is the longest the start waits for it.
constexpr std::chrono::milliseconds kAnswerTimeout{250};
constexpr std::uint32_t kExtentCount = 4;

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using UniqueConnection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

std::optional<FrameExtents> ReadExtents(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t window) {
    const auto cookie = requests.Sent(xcb_get_property(requests.connection(), 0, window, atoms.net_frame_extents,
                                                       XCB_ATOM_CARDINAL, 0, kExtentCount));
    const auto reply = requests.Receive(cookie, xcb_get_property_reply);
    if (!reply || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < static_cast<int>(4 * kExtentCount)) {
        return std::nullopt;
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    // _NET_FRAME_EXTENTS is left, right, top, bottom.
    return FrameExtents{static_cast<std::int32_t>(values[0]), static_cast<std::int32_t>(values[2]),
                        static_cast<std::int32_t>(values[1]), static_cast<std::int32_t>(values[3])};
}

// A connection that hears of every property change on `window`; null when there is none.
UniqueConnection ListenToProperties(xcb_window_t window) {
    UniqueConnection listener(xcb_connect(nullptr, nullptr));
    if (!listener || xcb_connection_has_error(listener.get()) != 0) {
        return nullptr;
    }
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    // Checked, so that the listening has begun before the request goes out.
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(
        listener.get(), xcb_change_window_attributes_checked(listener.get(), window, XCB_CW_EVENT_MASK, &mask)));
    if (error) {
        return nullptr;
    }
    return listener;
}

bool AwaitPropertyChange(xcb_connection_t* listener, xcb_window_t window, xcb_atom_t property) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    while (xcb_connection_has_error(listener) == 0) {
        while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(listener)}) {
            if ((event->response_type & ~0x80U) == XCB_PROPERTY_NOTIFY) {
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
                if (notify->window == window && notify->atom == property) {
                    return true;
                }
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd readable{xcb_get_file_descriptor(listener), POLLIN, 0};
        poll(&readable, 1, static_cast<int>(left.count()));
    }
    return false;
}

}  // namespace

std::optional<FrameExtents> RequestFrameExtents(XcbRequests& requests,
                                                const X11Atoms& atoms,
                                                xcb_window_t root,
                                                xcb_window_t window) {
    if (requests.Broken() || !WindowManagerOffers(requests, atoms, root, atoms.net_request_frame_extents)) {
        return std::nullopt;
    }
    const UniqueConnection listener = ListenToProperties(window);
    if (!listener) {
        return std::nullopt;
    }
    SendToWindowManager(requests, root, window, atoms.net_request_frame_extents, {});
    xcb_flush(requests.connection());
    if (!AwaitPropertyChange(listener.get(), window, atoms.net_frame_extents)) {
        return std::nullopt;
    }
    return ReadExtents(requests, atoms, window);
}

}  // namespace hovermark::x11
