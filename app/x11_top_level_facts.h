// Hands the element system what it needs to know about windows, from the X11 window system: the two know
// nothing of each other, and the program's start puts them together.
#pragma once

#include <optional>

#include "platform/atspi/top_level_facts.h"
#include "platform/x11/xcb_window_system.h"

namespace hovermark {

class X11TopLevelFacts final : public atspi::TopLevelFacts {
  public:
    explicit X11TopLevelFacts(x11::XcbWindowSystem& window_system) : window_system_(window_system) {}

    std::optional<TopLevelWindow> TopLevelOf(WindowHandle window) override { return window_system_.TopLevelOf(window); }

    bool ChangedSinceLastAsked(WindowHandle top_level) override {
        return window_system_.TopLevelChangedSinceLastAsked(top_level);
    }

    void StopWatching() noexcept override { window_system_.StopWatchingTopLevel(); }

  private:
    x11::XcbWindowSystem& window_system_;
};

}  // namespace hovermark
