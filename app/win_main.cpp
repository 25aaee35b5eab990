// The Windows program's entry point: the user32 window system, the Win32 toolkit and the elements through
// IAccessible, handed to the program's start. The process has no command line and no settings; it ends when
// the main window has gone.
#include <windows.h>

#include <memory>

#include "app/run_hovermark.h"
#include "platform/iaccessible/accessible_adapter.h"
#include "platform/iaccessible/window_access.h"
#include "platform/windows/user32_window_enumeration.h"
#include "platform/windows/user32_window_system.h"
#include "platform/windows/win32_toolkit.h"
#include "window_inspection/element_engine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    hovermark::windows::Win32Toolkit toolkit(instance);
    hovermark::windows::User32WindowSystem window_system;
    hovermark::ElementEngine element_system(std::make_shared<hovermark::iaccessible::AccessibleAdapter>(
        std::make_unique<hovermark::iaccessible::User32WindowAccess>()));
    hovermark::windows::User32WindowEnumeration window_enumeration;
    const hovermark::LocatorPorts locator_ports{.dialects = {.elements = &hovermark::locator::PywinautoUiaDialect(),
                                                             .windows = &hovermark::locator::PywinautoWin32Dialect()},
                                                .enumeration = &window_enumeration};
    return hovermark::RunHovermark(toolkit, window_system, &element_system, false, locator_ports);
}
