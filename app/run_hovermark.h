// The program's start, the same for every front end.
#pragma once

#include "main_window/main_window.h"
#include "main_window/toolkit/form_toolkit.h"
#include "window_inspection/element_system.h"
#include "window_inspection/window_system.h"

namespace hovermark {

// Creates the main window as the start-up window, loads it, shows it once it has loaded, and delivers events
// until it has gone. Returns the process exit code. With an element system the user can look inside windows; in a
// Wayland session (which the front end tells) the help says what the program cannot see there. With locator ports
// Ctrl+L copies a locator of what is inspected.
int RunHovermark(Toolkit& toolkit,
                 WindowSystem& window_system,
                 ElementSystem* element_system = nullptr,
                 bool wayland_session = false,
                 LocatorPorts locator_ports = {});

}  // namespace hovermark
