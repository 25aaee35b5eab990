#include "platform/x11/tick_reading.h"

#include <utility>

namespace hovermark::x11 {

void TickReading::KeepDescent(Point point, ChildrenAtPoint descent) {
    descent_ = PointAnswer{point, std::move(descent)};
}

void TickReading::KeepRectangle(xcb_window_t window, std::optional<Rectangle> rect) {
    rect_ = RectangleAnswer{window, rect};
}

void TickReading::KeepRootStack(std::vector<xcb_window_t> children) {
    root_stack_ = std::move(children);
}

const WindowSnapshot& TickReading::KeepSnapshot(WindowSnapshot snapshot, SnapshotUse first_use) {
    snapshot_ = std::move(snapshot);
    snapshot_uses_ = static_cast<unsigned>(first_use);
    return *snapshot_;
}

std::optional<ChildrenAtPoint> TickReading::TakeDescent(Point point) {
    if (!descent_ || descent_->point != point) {
        return std::nullopt;
    }
    ChildrenAtPoint descent = std::move(descent_->descent);
    descent_.reset();
    return descent;
}

std::optional<std::optional<Rectangle>> TickReading::TakeRectangle(xcb_window_t window) {
    if (!rect_ || rect_->window != window) {
        return std::nullopt;
    }
    const std::optional<Rectangle> rect = rect_->rect;
    rect_.reset();
    return rect;
}

const WindowSnapshot* TickReading::TakeSnapshot(xcb_window_t window, SnapshotUse use) {
    const auto bit = static_cast<unsigned>(use);
    if (!snapshot_ || snapshot_->window != window || (snapshot_uses_ & bit) != 0) {
        return nullptr;
    }
    snapshot_uses_ |= bit;
    return &*snapshot_;
}

}  // namespace hovermark::x11
