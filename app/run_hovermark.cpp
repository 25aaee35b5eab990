#include "app/run_hovermark.h"

#include "main_window/main_window.h"

namespace hovermark {

int RunHovermark(Toolkit& toolkit,
                 WindowSystem& window_system,
                 ElementSystem* element_system,
                 bool wayland_session,
                 LocatorPorts locator_ports) {
    frmGlintrix main_window(toolkit, window_system, element_system, wayland_session, locator_ports);
    main_window.Load();
    main_window.Form().SetVisible(true);
    toolkit.RunEventLoop();
    return 0;
}

}  // namespace hovermark
