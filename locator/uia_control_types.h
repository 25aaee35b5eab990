// The UI Automation control type of an element that describes itself through Active Accessibility, as the
// system's own proxy between the two maps its role. The role's number, not its text: the text is in the
// system's language, and not every system names a role alike.
#pragma once

#include <optional>
#include <string_view>

namespace hovermark::locator {

// "Custom" for no number, and for a role the proxy's table gives no control type of its own.
std::string_view UiaControlTypeOf(std::optional<long> role_number);

}  // namespace hovermark::locator
