// What the window system last read about other programs' windows ahead of being asked, kept to answer the
// calls that follow. One rule says when it is stale: it is dropped whole whenever the window system reads
// other programs' windows again (a new tick's reading, a row of the chain, a step of the descent, an owner's
// check), since that shows a later moment and answers of two moments must not mix; and each answer serves one
// call, so a question asked again goes to the server. Reads about Hovermark's own windows do not age it: they
// say nothing about the others.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <xcb/xcb.h>

#include "platform/x11/window_snapshot.h"
#include "window_inspection/window_system.h"

namespace hovermark::x11 {

// Below which window, level by level, the pointer was found; a level left out is not known.
struct ChildrenAtPoint {
    std::vector<xcb_window_t> windows;
    std::vector<std::optional<xcb_window_t>> children;  // none: that window has gone
};

// The calls a window's snapshot answers, each once.
enum class SnapshotUse : unsigned { kClass = 1, kTextLength = 2, kText = 4, kParent = 8 };

class TickReading {
  public:
    // Drops everything kept: called before every read of other programs' windows.
    void Renew() { *this = TickReading{}; }

    void KeepDescent(Point point, ChildrenAtPoint descent);
    void KeepRectangle(xcb_window_t window, std::optional<Rectangle> rect);  // none: that window has gone
    void KeepRootStack(std::vector<xcb_window_t> children);
    // The snapshot just read answers the call that read it: that use is spent.
    const WindowSnapshot& KeepSnapshot(WindowSnapshot snapshot, SnapshotUse first_use);

    // The descent below `point`, if it was read at that point and has not answered yet.
    std::optional<ChildrenAtPoint> TakeDescent(Point point);
    // The rectangle of `window` (itself none when the window had gone), if it was read and has not answered yet.
    std::optional<std::optional<Rectangle>> TakeRectangle(xcb_window_t window);
    // The snapshot of `window`, if it was read and has not yet answered a call of this use.
    const WindowSnapshot* TakeSnapshot(xcb_window_t window, SnapshotUse use);
    // The root's children from the bottom of the stack to the top, or null. It answers every placement of
    // Hovermark's own windows, which note their own raises in it.
    std::vector<xcb_window_t>* RootStack() { return root_stack_ ? &*root_stack_ : nullptr; }

  private:
    struct PointAnswer {
        Point point;
        ChildrenAtPoint descent;
    };
    struct RectangleAnswer {
        xcb_window_t window = XCB_WINDOW_NONE;
        std::optional<Rectangle> rect;
    };

    std::optional<PointAnswer> descent_;
    std::optional<RectangleAnswer> rect_;
    std::optional<std::vector<xcb_window_t>> root_stack_;
    std::optional<WindowSnapshot> snapshot_;
    unsigned snapshot_uses_ = 0;
};

}  // namespace hovermark::x11
