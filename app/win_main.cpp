// The Windows program's entry point: the user32 window system, the Win32 toolkit and the elements through
// IAccessible, handed to the program's start. The process has no command line and no settings; it ends when
// the main window has gone.
#include <windows.h>

#include "app/run_hovermark.h"
#include "platform/iaccessible/accessible_element_system.h"
#include "platform/iaccessible/window_access.h"
#include "platform/windows/user32_window_system.h"
#include "platform/windows/win32_toolkit.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    hovermark::windows::Win32Toolkit toolkit(instance);
    hovermark::windows::User32WindowSystem window_system;
    hovermark::iaccessible::User32WindowAccess window_access;
    hovermark::iaccessible::AccessibleElementSystem element_system(window_access);
    return hovermark::RunHovermark(toolkit, window_system, &element_system);
}
