// What the element system needs to know about windows, and cannot learn from the accessibility bus: which
// top-level window holds a window, which process owns it, and where it really stands on the screen. The
// window system's front end answers it; this folder stays free of any window-system library.
#pragma once

#include <optional>

#include "window_inspection/top_level_window.h"
#include "window_inspection/window_system.h"

namespace hovermark::atspi {

class TopLevelFacts {
  public:
    TopLevelFacts() = default;
    TopLevelFacts(const TopLevelFacts&) = delete;
    TopLevelFacts& operator=(const TopLevelFacts&) = delete;
    virtual ~TopLevelFacts() = default;

    // None when the window has gone or belongs to no application's top-level window.
    virtual std::optional<TopLevelWindow> TopLevelOf(WindowHandle window) = 0;

    // Whether the top-level window may show anything new since it was last asked about: drawn, moved,
    // resized or gone. While it shows nothing new, what was found inside it still stands. Where that cannot
    // be told, always true.
    virtual bool ChangedSinceLastAsked(WindowHandle /*top_level*/) { return true; }

    // Looking inside windows has stopped: whatever watches the window asked about last lets go of it.
    virtual void StopWatching() noexcept {}
};

}  // namespace hovermark::atspi
