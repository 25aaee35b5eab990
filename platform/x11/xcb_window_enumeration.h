// The X windows a locator's check searches, read as `xdotool search` reads them: every window below the root
// in the server's own order, each with the class it compares (the class hint's class, raw, as stored with
// type STRING; "" for any other type or none) and the title it compares (WM_NAME alone, never _NET_WM_NAME;
// Latin-1 and compound text turned into UTF-8, UTF8_STRING and other types passed through as they are,
// invalid bytes included; every NUL kept, since the search compares each piece between NULs on its own).
//
// It runs on a connection of its own, opened when it is made, so that the check's thread shares nothing with
// the toolkit's connection or the window system; one call at a time. Handles are X window ids, as the window
// system hands them out, so a window the list shows is the same window here.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <xcb/xcb.h>

#include "window_inspection/window_enumeration.h"

namespace hovermark::x11 {

class XcbWindowEnumeration final : public WindowEnumeration {
  public:
    // Each call waits this long at most for the server's replies.
    static constexpr std::chrono::milliseconds kDefaultReplyTimeout{250};

    // On the display of that name (the one DISPLAY names when empty) and its screen. A display that cannot
    // be reached leaves every answer none.
    explicit XcbWindowEnumeration(const std::string& display_name,
                                  std::chrono::milliseconds reply_timeout = kDefaultReplyTimeout);
    XcbWindowEnumeration(const XcbWindowEnumeration&) = delete;
    XcbWindowEnumeration& operator=(const XcbWindowEnumeration&) = delete;
    XcbWindowEnumeration(XcbWindowEnumeration&&) = delete;
    XcbWindowEnumeration& operator=(XcbWindowEnumeration&&) = delete;
    ~XcbWindowEnumeration() override;

    std::optional<std::vector<WindowHandle>> ChildWindows(WindowHandle parent) override;
    std::optional<WindowFacts> FactsOf(WindowHandle window) override;

  private:
    struct Disconnect {
        void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
    };

    bool Usable() const;

    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t compound_text_ = XCB_ATOM_NONE;
    std::chrono::milliseconds reply_timeout_;
};

}  // namespace hovermark::x11
