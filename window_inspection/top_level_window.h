// The application top-level window that holds a window, as a reader of the elements inside it must know it:
// toolkits that draw their controls inside one window describe them per top-level window and process. The
// window system's front end reads it; an element system uses it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "window_inspection/window_system.h"

namespace hovermark {

struct TopLevelWindow {
    // The application's top-level window that holds the window asked about (possibly that window itself).
    WindowHandle top_level = 0;
    // The process that says it owns the top-level window; none when it does not say.
    std::optional<std::uint32_t> pid;
    // The top-level window's own rectangle in screen pixels, without any window manager's frame.
    Rectangle rect{};
    // Its title, UTF-8.
    std::string title;
    friend bool operator==(const TopLevelWindow&, const TopLevelWindow&) = default;
};

}  // namespace hovermark
