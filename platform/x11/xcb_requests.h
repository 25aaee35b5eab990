// Requests with replies on a connection the toolkit shares, and what their replies cost. Every reply is
// collected with its error, so a request about a window that has gone fails here and never reaches the
// toolkit's event loop as an X error. Requests sent together cost one round trip, however many replies
// they bring back; the count of round trips is what a tick's cost is measured in.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace hovermark::x11 {

struct FreeWithStdFree {
    void operator()(void* memory) const noexcept { std::free(memory); }
};

// XCB hands out replies and errors as malloc'ed blocks.
template <typename Reply>
using XcbReply = std::unique_ptr<Reply, FreeWithStdFree>;

class XcbRequests {
  public:
    explicit XcbRequests(xcb_connection_t* connection) : connection_(connection) {}

    xcb_connection_t* connection() const { return connection_; }

    // A connection that failed (the server went away) stays failed; every later request fails at once.
    bool Broken() const { return xcb_connection_has_error(connection_) != 0; }

    // Notes a request whose reply will be collected; the cookie passes through unchanged.
    template <typename Cookie>
    Cookie Sent(Cookie cookie) {
        last_sent_ = cookie.sequence;
        return cookie;
    }

    // The reply, or null when the request failed.
    template <typename Reply, typename Cookie>
    XcbReply<Reply> Receive(Cookie cookie, Reply* (*collect)(xcb_connection_t*, Cookie, xcb_generic_error_t**)) {
        NoteWaitFor(cookie.sequence);
        xcb_generic_error_t* error = nullptr;
        XcbReply<Reply> reply(collect(connection_, cookie, &error));
        std::free(error);
        return reply;
    }

    // Replies waited for: a batch of requests sent before the first wait counts once.
    std::uint64_t RoundTrips() const { return round_trips_; }

  private:
    void NoteWaitFor(unsigned int sequence);

    xcb_connection_t* connection_;
    unsigned int last_sent_ = 0;
    unsigned int answered_through_ = 0;
    std::uint64_t round_trips_ = 0;
};

}  // namespace hovermark::x11
