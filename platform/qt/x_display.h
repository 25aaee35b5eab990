// Where Qt meets X: Qt's environment for its X11 platform, the X connection Qt opened, handed to the X11
// side, and what the user is told when that connection breaks. The only file of this folder that names XCB.
#pragma once

#include <xcb/xcb.h>

namespace hovermark::qt {

// Before the QApplication: Qt's X11 platform whatever the session, and no scaling of Qt's own, so that a
// widget pixel is a screen pixel.
void PrepareQtForX11();

// After the QApplication: Qt's connection to the X server; null when Qt does not run on X.
xcb_connection_t* QtXConnection();

// After the QApplication: a loss of Qt's connection to the X server ends the program with a clear message
// and x11::kExitCodeDisplayLost.
void ReportLostDisplay(xcb_connection_t* connection);

}  // namespace hovermark::qt
