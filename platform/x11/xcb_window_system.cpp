#include "platform/x11/xcb_window_system.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

#include "platform/x11/property_text.h"
#include "platform/x11/window_ids.h"
#include "platform/x11/window_rectangle.h"

namespace hovermark::x11 {
namespace {

namespace constants = window_system_constants;

// Deeper than any real window tree; only a tree that changes under the descent could lead further.
constexpr std::size_t kMaxDescentDepth = 256;
// A window that vanishes during the descent starts it again from the root, this many times at most.
constexpr int kDescentAttempts = 3;

// X coordinates are 16-bit; a point beyond them lies off every screen, as its nearest coordinate does.
std::int16_t ToCoordinate(std::int32_t value) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(value, std::numeric_limits<std::int16_t>::min(),
                                                              std::numeric_limits<std::int16_t>::max()));
}

std::optional<Rectangle> ReceiveOuter(XcbRequests& requests, const RectangleRequest& request) {
    const std::optional<WindowRectangle> rectangle = ReceiveRectangle(requests, request);
    return rectangle ? std::optional<Rectangle>(rectangle->outer) : std::nullopt;
}

std::optional<std::vector<xcb_window_t>> ReceiveChildren(XcbRequests& requests, xcb_query_tree_cookie_t cookie) {
    const auto tree = requests.Receive(cookie, xcb_query_tree_reply);
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get()));
}

}  // namespace

XcbWindowSystem::XcbWindowSystem(xcb_connection_t* connection, xcb_window_t root, std::string display_name)
    : requests_(connection),
      root_(root),
      atoms_(InternAtoms(requests_)),
      own_windows_(requests_, atoms_, root),
      display_name_(std::move(display_name)) {}

void XcbWindowSystem::SetOwnWindowChangedHandler(OwnWindowChanged handler) {
    own_windows_.SetChangedHandler(std::move(handler));
}

std::int32_t XcbWindowSystem::ResizeOwnWindow(WindowHandle window, std::int32_t width, std::int32_t height) {
    return own_windows_.Resize(ToXcbWindow(window), width, height);
}

std::int32_t XcbWindowSystem::ShowOwnWindow(WindowHandle window, bool shown) {
    return own_windows_.SetShown(ToXcbWindow(window), shown);
}

std::optional<FrameExtents> XcbWindowSystem::OwnWindowFrameExtents(WindowHandle window) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (!own_windows_.IsOwn(xcb_window)) {
        return std::nullopt;
    }
    return RequestFrameExtents(requests_, atoms_, root_, xcb_window);
}

std::vector<xcb_window_t> XcbWindowSystem::LastDescentFromRoot() const {
    std::vector<xcb_window_t> windows{root_};
    windows.insert(windows.end(), last_descent_.begin(), last_descent_.end());
    return windows;
}

std::int32_t XcbWindowSystem::GetCursorPos(Point& point) {
    reading_.Renew();
    if (requests_.Broken()) {
        return 0;
    }
    xcb_connection_t* connection = requests_.connection();
    ChildrenAtPoint descent;
    descent.windows = LastDescentFromRoot();
    std::vector<xcb_query_pointer_cookie_t> cookies;
    cookies.reserve(descent.windows.size());
    for (const xcb_window_t window : descent.windows) {
        cookies.push_back(requests_.Sent(xcb_query_pointer(connection, window)));
    }
    std::optional<RectangleRequest> rectangle;
    if (last_rect_window_ != XCB_WINDOW_NONE) {
        rectangle = RequestRectangle(requests_, root_, last_rect_window_);
    }
    const auto stack = requests_.Sent(xcb_query_tree(connection, root_));

    std::vector<XcbReply<xcb_query_pointer_reply_t>> replies;
    replies.reserve(cookies.size());
    for (const auto& cookie : cookies) {
        replies.push_back(requests_.Receive(cookie, xcb_query_pointer_reply));
    }
    if (rectangle) {
        reading_.KeepRectangle(last_rect_window_, ReceiveOuter(requests_, *rectangle));
    }
    if (auto children = ReceiveChildren(requests_, stack)) {
        reading_.KeepRootStack(std::move(*children));
    }
    if (!replies.front()) {
        return 0;
    }
    point = Point{replies.front()->root_x, replies.front()->root_y};

    // Each reply names the child under the pointer as the pointer stood when the server answered it; a level
    // where the pointer had moved on, or was on another screen, and every level below it, stay unknown.
    std::size_t known_levels = 0;
    for (const auto& reply : replies) {
        if (reply && (reply->same_screen == 0 || reply->root_x != point.x || reply->root_y != point.y)) {
            break;
        }
        descent.children.push_back(reply ? std::optional<xcb_window_t>(reply->child) : std::nullopt);
        ++known_levels;
    }
    descent.windows.resize(known_levels);
    reading_.KeepDescent(point, std::move(descent));
    return 1;
}

