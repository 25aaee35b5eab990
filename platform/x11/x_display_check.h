// Whether the X display can be used before any toolkit starts on it, and what the user is told when it
// cannot, or when it goes away: one clear sentence and an exit code instead of a toolkit's abort.
#pragma once

#include <optional>
#include <string>

#include <xcb/xcb.h>

namespace hovermark::x11 {

// Exit codes of the program besides 0.
inline constexpr int kExitCodeNoDisplay = 2;
inline constexpr int kExitCodeDisplayLost = 1;

struct XDisplayCheck {
    // Empty when the display accepts a connection; otherwise one sentence: what is missing, what to do.
    std::optional<std::string> problem;
    int screen_number = 0;  // the display's default screen
};

// The X display the program runs on: the one its command line names with `-display NAME` or `--display NAME`
// (read as Qt's X11 platform reads it: the last one counts), else the one DISPLAY names; empty when neither
// names one. Read before the toolkit takes its own arguments out of argv.
std::string DisplayName(int argc, const char* const* argv);

// Tries that display, with a connection of its own that it closes again.
XDisplayCheck CheckXDisplay(const std::string& display_name);

// The root window of the screen with that number on `connection`; XCB_WINDOW_NONE when there is none.
xcb_window_t RootWindow(xcb_connection_t* connection, int screen_number);

}  // namespace hovermark::x11
