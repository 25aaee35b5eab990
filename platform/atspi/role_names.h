// The names of the protocol's roles, by the number an element's GetRole answers, as the accessibility
// interfaces describe them (Accessible.GetRole): the same names whatever a toolkit calls its own roles, so that
// a button is a "push button" in every application.
#pragma once

#include <cstdint>
#include <string_view>

namespace hovermark::atspi {

// None for a number past the table, and for "extended", whose name only the application can give.
std::string_view RoleName(std::uint32_t role);

}  // namespace hovermark::atspi