WindowHandle XcbWindowSystem::WindowFromPoint(Point point) {
    if (requests_.Broken()) {
        reading_.Renew();
        return 0;
    }
    std::optional<ChildrenAtPoint> known = reading_.TakeDescent(point);
    if (!known) {
        // Most ticks find the same windows as the last one: ask all of the last descent's levels at once.
        known = AskChildrenAt(point, LastDescentFromRoot());
    }
    return ToHandle(Descend(point, std::move(*known)));
}

ChildrenAtPoint XcbWindowSystem::AskChildrenAt(Point point, const std::vector<xcb_window_t>& windows) {
    reading_.Renew();
    std::vector<xcb_translate_coordinates_cookie_t> cookies;
    cookies.reserve(windows.size());
    for (const xcb_window_t window : windows) {
        cookies.push_back(requests_.Sent(xcb_translate_coordinates(requests_.connection(), root_, window,
                                                                   ToCoordinate(point.x), ToCoordinate(point.y))));
    }
    ChildrenAtPoint answer;
    answer.windows = windows;
    for (const auto& cookie : cookies) {
        const auto reply = requests_.Receive(cookie, xcb_translate_coordinates_reply);
        answer.children.push_back(reply ? std::optional<xcb_window_t>(reply->child) : std::nullopt);
    }
    return answer;
}

// From the root down, through the topmost mapped child at the point at each level, to the deepest window
// there. Levels already known are taken as they are; past the first level that differs from them, each
// level is one more round trip.
xcb_window_t XcbWindowSystem::Descend(Point point, ChildrenAtPoint known) {
    xcb_window_t deepest_standing = XCB_WINDOW_NONE;
    for (int attempt = 0; attempt < kDescentAttempts; ++attempt) {
        std::vector<xcb_window_t> path;
        xcb_window_t current = root_;
        std::size_t level = 0;
        bool vanished = false;
        while (path.size() < kMaxDescentDepth) {
            std::optional<xcb_window_t> child;
            if (level < known.windows.size() && known.windows[level] == current) {
                child = known.children[level++];
            } else {
                level = known.windows.size();
                child = AskChildrenAt(point, {current}).children.front();
            }
            if (!child) {
                vanished = true;
                break;
            }
            if (*child == XCB_WINDOW_NONE) {
                break;
            }
            deepest_standing = current;
            path.push_back(*child);
            current = *child;
        }
        if (!vanished) {
            last_descent_ = std::move(path);
            return current;
        }
        known = {};
        if (requests_.Broken()) {
            break;
        }
    }
    // Windows kept vanishing under the point: the deepest one that still stood when it was asked.
    last_descent_.clear();
    return deepest_standing;
}

const WindowSnapshot& XcbWindowSystem::SnapshotFor(xcb_window_t window, SnapshotUse use) {
    if (const WindowSnapshot* known = reading_.TakeSnapshot(window, use)) {
        return *known;
    }
    reading_.Renew();
    return reading_.KeepSnapshot(ReadWindowSnapshot(requests_, atoms_, window), use);
}

std::string XcbWindowSystem::GetClassNameA(WindowHandle window, std::int32_t max_count) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (xcb_window == XCB_WINDOW_NONE || max_count <= 0) {
        return {};
    }
    return FitIntoBuffer(SnapshotFor(xcb_window, SnapshotUse::kClass).class_name, max_count);
}

