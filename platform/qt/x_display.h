// What the program needs of its X display before Qt starts, and what it says when there is none or when it
// goes away. Qt itself would abort with a core dump without a display, and leave with a terse warning when
// the server dies; the user gets one clear sentence and an exit code instead.
#pragma once

#include <optional>
#include <string>

#include <xcb/xcb.h>

namespace hovermark::qt {

// Exit codes of the program besides 0.
inline constexpr int kExitCodeNoDisplay = 2;
inline constexpr int kExitCodeDisplayLost = 1;

struct XDisplayCheck {
    // Empty when the display accepts a connection; otherwise one sentence: what is missing, what to do.
    std::optional<std::string> problem;
    int screen_number = 0;  // the display's default screen
};

// Tries the display DISPLAY names, with a connection of its own that it closes again.
XDisplayCheck CheckXDisplay();

// Before the QApplication: Qt's X11 platform whatever the session, and no scaling of Qt's own, so that a
// widget pixel is a screen pixel.
void PrepareQtForX11();

// After the QApplication: a loss of Qt's connection to the X server ends the program with a clear message
// and kExitCodeDisplayLost.
void ReportLostDisplay(xcb_connection_t* connection);

// The root window of the screen with that number on `connection`; 0 when there is no such screen.
xcb_window_t RootWindow(xcb_connection_t* connection, int screen_number);

}  // namespace hovermark::qt
