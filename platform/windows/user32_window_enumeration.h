// The windows a test framework's win32 back end searches, on the real user32: the top-level windows in
// EnumWindows' order, each window's direct children top of the Z order first, and the facts it matches them
// by. A child list is EnumChildWindows' listing kept to the direct children: the children of each window in
// turn, recursively, give the depth-first pre-order in which that call lists a window's descendants, the
// order the framework numbers its matches in. A visible window's text is asked with messages that give up
// after a short wait, and a thread that let one time out is not asked again for a while; a hidden window,
// which no search finds, gives the text the system holds for it.
#pragma once

#include <windows.h>

#include "window_inspection/left_alone_applications.h"
#include "window_inspection/window_enumeration.h"

namespace hovermark::windows {

class User32WindowEnumeration final : public WindowEnumeration {
  public:
    User32WindowEnumeration() = default;

    std::optional<std::vector<WindowHandle>> ChildWindows(WindowHandle parent) override;
    std::optional<WindowFacts> FactsOf(WindowHandle window) override;

  private:
    LeftAloneApplications silent_threads_;
};

}  // namespace hovermark::windows
