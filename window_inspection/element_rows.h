// Turns the elements under the pointer into rows of the report list, above the rows of the window that holds
// them.
#pragma once

#include <cstddef>
#include <vector>

#include "main_window/toolkit/form_toolkit.h"
#include "window_inspection/element_system.h"

namespace hovermark {

// Appends one row per element, in the order given, at most `max_rows`: the role as the row's text, an empty
// handle column, the name as sub-item 2, both cleaned. Row 1 of the list is made bold. Returns the rows added.
std::size_t ListElementRows(ReportListPeer& lstInfo, const std::vector<Element>& elements, std::size_t max_rows);

}  // namespace hovermark
