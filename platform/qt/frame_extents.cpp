// _NET_REQUEST_FRAME_EXTENTS and _NET_FRAME_EXTENTS on the program's own X connection.
#include "platform/qt/frame_extents.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

namespace hovermark::qt {
namespace {

// A window manager that offers the request answers at once; this is the longest the start waits for it.
constexpr std::chrono::milliseconds kAnswerTimeout{250};
constexpr std::chrono::milliseconds kPollInterval{5};
constexpr std::uint32_t kExtentCount = 4;
constexpr std::uint32_t kMaxSupportedAtoms = 1024;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using UniqueReply = std::unique_ptr<Reply, FreeReply>;

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
    const UniqueReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool Offered(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t supported, xcb_atom_t request) {
    const UniqueReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, kMaxSupportedAtoms), nullptr));
    if (!reply || reply->format != 32) {
        return false;
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    for (int index = 0; index < count; ++index) {
        if (atoms[index] == request) {
            return true;
        }
    }
    return false;
}

std::optional<QMargins> ReadExtents(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t extents) {
    const UniqueReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, extents, XCB_ATOM_CARDINAL, 0, kExtentCount), nullptr));
    if (!reply || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < static_cast<int>(4 * kExtentCount)) {
        return std::nullopt;
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    // _NET_FRAME_EXTENTS is left, right, top, bottom.
    return QMargins(static_cast<int>(values[0]), static_cast<int>(values[2]), static_cast<int>(values[1]),
                    static_cast<int>(values[3]));
}

}  // namespace

std::optional<QMargins> RequestFrameExtents(xcb_connection_t* connection, xcb_window_t window) {
    const UniqueReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t root = tree->root;
    const xcb_atom_t supported = Atom(connection, "_NET_SUPPORTED");
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = Atom(connection, "_NET_FRAME_EXTENTS");
    if (request == XCB_ATOM_NONE || !Offered(connection, root, supported, request)) {
        return std::nullopt;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    do {
        if (const std::optional<QMargins> margins = ReadExtents(connection, window, extents)) {
            return margins;
        }
        std::this_thread::sleep_for(kPollInterval);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

}  // namespace hovermark::qt
