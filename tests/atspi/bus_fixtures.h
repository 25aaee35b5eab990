// What the element system's tests on a real accessibility bus use beside it: the fixture applications as
// child processes, the X facts about their windows read through XCB (as the program's X11 side will give
// them), and pyatspi's independent reading of their elements.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>
#include <xcb/xcb.h>

#include "platform/atspi/top_level_facts.h"

namespace hovermark::atspi::testing {

// A fixture application (a python3 script, its path relative to this folder) with its stdin and stdout on
// pipes. The first line it prints tells its process id, its X window and its controls' rectangles.
class FixtureProcess {
  public:
    explicit FixtureProcess(const std::string& script, std::vector<std::string> arguments = {});
    FixtureProcess(const FixtureProcess&) = delete;
    FixtureProcess& operator=(const FixtureProcess&) = delete;
    ~FixtureProcess();

    pid_t Pid() const { return pid_; }
    xcb_window_t Window() const { return window_; }
    // [x, y, width, height] as the fixture printed it.
    std::vector<std::int32_t> Control(const std::string& name) const;
    void Send(const std::string& line);
    void Signal(int signal) const;

  private:
    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
    xcb_window_t window_ = 0;
    std::string info_;
};

class XcbFacts final : public TopLevelFacts {
  public:
    XcbFacts();
    XcbFacts(const XcbFacts&) = delete;
    XcbFacts& operator=(const XcbFacts&) = delete;
    ~XcbFacts() override;
    // The window is taken as its own top-level window: the tests ask about the fixtures' top-levels.
    std::optional<TopLevelWindow> TopLevelOf(WindowHandle window) override;
    Rectangle RectOf(xcb_window_t window);
    // Asks for the window to be moved there and waits until it has moved (up to two seconds).
    Rectangle MoveTo(xcb_window_t window, std::int32_t x, std::int32_t y);

  private:
    xcb_atom_t Atom(const char* name);
    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
};

struct ReadElement {
    std::string parent;
    std::string role;
    std::string name;
    std::optional<Rectangle> extents;  // as reported
    bool visible = false;
    bool showing = false;
};

// Every element of the application with that process id, by object path.
std::map<std::string, ReadElement> ReadTree(pid_t pid);

// What read_locator_tree.py prints of the application with that process id, line by line.
std::vector<std::string> ReadLocatorTree(pid_t pid);

}  // namespace hovermark::atspi::testing
