// The native Linux program's entry point: the XCB window system and the Qt toolkit, handed to the program's
// start. The process has no command line of its own (Qt's, such as -display, are Qt's) and no settings; it
// ends when the main window has gone. It runs on X11 only (an X server, or XWayland in a Wayland session, where it
// says once on stderr, and in its help, that native Wayland windows are invisible to it).
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "app/run_hovermark.h"
#include "app/x11_top_level_facts.h"
#include "main_window/help_text.h"
#include "platform/atspi/atspi_adapter.h"
#include "platform/qt/abrupt_exit.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/qt/termination_signals.h"
#include "platform/qt/x_display.h"
#include "platform/x11/x_display_check.h"
#include "platform/x11/xcb_window_enumeration.h"
#include "platform/x11/xcb_window_system.h"
#include "window_inspection/element_engine.h"

namespace {

// A Wayland session hands its programs WAYLAND_DISPLAY; a login manager marks it in XDG_SESSION_TYPE.
bool InWaylandSession() {
    const char* wayland_display = std::getenv("WAYLAND_DISPLAY");
    const char* session_type = std::getenv("XDG_SESSION_TYPE");
    return (wayland_display != nullptr && *wayland_display != '\0') ||
           (session_type != nullptr && std::string_view(session_type) == "wayland");
}

}  // namespace

int main(int argc, char** argv) {
    namespace qt = hovermark::qt;
    namespace x11 = hovermark::x11;
    const std::string display_name = x11::DisplayName(argc, argv);
    const x11::XDisplayCheck display = x11::CheckXDisplay(display_name);
    if (display.problem) {
        std::fprintf(stderr, "%s\n", display.problem->c_str());
        return x11::kExitCodeNoDisplay;
    }
    const bool wayland_session = InWaylandSession();
    if (wayland_session) {
        std::fprintf(stderr, "hovermark: %.*s\n", static_cast<int>(hovermark::kWaylandSessionNote.size()),
                     hovermark::kWaylandSessionNote.data());
    }
    qt::PrepareQtForX11();
    QApplication application(argc, argv);

    xcb_connection_t* connection = qt::QtXConnection();
    qt::ReportLostDisplay(connection);
    const xcb_window_t root =
        connection != nullptr ? x11::RootWindow(connection, display.screen_number) : xcb_window_t{XCB_WINDOW_NONE};
    if (root == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "hovermark: Qt is not running on the X display; Hovermark needs Qt's xcb platform.\n");
        return x11::kExitCodeNoDisplay;
    }

    // The window system outlives the toolkit, which places its bars through it and follows what it does, and
    // the element system, which asks it about windows.
    x11::XcbWindowSystem window_system(connection, root, display_name);
    hovermark::X11TopLevelFacts top_level_facts(window_system);
    auto adapter = std::make_shared<hovermark::atspi::AtspiAdapter>(top_level_facts);
    hovermark::ElementEngine element_system(adapter);
    qt::QtToolkit toolkit(window_system);
    qt::CloseWindowsOnTerminationSignals();
    // A lost display, an uncaught error or a crash ends the process without unwinding, on whichever thread:
    // IsEnabled is put back all the same, by what alone is safe there.
    qt::PutBackBeforeAbruptExit([&change = adapter->EnabledChange()] { change.PutBack(); });
    qt::PutBackOnCrash();
    // A connection of its own: the locator's check reads the windows on a thread of its own.
    x11::XcbWindowEnumeration window_enumeration(display_name);
    const hovermark::LocatorPorts locator_ports{.dialects = {.elements = &hovermark::locator::DogtailDialect(),
                                                             .windows = &hovermark::locator::XdotoolDialect()},
                                                .enumeration = &window_enumeration};
    const int exit_code =
        hovermark::RunHovermark(toolkit, window_system, &element_system, wayland_session, locator_ports);
    qt::PutBackBeforeAbruptExit(nullptr);  // the element system goes before the application object
    return exit_code;
}
