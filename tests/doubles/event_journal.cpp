// The shared record of effects the test doubles observe.
#include "tests/doubles/event_journal.h"

#include <algorithm>
#include <utility>

namespace hovermark::testing {

void EventJournal::Record(std::string entry) {
    entries_.push_back(std::move(entry));
}

std::size_t EventJournal::CountStartingWith(std::string_view prefix) const {
    return static_cast<std::size_t>(std::count_if(
        entries_.begin(), entries_.end(), [prefix](const std::string& entry) { return entry.starts_with(prefix); }));
}

std::string EventJournal::ToString() const {
    std::string text;
    for (const std::string& entry : entries_) {
        text += entry;
        text += '\n';
    }
    return text;
}

std::string SetWindowPosEntry(std::int32_t window,
                              std::int32_t insert_after,
                              std::int32_t x,
                              std::int32_t y,
                              std::int32_t cx,
                              std::int32_t cy,
                              std::uint32_t flags) {
    return "SetWindowPos " + std::to_string(window) + " " + std::to_string(insert_after) + " " + std::to_string(x) +
           " " + std::to_string(y) + " " + std::to_string(cx) + " " + std::to_string(cy) + " " + std::to_string(flags);
}

}  // namespace hovermark::testing
