// Replies waited for until a deadline, on a connection that is its caller's alone. An X server that stops
// answering (stopped, swamped, or cut off behind a dead link) costs the caller the time it was given, never
// its thread: the request fails then, and its reply, if it ever comes, is dropped.
#pragma once

#include <chrono>

#include <xcb/xcb.h>

#include "platform/x11/xcb_requests.h"

namespace hovermark::x11 {

using ReplyDeadline = std::chrono::steady_clock::time_point;

// The reply to the request with that sequence number; null when it failed, the connection broke or the
// deadline passed first.
XcbReply<void> WaitForReply(xcb_connection_t* connection, unsigned int sequence, ReplyDeadline deadline);

template <typename Reply, typename Cookie>
XcbReply<Reply> ReceiveBy(xcb_connection_t* connection, Cookie cookie, ReplyDeadline deadline) {
    return XcbReply<Reply>(static_cast<Reply*>(WaitForReply(connection, cookie.sequence, deadline).release()));
}

}  // namespace hovermark::x11
