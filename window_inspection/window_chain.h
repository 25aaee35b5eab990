// Turns one window into rows of the report list: the window itself, then each parent (for a child window)
// or owner (for a top-level window) above it, up to the window that has neither.
#pragma once

#include <cstddef>
#include <cstdint>

#include "main_window/toolkit/form_toolkit.h"
#include "window_inspection/window_system.h"

namespace hovermark {

// Room given to the window system for a class name.
inline constexpr std::int32_t kClassNameBufferSize = 256;
// A chain longer than this is not a real chain but a window system handing out a loop through handles it
// keeps reusing; the listing stops there.
inline constexpr std::size_t kMaxChainRows = 1000;

// Appends one row per window of the chain that starts at `window`, at most `max_rows` (at least one): class
// name as the row's text, the handle in decimal as sub-item 1, the window text as sub-item 2. Row 1 of the
// list is made bold. The list is never cleared here.
void ListWindowChain(WindowSystem& window_system,
                     ReportListPeer& lstInfo,
                     WindowHandle window,
                     std::size_t max_rows = kMaxChainRows);

}  // namespace hovermark
