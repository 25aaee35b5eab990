// What checking a window's locator needs of the window system, apart from the eight operations the
// inspection lives on: the windows a test framework would search, in the system's own order, and the facts it
// matches them by. Asked on a thread of the check's own, never on the GUI thread; every call is bounded in
// time by the system, and the check bounds the whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "window_inspection/window_system.h"

namespace hovermark {

struct WindowFacts {
    // The class as a framework reads it (the X class hint's class; the window class name).
    std::string class_name;
    // The whole title as a framework reads it, however long.
    std::string title;
    // A child window's control id; 0 for none and for top-level windows.
    std::int32_t control_id = 0;
    // Shown on the screen (mapped and viewable; visible).
    bool visible = false;
};

class WindowEnumeration {
  public:
    WindowEnumeration() = default;
    WindowEnumeration(const WindowEnumeration&) = delete;
    WindowEnumeration& operator=(const WindowEnumeration&) = delete;
    virtual ~WindowEnumeration() = default;

    // The direct children of `parent`, in the system's own order (X: bottom to top of the stacking order;
    // Windows: the enumeration's order, top of the Z order first). `parent` 0: the top-level windows, the
    // children of the root window or desktop. None when the system could not tell (the window has gone, a
    // call failed or timed out).
    virtual std::optional<std::vector<WindowHandle>> ChildWindows(WindowHandle parent) = 0;
    // None when the window has gone or did not answer in time.
    virtual std::optional<WindowFacts> FactsOf(WindowHandle window) = 0;
};

}  // namespace hovermark
