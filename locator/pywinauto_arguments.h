// What the two pywinauto dialects write alike: `Desktop(backend=...)`, then `.window(...)` for the top-level
// window and `.child_window(...)` for what lies below it, keyword arguments in the order given, and
// `found_index=` where nothing else tells an item apart.
#pragma once

#include <string>
#include <string_view>

#include "locator/dialect.h"

namespace hovermark::locator {

// `keyword` names each criterion's keyword; a value it writes as a number is its decimal text.
std::string WritePywinauto(const Locator& locator,
                           std::string_view backend,
                           std::string_view (*keyword)(Key),
                           bool (*is_number)(Key));

}  // namespace hovermark::locator
