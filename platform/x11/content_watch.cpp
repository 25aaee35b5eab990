#include "platform/x11/content_watch.h"

#include <cstdlib>

#include <xcb/damage.h>

#include "platform/x11/xcb_requests.h"

namespace hovermark::x11 {

std::unique_ptr<ContentWatch> ContentWatch::Open(const std::string& display_name) {
    xcb_connection_t* connection = xcb_connect(display_name.empty() ? nullptr : display_name.c_str(), nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection, &xcb_damage_id);
    // The version must be asked before the extension may be used.
    const XcbReply<xcb_damage_query_version_reply_t> version(xcb_damage_query_version_reply(
        connection, xcb_damage_query_version(connection, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), nullptr));
    if (damage == nullptr || damage->present == 0 || !version) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<ContentWatch>(new ContentWatch(connection, damage->first_event));
}

ContentWatch::ContentWatch(xcb_connection_t* connection, std::uint8_t first_damage_event)
    : connection_(connection), damage_notify_(first_damage_event + XCB_DAMAGE_NOTIFY) {}

ContentWatch::~ContentWatch() {
    xcb_disconnect(connection_);
}

bool ContentWatch::ChangedSinceLastAsked(xcb_window_t window) {
    if (xcb_connection_has_error(connection_) != 0) {
        return true;
    }
    if (window != watched_) {
        StopWatching();
        Watch(window);
        ClearDamage();
        return true;
    }
    if (!TakeEvents()) {
        return false;
    }
    ClearDamage();
    return true;
}

// Problem: an application that draws between the report read and the damage being emptied would be reported
// never, and what it showed then would stay unseen while it stays still. Solution: the damage is emptied and
// the server has done so before the caller looks at the window, so anything drawn after that look is
// reported again; what arrived before it is dropped, since the caller looks now anyway.
void ContentWatch::ClearDamage() {
    xcb_damage_subtract(connection_, damage_, XCB_NONE, XCB_NONE);
    const XcbReply<xcb_get_input_focus_reply_t> done(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    TakeEvents();
}

void ContentWatch::Watch(xcb_window_t window) {
    watched_ = window;
    damage_ = xcb_generate_id(connection_);
    xcb_damage_create(connection_, damage_, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &events);
}

void ContentWatch::StopWatching() {
    if (watched_ == XCB_WINDOW_NONE) {
        return;
    }
    // Both fail harmlessly (an error event, read and dropped) when the window has gone with its damage.
    xcb_damage_destroy(connection_, damage_);
    const std::uint32_t no_events = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(connection_, watched_, XCB_CW_EVENT_MASK, &no_events);
    watched_ = XCB_WINDOW_NONE;
    damage_ = XCB_NONE;
}

bool ContentWatch::TakeEvents() {
    bool changed = false;
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == damage_notify_) {
            changed |= reinterpret_cast<const xcb_damage_notify_event_t*>(event.get())->drawable == watched_;
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            changed |= reinterpret_cast<const xcb_configure_notify_event_t*>(event.get())->window == watched_;
        } else if (type == XCB_UNMAP_NOTIFY || type == XCB_DESTROY_NOTIFY || type == XCB_MAP_NOTIFY ||
                   type == XCB_REPARENT_NOTIFY) {
            // These carry the window in the same place.
            changed |= reinterpret_cast<const xcb_unmap_notify_event_t*>(event.get())->window == watched_;
        } else if (type == 0) {
            // An error: the window went between two asks, or something else failed. Ask afresh.
            changed = true;
        }
    }
    return changed;
}

}  // namespace hovermark::x11
