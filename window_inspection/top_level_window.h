// The application top-level window that holds a window, as a reader of the elements inside it must know it:
// toolkits that draw their controls inside one window describe them per top-level window and process. The
// window system's front end reads it; an element system uses it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "window_inspection/window_system.h"

namespace hovermark {

// How far in from each side of a window its own content begins, where the toolkit draws its frame and shadow
// itself (client-side decorations).
struct Insets {
    std::int32_t left = 0;
    std::int32_t right = 0;
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Insets&, const Insets&) = default;
};

struct TopLevelWindow {
    // The application's top-level window that holds the window asked about (possibly that window itself).
    WindowHandle top_level = 0;
    // The process that says it owns the top-level window; none when it does not say.
    std::optional<std::uint32_t> pid;
    // The top-level window's own rectangle in screen pixels, without any window manager's frame.
    Rectangle rect{};
    // Its title, UTF-8.
    std::string title;
    // The shadow and resize margins that the toolkit says it draws inside `rect`; none when it says nothing.
    std::optional<Insets> drawn_margins;
    friend bool operator==(const TopLevelWindow&, const TopLevelWindow&) = default;
};

}  // namespace hovermark
