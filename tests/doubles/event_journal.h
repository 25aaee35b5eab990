// The ordered record of what the program did to the window system and to the GUI. Both test doubles write
// to one journal, so a test can check the order of effects across them (a bar placed before it is shown).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hovermark::testing {

class EventJournal {
  public:
    void Record(std::string entry);
    const std::vector<std::string>& Entries() const { return entries_; }
    // Plain string prefix: "SetWindowPos 10" also matches handle 1000, so end a handle prefix with a space.
    std::size_t CountStartingWith(std::string_view prefix) const;
    void Clear() { entries_.clear(); }
    // One entry a line, for failure messages.
    std::string ToString() const;

  private:
    std::vector<std::string> entries_;
};

// The entry a SetWindowPos call leaves: "SetWindowPos <handle> <insert-after> <x> <y> <cx> <cy> <flags>".
std::string SetWindowPosEntry(std::int32_t window,
                              std::int32_t insert_after,
                              std::int32_t x,
                              std::int32_t y,
                              std::int32_t cx,
                              std::int32_t cy,
                              std::uint32_t flags);

}  // namespace hovermark::testing
