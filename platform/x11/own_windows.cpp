#include "platform/x11/own_windows.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include <xcb/shape.h>

#include "platform/x11/window_ids.h"
#include "platform/x11/window_manager.h"
#include "platform/x11/window_rectangle.h"

namespace hovermark::x11 {
namespace {

namespace constants = window_system_constants;

// X coordinates are 16-bit on the wire and sizes at most 15 bits in practice; the logic's 32-bit values are
// held inside that range rather than wrapped.
constexpr std::int32_t kMinCoordinate = -32768;
constexpr std::int32_t kMaxCoordinate = 32767;
constexpr std::int32_t kMaxSize = 32767;

// _NET_WM_STATE client message: the action in its first field, "a normal application" as its source.
constexpr std::uint32_t kNetWmStateRemove = 0;
constexpr std::uint32_t kNetWmStateAdd = 1;
constexpr std::uint32_t kSourceIsApplication = 1;
constexpr std::uint32_t kMaxNetWmStateAtoms = 256;

std::int32_t Width(const Rectangle& rect) {
    return rect.Right - rect.Left;
}

std::int32_t Height(const Rectangle& rect) {
    return rect.Bottom - rect.Top;
}

// The stack as it now is, after the program raised one of its windows to the top.
void NoteRaised(std::vector<xcb_window_t>* root_stack, xcb_window_t window) {
    if (root_stack != nullptr) {
        std::erase(*root_stack, window);
        root_stack->push_back(window);
    }
}

}  // namespace

OwnWindows::OwnWindows(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t root)
    : requests_(requests), atoms_(atoms), root_(root) {
    if (const xcb_setup_t* setup = xcb_get_setup(requests_.connection())) {
        resource_id_base_ = setup->resource_id_base;
        resource_id_mask_ = setup->resource_id_mask;
    }
    if (!requests_.Broken()) {
        const xcb_query_extension_reply_t* shape = xcb_get_extension_data(requests_.connection(), &xcb_shape_id);
        shape_available_ = shape != nullptr && shape->present != 0;
    }
}

bool OwnWindows::IsOwn(xcb_window_t window) const {
    return resource_id_mask_ != 0 && window != XCB_WINDOW_NONE && (window & ~resource_id_mask_) == resource_id_base_;
}

OwnWindows::Record* OwnWindows::Known(xcb_window_t window) {
    if (!IsOwn(window) || requests_.Broken()) {
        return nullptr;
    }
    auto found = records_.find(window);
    if (found == records_.end()) {
        const auto record = ReadRecord(window);
        if (!record) {
            return nullptr;
        }
        found = records_.emplace(window, *record).first;
    }
    return &found->second;
}

std::int32_t OwnWindows::SetWindowPos(xcb_window_t window,
                                      WindowHandle insert_after,
                                      std::int32_t x,
                                      std::int32_t y,
                                      std::int32_t cx,
                                      std::int32_t cy,
                                      std::uint32_t flags,
                                      std::vector<xcb_window_t>* root_stack) {
    Record* known = Known(window);
    if (known == nullptr) {
        return 0;
    }
    const bool show = (flags & constants::SWP_SHOWWINDOW) != 0;
    if (show && !known->override_redirect) {
        // The toolkit shows and hides the main window itself; showing is rare enough to ask.
        const auto mapped = ReadMapped(window);
        if (!mapped) {
            records_.erase(window);
            return 0;
        }
        known->mapped = *mapped;
    }
    Record& record = *known;
    Record wanted = record;

    // Only what differs from what this window was last given is sent.
    std::array<std::uint32_t, 5> values{};
    std::size_t value_count = 0;
    std::uint16_t value_mask = 0;
    if ((flags & constants::SWP_NOMOVE) == 0) {
        const std::int32_t left = std::clamp(x, kMinCoordinate, kMaxCoordinate);
        const std::int32_t top = std::clamp(y, kMinCoordinate, kMaxCoordinate);
        wanted.outer = Rectangle{left, top, left + Width(record.outer), top + Height(record.outer)};
        if (left != record.outer.Left || top != record.outer.Top) {
            value_mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
            values[value_count++] = static_cast<std::uint32_t>(left);
            values[value_count++] = static_cast<std::uint32_t>(top);
        }
    }
    if ((flags & constants::SWP_NOSIZE) == 0) {
        const std::int32_t width = std::clamp(cx, 0, kMaxSize);
        const std::int32_t height = std::clamp(cy, 0, kMaxSize);
        wanted.outer.Right = wanted.outer.Left + width;
        wanted.outer.Bottom = wanted.outer.Top + height;
        if (width != Width(record.outer) || height != Height(record.outer)) {
            // X has no window of width or height 0: such a window stays 1 pixel and shows nothing (below).
            const std::int32_t borders = 2 * record.border_width;
            value_mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
            values[value_count++] = static_cast<std::uint32_t>(std::max(1, width - borders));
            values[value_count++] = static_cast<std::uint32_t>(std::max(1, height - borders));
        }
    }
    const bool topmost = insert_after == constants::HWND_TOPMOST;
    bool sent = false;
    // A managed window is kept on top by the window manager; a bar is raised below, at its new place.
    if (!record.override_redirect && (topmost || insert_after == constants::HWND_NOTOPMOST)) {
        if (WindowManagerRuns(requests_, atoms_, root_)) {
            KeepAboveThroughWindowManager(window, topmost);
            sent = true;
        } else if (topmost) {
            value_mask |= XCB_CONFIG_WINDOW_STACK_MODE;
            values[value_count++] = XCB_STACK_MODE_ABOVE;
            NoteRaised(root_stack, window);
        }
    }

    wanted.shape_emptied = shape_available_ && (Width(wanted.outer) == 0 || Height(wanted.outer) == 0);
    // A bar that grows out of its empty shape while mapped is mapped afresh at its new size: XWayland under sway
    // otherwise goes on showing only the pixel it had, and nothing of the rest until the bar next moves.
    const bool map_afresh = record.override_redirect && record.mapped && record.shape_emptied && !wanted.shape_emptied;
    if (map_afresh) {
        xcb_unmap_window(requests_.connection(), window);
        sent = true;
    }
    // The shape goes before a shrink to 1 pixel and after a growth to a real size, so no stray pixel shows.
    if (wanted.shape_emptied && !record.shape_emptied) {
        SetEmptyShape(window, true);
        sent = true;
    }
    if (value_mask != 0) {
        xcb_configure_window(requests_.connection(), window, value_mask, values.data());
        sent = true;
    }
    if (!wanted.shape_emptied && record.shape_emptied) {
        SetEmptyShape(window, false);
        sent = true;
    }
    if (record.override_redirect && topmost) {
        sent = RaiseBar(window, root_stack) || sent;
    }
    if ((show && !record.mapped) || map_afresh) {
        Map(window, record);
        wanted.mapped = true;
        sent = true;
    }
    if (sent) {
        xcb_flush(requests_.connection());
    }
    Commit(window, record, wanted);
    return 1;
}

std::int32_t OwnWindows::Resize(xcb_window_t window, std::int32_t width, std::int32_t height) {
    // No stacking order named: the window stays where it is in the stack.
    const WindowHandle keep_stacking = 0;
    return SetWindowPos(window, keep_stacking, 0, 0, width, height, constants::SWP_NOMOVE, nullptr);
}

std::int32_t OwnWindows::SetShown(xcb_window_t window, bool shown) {
    Record* record = Known(window);
    if (record == nullptr) {
        return 0;
    }
    if (record->mapped != shown) {
        if (shown) {
            Map(window, *record);
        } else {
            xcb_unmap_window(requests_.connection(), window);
        }
        xcb_flush(requests_.connection());
        Record now = *record;
        now.mapped = shown;
        Commit(window, *record, now);
    }
    return 1;
}

void OwnWindows::Map(xcb_window_t window, const Record& record) {
    if (!record.override_redirect) {
        // A user time of 0 asks the window manager not to give the window the focus when it maps it.
        const std::uint32_t no_user_time = 0;
        xcb_change_property(requests_.connection(), XCB_PROP_MODE_REPLACE, window, atoms_.net_wm_user_time,
                            XCB_ATOM_CARDINAL, 32, 1, &no_user_time);
    }
    xcb_map_window(requests_.connection(), window);
}

// The toolkit hears of a change inside the call, after the record holds it, so that whatever its handler
// asks in turn finds the window as it now is.
void OwnWindows::Commit(xcb_window_t window, Record& record, const Record& now) {
    const bool changed = now.outer != record.outer || now.mapped != record.mapped;
    record = now;
    if (changed && changed_) {
        changed_(OwnWindowState{ToHandle(window), record.outer, record.mapped});
    }
}

bool OwnWindows::IsBar(xcb_window_t window) const {
    const auto found = records_.find(window);
    return found != records_.end() && found->second.override_redirect;
}

// "Topmost" for a bar means that no window but another bar covers it. With a fresh reading of the stack,
// only the windows above the bar are looked at, and the server raises the bar over each of them only if it
// overlaps the bar ("top if"): a restacking that changes no pixel is not made, so the bars do not take turns
// with each other, or with another program's topmost windows elsewhere on the screen, and the toolkit hears
// of no restacking. A window of the reading that has gone since makes its request fail; that error is
// dropped here. Without a reading, the bar is simply raised.
bool OwnWindows::RaiseBar(xcb_window_t window, std::vector<xcb_window_t>* root_stack) {
    xcb_connection_t* connection = requests_.connection();
    const auto position = root_stack != nullptr ? std::find(root_stack->begin(), root_stack->end(), window)
                                                : std::vector<xcb_window_t>::iterator{};
    if (root_stack == nullptr || position == root_stack->end()) {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        NoteRaised(root_stack, window);
        return true;
    }
    bool sent = false;
    for (auto sibling = position + 1; sibling != root_stack->end(); ++sibling) {
        if (IsBar(*sibling)) {
            continue;
        }
        sent = true;
        const std::array<std::uint32_t, 2> values{*sibling, XCB_STACK_MODE_TOP_IF};
        const xcb_void_cookie_t cookie = xcb_configure_window_checked(
            connection, window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values.data());
        xcb_discard_reply(connection, cookie.sequence);
    }
    return sent;
}

std::optional<OwnWindows::Record> OwnWindows::ReadRecord(xcb_window_t window) {
    const auto attributes = requests_.Sent(xcb_get_window_attributes(requests_.connection(), window));
    const RectangleRequest rectangle = RequestRectangle(requests_, root_, window);
    const auto attributes_reply = requests_.Receive(attributes, xcb_get_window_attributes_reply);
    const std::optional<WindowRectangle> rectangle_reply = ReceiveRectangle(requests_, rectangle);
    if (!attributes_reply || !rectangle_reply) {
        return std::nullopt;
    }
    Record record;
    record.override_redirect = attributes_reply->override_redirect != 0;
    record.mapped = attributes_reply->map_state != XCB_MAP_STATE_UNMAPPED;
    record.border_width = rectangle_reply->border_width;
    record.outer = rectangle_reply->outer;
    return record;
}

std::optional<bool> OwnWindows::ReadMapped(xcb_window_t window) {
    const auto attributes = requests_.Sent(xcb_get_window_attributes(requests_.connection(), window));
    const auto reply = requests_.Receive(attributes, xcb_get_window_attributes_reply);
    if (!reply) {
        return std::nullopt;
    }
    return reply->map_state != XCB_MAP_STATE_UNMAPPED;
}

// A managed window (one with WM_STATE) asks the manager by a client message. Before the manager has taken
// the window on, the wish goes into the window's own _NET_WM_STATE, which the manager reads when it does.
void OwnWindows::KeepAboveThroughWindowManager(xcb_window_t window, bool above) {
    xcb_connection_t* connection = requests_.connection();
    const auto wm_state =
        requests_.Sent(xcb_get_property(connection, 0, window, atoms_.wm_state, XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
    const auto net_wm_state = requests_.Sent(
        xcb_get_property(connection, 0, window, atoms_.net_wm_state, XCB_ATOM_ATOM, 0, kMaxNetWmStateAtoms));
    const auto wm_state_reply = requests_.Receive(wm_state, xcb_get_property_reply);
    const auto net_wm_state_reply = requests_.Receive(net_wm_state, xcb_get_property_reply);
    const bool managed = wm_state_reply && wm_state_reply->type != XCB_ATOM_NONE;

    if (!managed) {
        std::vector<xcb_atom_t> states;
        if (net_wm_state_reply && net_wm_state_reply->format == 32) {
            const auto* first = static_cast<const xcb_atom_t*>(xcb_get_property_value(net_wm_state_reply.get()));
            states.assign(first, first + xcb_get_property_value_length(net_wm_state_reply.get()) / 4);
        }
        std::erase(states, atoms_.net_wm_state_above);
        if (above) {
            states.push_back(atoms_.net_wm_state_above);
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms_.net_wm_state, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(states.size()), states.data());
    }

    SendToWindowManager(
        requests_, root_, window, atoms_.net_wm_state,
        {above ? kNetWmStateAdd : kNetWmStateRemove, atoms_.net_wm_state_above, 0, kSourceIsApplication, 0});
}

void OwnWindows::SetEmptyShape(xcb_window_t window, bool empty) {
    if (empty) {
        xcb_shape_rectangles(requests_.connection(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                             XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 0, nullptr);
    } else {
        xcb_shape_mask(requests_.connection(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window, 0, 0, XCB_PIXMAP_NONE);
    }
}

}  // namespace hovermark::x11
