// The window system of an X11 desktop, on XCB. It answers the logic's eight questions about other programs'
// windows with X requests whose errors come back with their replies, so a window that vanishes between two
// requests is an ordinary failed call. It changes nothing but Hovermark's own windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <xcb/xcb.h>

#include "platform/x11/content_watch.h"
#include "platform/x11/frame_extents.h"
#include "platform/x11/own_windows.h"
#include "platform/x11/tick_reading.h"
#include "platform/x11/top_level_window.h"
#include "platform/x11/x11_atoms.h"
#include "platform/x11/xcb_requests.h"
#include "window_inspection/window_system.h"

namespace hovermark::x11 {

// Handles are X window ids, which fit in 31 bits; 0 is no window.
//
// The chain's next window (GetWindowLongA with GWL_HWNDPARENT):
// - a window inside an application's top-level window, or inside a window manager's frame: its X parent;
// - an application's top-level window (it carries WM_STATE) or a window directly below the root: the owner
//   its WM_TRANSIENT_FOR names, if that is another window and exists and is not the root; otherwise 0, so the
//   window manager's frame and the root are never listed above a top-level window;
// - the root, and any id that names no window: 0.
//
// A steady tick costs one round trip: GetCursorPos asks, in the same batch, which child lies under the
// pointer at every level of the last descent, where the window whose rectangle was read last now lies, and
// how the root's children are stacked; WindowFromPoint and GetWindowRect then answer from that reading when
// it still fits, and the bars' placement sends nothing when they already stand there, uncovered. A row of the
// chain listing costs one round trip (two with an owner to check): the first call about a window reads all
// its properties at once, and the calls that follow about the same window use that reading once each. When
// such answers are stale is TickReading's one rule, whatever order the calls come in.
class XcbWindowSystem final : public WindowSystem {
  public:
    // Works on a connection someone else owns (the toolkit's), on the screen whose root is `root`; a
    // connection of its own, when it needs one, goes to the display of that name (the one DISPLAY names when
    // empty).
    XcbWindowSystem(xcb_connection_t* connection, xcb_window_t root, std::string display_name = {});

    // Hovermark's own windows: the bars' place, size and mapping are this side's, whoever asks for a change
    // (the logic with SetWindowPos, or their toolkit). The toolkit that shows them hears of every change
    // before the call that made it returns, so it can raise the window's Resize inside the call, as the logic
    // expects; an empty handler stops that.
    using OwnWindowChanged = std::function<void(const OwnWindowState&)>;
    void SetOwnWindowChangedHandler(OwnWindowChanged handler);
    // The toolkit's own changes to a bar: a new size where it stands, shown or hidden.
    std::int32_t ResizeOwnWindow(WindowHandle window, std::int32_t width, std::int32_t height);
    std::int32_t ShowOwnWindow(WindowHandle window, bool shown);
    // The frame the window manager will put around one of Hovermark's windows before it is first shown.
    std::optional<FrameExtents> OwnWindowFrameExtents(WindowHandle window);

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

    // The application's top-level window that holds `window`, for a reader of the elements inside it. A read
    // of other programs' windows like any other: the tick's reading ahead is spent.
    std::optional<TopLevelWindow> TopLevelOf(WindowHandle window);
    // Whether that top-level window may show anything new since it was last asked about (see ContentWatch);
    // always true where that cannot be told. Only the window asked about last is watched.
    bool TopLevelChangedSinceLastAsked(WindowHandle top_level);
    // Lets go of the watch on that window, its X connection included; the next ask watches afresh.
    void StopWatchingTopLevel() noexcept;

    // Replies waited for since construction; a batch of requests sent together counts once.
    std::uint64_t RoundTrips() const { return requests_.RoundTrips(); }

  private:
    const WindowSnapshot& SnapshotFor(xcb_window_t window, SnapshotUse use);
    ChildrenAtPoint AskChildrenAt(Point point, const std::vector<xcb_window_t>& windows);
    xcb_window_t Descend(Point point, ChildrenAtPoint known);
    bool Exists(xcb_window_t window);
    std::vector<xcb_window_t> LastDescentFromRoot() const;

    XcbRequests requests_;
    xcb_window_t root_;
    X11Atoms atoms_;
    OwnWindows own_windows_;
    TickReading reading_;
    // What the last tick found, where the next one looks first: not answers, so never stale.
    std::vector<xcb_window_t> last_descent_;  // the root's child at the point, its child there, and so on
    xcb_window_t last_rect_window_ = XCB_WINDOW_NONE;
    std::string display_name_;
    // Opened at the first ask, so a program that never looks inside windows never opens it.
    std::unique_ptr<ContentWatch> content_watch_;
    bool content_watch_tried_ = false;
};

}  // namespace hovermark::x11
