// The eight window-system operations the logic is allowed to use, and nothing else of the window system.
// Everything Hovermark learns about other programs' windows, and every placement of its own frame bars,
// goes through this interface, so the logic runs the same on a real desktop and on a scripted window tree.
#pragma once

#include <cstdint>
#include <string>

namespace hovermark {

// 32-bit signed, 0 is no window. Compared for equality, tested for being > 0, printed in decimal.
using WindowHandle = std::int32_t;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Screen pixels; Right and Bottom lie just outside the window.
struct Rectangle {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    friend bool operator==(const Rectangle&, const Rectangle&) = default;
};

// Whether `point` lies inside `rect`, its right and bottom edges outside.
inline bool Holds(const Rectangle& rect, Point point) {
    return rect.Left <= point.x && point.x < rect.Right && rect.Top <= point.y && point.y < rect.Bottom;
}

// These constants keep the window system's own names, which its headers define as macros; the macros are
// set aside while the constants are declared so that this header may be included before or after them.
#pragma push_macro("GWL_HWNDPARENT")
#pragma push_macro("HWND_TOPMOST")
#pragma push_macro("HWND_NOTOPMOST")
#pragma push_macro("SWP_NOSIZE")
#pragma push_macro("SWP_NOMOVE")
#pragma push_macro("SWP_NOACTIVATE")
#pragma push_macro("SWP_SHOWWINDOW")
#undef GWL_HWNDPARENT
#undef HWND_TOPMOST
#undef HWND_NOTOPMOST
#undef SWP_NOSIZE
#undef SWP_NOMOVE
#undef SWP_NOACTIVATE
#undef SWP_SHOWWINDOW
namespace window_system_constants {
inline constexpr std::int32_t GWL_HWNDPARENT = -8;
inline constexpr WindowHandle HWND_TOPMOST = -1;
inline constexpr WindowHandle HWND_NOTOPMOST = -2;
inline constexpr std::uint32_t SWP_NOSIZE = 1;
inline constexpr std::uint32_t SWP_NOMOVE = 2;
inline constexpr std::uint32_t SWP_NOACTIVATE = 16;
inline constexpr std::uint32_t SWP_SHOWWINDOW = 64;
}  // namespace window_system_constants
#pragma pop_macro("SWP_SHOWWINDOW")
#pragma pop_macro("SWP_NOACTIVATE")
#pragma pop_macro("SWP_NOMOVE")
#pragma pop_macro("SWP_NOSIZE")
#pragma pop_macro("HWND_NOTOPMOST")
#pragma pop_macro("HWND_TOPMOST")
#pragma pop_macro("GWL_HWNDPARENT")

// Text crosses this interface as UTF-8, whatever the window system stores, so that no character is lost on
// the way. Where the system measures or limits text, it does so in its own units (the "max_count" of the
// text calls is the room a caller would give a NUL-ended buffer of that many units: at most max_count - 1
// units of text come back). A front end never cuts a character in half.
class WindowSystem {
  public:
    WindowSystem() = default;
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;
    virtual ~WindowSystem() = default;

    // Fills `point` with the pointer's screen position. The result is informational only.
    virtual std::int32_t GetCursorPos(Point& point) = 0;

    // The window at that screen position, or 0.
    virtual WindowHandle WindowFromPoint(Point point) = 0;

    // The class name as the system would write it into a buffer of `max_count` units; text after an
    // embedded NUL may or may not come back, as on the real system.
    virtual std::string GetClassNameA(WindowHandle window, std::int32_t max_count) = 0;

    // Length of the window text in the system's units; 0 or less: no text.
    virtual std::int32_t GetWindowTextLengthA(WindowHandle window) = 0;

    // The window text as the system would write it into a buffer of `max_count` units.
    virtual std::string GetWindowTextA(WindowHandle window, std::int32_t max_count) = 0;

    // With GWL_HWNDPARENT: the parent (child window) or owner (top-level window), 0 if none.
    virtual std::int32_t GetWindowLongA(WindowHandle window, std::int32_t index) = 0;

    // Non-zero and `rect` filled while the window exists; 0 (and `rect` untouched) once the handle names
    // no window.
    virtual std::int32_t GetWindowRect(WindowHandle window, Rectangle& rect) = 0;

    // Places and stacks one of the program's own windows. The result is informational only.
    virtual std::int32_t SetWindowPos(WindowHandle window,
                                      WindowHandle insert_after,
                                      std::int32_t x,
                                      std::int32_t y,
                                      std::int32_t cx,
                                      std::int32_t cy,
                                      std::uint32_t flags) = 0;
};

}  // namespace hovermark
