#include "platform/x11/bounded_reply.h"

#include <cstdlib>

#include <poll.h>
#include <xcb/xcbext.h>

namespace hovermark::x11 {

XcbReply<void> WaitForReply(xcb_connection_t* connection, unsigned int sequence, ReplyDeadline deadline) {
    if (xcb_connection_has_error(connection) != 0 || xcb_flush(connection) <= 0) {
        return nullptr;
    }
    while (true) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        // Reads what the socket holds without waiting.
        if (xcb_poll_for_reply(connection, sequence, &reply, &error) != 0) {
            std::free(error);
            return XcbReply<void>(reply);
        }
        if (xcb_connection_has_error(connection) != 0) {
            return nullptr;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            xcb_discard_reply(connection, sequence);
            return nullptr;
        }
        pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&readable, 1, static_cast<int>(left));
    }
}

}  // namespace hovermark::x11
