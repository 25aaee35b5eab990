// The UI Automation control type of an element that describes itself through Active Accessibility, as the
// system's own proxy between the two maps its role.
#pragma once

#include <string_view>

namespace hovermark::locator {

// `role`: the role's text as Active Accessibility names it ("push button"). "Custom" for a role the proxy
// has no control type for.
std::string_view UiaControlTypeOf(std::string_view role);

}  // namespace hovermark::locator
