// Placement, stacking and showing of Hovermark's own windows: the frame bars (override-redirect windows
// that X stacks itself) and the main window (managed: its stacking goes through the window manager).
// Windows of other clients are never touched. This is the one place that sets the bars' place, size and
// mapping; the toolkit follows what it reports. What each own window was last given is remembered, and the
// root's stacking order is read with the tick's one round trip, so the tick that places the four bars where
// they already are, uncovered, sends no request at all: no restacking among the bars themselves, and no
// ConfigureNotify for the toolkit to answer, 40 times a second.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include <xcb/xcb.h>

#include "platform/x11/x11_atoms.h"
#include "platform/x11/xcb_requests.h"
#include "window_inspection/window_system.h"

namespace hovermark::x11 {

// What one of the program's own windows has become, for the toolkit that shows it.
struct OwnWindowState {
    WindowHandle window = 0;
    Rectangle outer;      // root coordinates, border included
    bool mapped = false;  // the logic's idea of shown: a bar of size 0 is mapped but shows no pixel
};

class OwnWindows {
  public:
    using Changed = std::function<void(const OwnWindowState&)>;

    OwnWindows(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t root);

    // Whether the id lies in the range the server gave this connection for the windows it creates.
    bool IsOwn(xcb_window_t window) const;

    // Told of every change of an own window's place, size or mapping, before the call that made it returns.
    void SetChangedHandler(Changed handler) { changed_ = std::move(handler); }

    // `root_stack`: the root's children from the bottom of the stack to the top, as the tick's reading has
    // them, or null; without it, every "topmost" placement of a bar raises the bar.
    std::int32_t SetWindowPos(xcb_window_t window,
                              WindowHandle insert_after,
                              std::int32_t x,
                              std::int32_t y,
                              std::int32_t cx,
                              std::int32_t cy,
                              std::uint32_t flags,
                              std::vector<xcb_window_t>* root_stack);
    // A new size where the window stands, its stacking unchanged.
    std::int32_t Resize(xcb_window_t window, std::int32_t width, std::int32_t height);
    // Maps or unmaps the window.
    std::int32_t SetShown(xcb_window_t window, bool shown);

  private:
    struct Record {
        bool override_redirect = false;
        std::uint16_t border_width = 0;
        Rectangle outer;  // as the logic sees it: a size of 0 stays 0
        bool mapped = false;
        bool shape_emptied = false;  // shown as 1 pixel with nothing in its bounding shape
    };

    // What the window was last given, read from the server the first time; null when it is not one of the
    // program's windows or has gone.
    Record* Known(xcb_window_t window);
    void Map(xcb_window_t window, const Record& record);
    void Commit(xcb_window_t window, Record& record, const Record& now);
    bool IsBar(xcb_window_t window) const;
    bool RaiseBar(xcb_window_t window, std::vector<xcb_window_t>* root_stack);  // whether it sent a request
    std::optional<Record> ReadRecord(xcb_window_t window);
    std::optional<bool> ReadMapped(xcb_window_t window);
    void KeepAboveThroughWindowManager(xcb_window_t window, bool above);
    void SetEmptyShape(xcb_window_t window, bool empty);

    XcbRequests& requests_;
    const X11Atoms& atoms_;
    xcb_window_t root_;
    std::uint32_t resource_id_base_ = 0;
    std::uint32_t resource_id_mask_ = 0;
    bool shape_available_ = false;
    std::unordered_map<xcb_window_t, Record> records_;
    Changed changed_;
};

}  // namespace hovermark::x11