std::int32_t XcbWindowSystem::GetWindowTextLengthA(WindowHandle window) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (xcb_window == XCB_WINDOW_NONE) {
        return 0;
    }
    const std::size_t length = SnapshotFor(xcb_window, SnapshotUse::kTextLength).title.size();
    return static_cast<std::int32_t>(std::min<std::size_t>(length, std::numeric_limits<std::int32_t>::max()));
}

std::string XcbWindowSystem::GetWindowTextA(WindowHandle window, std::int32_t max_count) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (xcb_window == XCB_WINDOW_NONE || max_count <= 0) {
        return {};
    }
    return FitIntoBuffer(SnapshotFor(xcb_window, SnapshotUse::kText).title, max_count);
}

std::int32_t XcbWindowSystem::GetWindowLongA(WindowHandle window, std::int32_t index) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (index != constants::GWL_HWNDPARENT || xcb_window == XCB_WINDOW_NONE || xcb_window == root_) {
        return 0;
    }
    const WindowSnapshot& snapshot = SnapshotFor(xcb_window, SnapshotUse::kParent);
    if (!snapshot.exists) {
        return 0;
    }
    const bool top_level = snapshot.has_wm_state || snapshot.parent == root_;
    if (!top_level) {
        return ToHandle(snapshot.parent);
    }
    const xcb_window_t owner = snapshot.transient_for;
    if (owner == XCB_WINDOW_NONE || owner == xcb_window || owner == root_ || !Exists(owner)) {
        return 0;
    }
    return ToHandle(owner);
}

std::optional<TopLevelWindow> XcbWindowSystem::TopLevelOf(WindowHandle window) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (xcb_window == XCB_WINDOW_NONE || requests_.Broken()) {
        return std::nullopt;
    }
    reading_.Renew();
    return ReadTopLevelWindow(requests_, atoms_, root_, xcb_window);
}

bool XcbWindowSystem::TopLevelChangedSinceLastAsked(WindowHandle top_level) {
    if (!content_watch_tried_) {
        content_watch_tried_ = true;
        content_watch_ = ContentWatch::Open(display_name_);
    }
    const xcb_window_t xcb_window = ToXcbWindow(top_level);
    return content_watch_ == nullptr || xcb_window == XCB_WINDOW_NONE ||
           content_watch_->ChangedSinceLastAsked(xcb_window);
}

void XcbWindowSystem::StopWatchingTopLevel() noexcept {
    content_watch_.reset();
    content_watch_tried_ = false;
}

bool XcbWindowSystem::Exists(xcb_window_t window) {
    reading_.Renew();
    const auto cookie = requests_.Sent(xcb_get_geometry(requests_.connection(), window));
    return requests_.Receive(cookie, xcb_get_geometry_reply) != nullptr;
}

std::int32_t XcbWindowSystem::GetWindowRect(WindowHandle window, Rectangle& rect) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (xcb_window == XCB_WINDOW_NONE || requests_.Broken()) {
        return 0;
    }
    last_rect_window_ = xcb_window;
    std::optional<std::optional<Rectangle>> known = reading_.TakeRectangle(xcb_window);
    if (!known) {
        // While paused the tick starts here: the bars' placement that follows wants the stack, as above.
        reading_.Renew();
        const RectangleRequest request = RequestRectangle(requests_, root_, xcb_window);
        const auto stack = requests_.Sent(xcb_query_tree(requests_.connection(), root_));
        known = ReceiveOuter(requests_, request);
        if (auto children = ReceiveChildren(requests_, stack)) {
            reading_.KeepRootStack(std::move(*children));
        }
    }
    if (!*known) {
        return 0;
    }
    rect = **known;
    return 1;
}

std::int32_t XcbWindowSystem::SetWindowPos(WindowHandle window,
                                           WindowHandle insert_after,
                                           std::int32_t x,
                                           std::int32_t y,
                                           std::int32_t cx,
                                           std::int32_t cy,
                                           std::uint32_t flags) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (xcb_window == XCB_WINDOW_NONE) {
        return 0;
    }
    return own_windows_.SetWindowPos(xcb_window, insert_after, x, y, cx, cy, flags, reading_.RootStack());
}

}  // namespace hovermark::x11
