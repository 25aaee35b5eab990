#include "platform/x11/xcb_requests.h"

#include <cstdint>

namespace hovermark::x11 {
namespace {

// Sequence numbers wrap; what matters is which of two recent ones came later.
bool IsLater(unsigned int sequence, unsigned int than) {
    return static_cast<std::int32_t>(sequence - than) > 0;
}

}  // namespace

void XcbRequests::NoteWaitFor(unsigned int sequence) {
    if (round_trips_ != 0 && !IsLater(sequence, answered_through_)) {
        return;  // sent with a batch whose first reply has already been waited for
    }
    ++round_trips_;
    // Waiting flushes everything sent so far; all of it is answered by the time this reply is.
    answered_through_ = IsLater(sequence, last_sent_) ? sequence : last_sent_;
}

}  // namespace hovermark::x11
