// The window system of an X11 desktop, on XCB. It answers the logic's eight questions about other programs'
// windows with X requests whose errors come back with their replies, so a window that vanishes between two
// requests is an ordinary failed call. It changes nothing but Hovermark's own windows.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>

#include "window_inspection/window_system.h"

namespace hovermark::x11 {

// What SetWindowPos did to one of the program's own windows, for the toolkit that owns it.
struct OwnWindowState {
    WindowHandle window = 0;
    Rectangle outer;      // root coordinates, border included
    bool mapped = false;  // the logic's idea of shown: a bar of size 0 is mapped but shows no pixel
};

class XcbWindowSystem final : public WindowSystem {
  public:
    // Works on a connection someone else owns (the toolkit's), on the screen whose root is `root`.
    XcbWindowSystem(xcb_connection_t* connection, xcb_window_t root);

    // Called before SetWindowPos returns whenever it changed the size, place or mapping of one of the
    // program's own windows, so the toolkit that owns the window stays in step with it (and raises the
    // window's resize event inside the call, as the logic expects).
    using OwnWindowChanged = std::function<void(const OwnWindowState&)>;
    void SetOwnWindowChangedHandler(OwnWindowChanged handler);

    std::int32_t GetCursorPos(Point& point) override;
    WindowHandle WindowFromPoint(Point point) override;
    std::string GetClassNameA(WindowHandle window, std::int32_t max_count) override;
    std::int32_t GetWindowTextLengthA(WindowHandle window) override;
    std::string GetWindowTextA(WindowHandle window, std::int32_t max_count) override;
    std::int32_t GetWindowLongA(WindowHandle window, std::int32_t index) override;
    std::int32_t GetWindowRect(WindowHandle window, Rectangle& rect) override;
    std::int32_t SetWindowPos(WindowHandle window,
                              WindowHandle insert_after,
                              std::int32_t x,
                              std::int32_t y,
                              std::int32_t cx,
                              std::int32_t cy,
                              std::uint32_t flags) override;

  private:
    xcb_connection_t* connection_;
    xcb_window_t root_;
    OwnWindowChanged own_window_changed_;
};

}  // namespace hovermark::x11
