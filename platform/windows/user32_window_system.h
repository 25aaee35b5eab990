// The eight window-system operations on the real user32. Handles cross as the low 32 bits of an HWND, which
// is all of it that Windows makes significant, and come back sign-extended; texts come through the wide
// calls and leave as UTF-8, so no character of another program's window is lost to a code page. A window
// whose thread does not answer keeps its title: the text the system holds for it stands in.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "window_inspection/left_alone_applications.h"
#include "window_inspection/window_system.h"

namespace hovermark::windows {

WindowHandle ToWindowHandle(HWND window);
HWND ToHwnd(WindowHandle handle);

// Where a top-level window's visible pixels lie, if the system can tell; the compositor's answer in the
// program, a scripted one in tests.
using FrameBoundsQuery = std::function<std::optional<RECT>(HWND)>;

class User32WindowSystem final : public WindowSystem {
  public:
    // Asks the desktop compositor (dwmapi, loaded once here) for top-level windows' visible edges.
    User32WindowSystem();
    explicit User32WindowSystem(FrameBoundsQuery frame_bounds);

    std::int32_t GetCursorPos(Point& point) override;
    WindowHandle WindowFromPoint(Point point) override;
    std::string GetClassNameA(WindowHandle window, std::int32_t max_count) override;
    std::int32_t GetWindowTextLengthA(WindowHandle window) override;
    std::string GetWindowTextA(WindowHandle window, std::int32_t max_count) override;
    std::int32_t GetWindowLongA(WindowHandle window, std::int32_t index) override;
    std::int32_t GetWindowRect(WindowHandle window, Rectangle& rect) override;
    std::int32_t SetWindowPos(WindowHandle window,
                              WindowHandle insert_after,
                              std::int32_t x,
                              std::int32_t y,
                              std::int32_t cx,
                              std::int32_t cy,
                              std::uint32_t flags) override;

  private:
    bool AnswersTextMessages(HWND window, DWORD thread) const;

    FrameBoundsQuery frame_bounds_;
    // Threads that let a text message time out: for kHungApplicationPause their windows' texts are the ones
    // the system holds, so a list over many windows of one hung thread waits for it once, not once a window.
    LeftAloneApplications silent_threads_;
};

}  // namespace hovermark::windows
