// Whether another program's top-level window has shown anything new since it was last asked about: drawn
// (the DAMAGE extension), moved, resized, unmapped or destroyed. Looking inside a window costs calls to its
// application; while nothing of the window has changed on the screen, the answers of the last ask still
// stand, and the pointer resting there costs no call at all. The watch listens on an X connection of its
// own, so the toolkit's event queue never sees its events, and reading them costs no round trip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <xcb/xcb.h>

namespace hovermark::x11 {

class ContentWatch {
  public:
    // On the display of that name (the one DISPLAY names when empty); none when it cannot be reached or has
    // no DAMAGE extension.
    static std::unique_ptr<ContentWatch> Open(const std::string& display_name);
    ContentWatch(const ContentWatch&) = delete;
    ContentWatch& operator=(const ContentWatch&) = delete;
    // Closes the connection, and with it the server ends the damage and the events selected on the window.
    ~ContentWatch();

    // True the first time a window is asked about (it is watched from then on, in place of the one before),
    // and whenever it changed since the last ask; also whenever the watch itself has failed.
    bool ChangedSinceLastAsked(xcb_window_t window);

  private:
    ContentWatch(xcb_connection_t* connection, std::uint8_t first_damage_event);
    void Watch(xcb_window_t window);
    void StopWatching();
    void ClearDamage();
    // Reads every event that has arrived; whether one of them speaks of the watched window.
    bool TakeEvents();

    xcb_connection_t* connection_;
    std::uint8_t damage_notify_;
    xcb_window_t watched_ = XCB_WINDOW_NONE;
    std::uint32_t damage_ = XCB_NONE;
};

}  // namespace hovermark::x11
