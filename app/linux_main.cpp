// The native Linux program's entry point: the XCB window system and the Qt toolkit, handed to the program's
// start. The process has no command line and no settings; it ends when the main window has gone. It runs on
// X11 only (an X server, or XWayland in a Wayland session).
#include <QApplication>
#include <cstdio>

#include "app/run_hovermark.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/qt/x_display.h"
#include "platform/x11/xcb_window_system.h"

int main(int argc, char** argv) {
    namespace qt = hovermark::qt;
    const qt::XDisplayCheck display = qt::CheckXDisplay();
    if (display.problem) {
        std::fprintf(stderr, "%s\n", display.problem->c_str());
        return qt::kExitCodeNoDisplay;
    }
    qt::PrepareQtForX11();
    QApplication application(argc, argv);

    auto* x11 = application.nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    qt::ReportLostDisplay(connection);
    const xcb_window_t root = connection != nullptr ? qt::RootWindow(connection, display.screen_number) : 0;
    if (root == 0) {
        std::fprintf(stderr, "hovermark: Qt is not running on the X display; Hovermark needs Qt's xcb platform.\n");
        return qt::kExitCodeNoDisplay;
    }

    qt::QtToolkit toolkit;
    hovermark::x11::XcbWindowSystem window_system(connection, root);
    window_system.SetOwnWindowChangedHandler([&toolkit](const hovermark::x11::OwnWindowState& state) {
        toolkit.OwnWindowChanged(state.window, state.outer, state.mapped);
    });
    toolkit.SetOwnWindowResizedHandler(
        [&window_system](hovermark::WindowHandle window) { window_system.OwnWindowChangedElsewhere(window); });
    return hovermark::RunHovermark(toolkit, window_system);
}
