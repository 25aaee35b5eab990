#include "platform/x11/x_display_check.h"

#include <cstdlib>
#include <memory>
#include <string_view>

namespace hovermark::x11 {
namespace {

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using UniqueConnection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::string DisplayName(int argc, const char* const* argv) {
    const char* named = nullptr;
    for (int index = 1; index < argc; ++index) {
        std::string_view argument = argv[index] != nullptr ? argv[index] : "";
        if (argument.starts_with("--")) {
            argument.remove_prefix(1);
        }
        if (argument == "-display" && index + 1 < argc && argv[index + 1] != nullptr) {
            named = argv[++index];
        }
    }
    const char* display = named != nullptr ? named : std::getenv("DISPLAY");
    return display != nullptr ? std::string(display) : std::string();
}

XDisplayCheck CheckXDisplay(const std::string& display_name) {
    XDisplayCheck check;
    if (display_name.empty()) {
        if (IsSet("WAYLAND_DISPLAY")) {
            check.problem =
                "hovermark: this Wayland session offers no X display (DISPLAY is not set); Hovermark works with "
                "X11 windows only, so enable XWayland or log in to an X11 session.";
        } else {
            check.problem =
                "hovermark: no X display (DISPLAY is not set); start Hovermark in an X11 session, or set DISPLAY to "
                "a running X server.";
        }
        return check;
    }
    const UniqueConnection connection(xcb_connect(display_name.c_str(), &check.screen_number));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        check.problem = "hovermark: cannot open the X display \"" + display_name +
                        "\"; check that its X server is running and that DISPLAY names it.";
    }
    return check;
}

xcb_window_t RootWindow(xcb_connection_t* connection, int screen_number) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; screens.rem > 0; ++index, xcb_screen_next(&screens)) {
        if (index == screen_number) {
            return screens.data->root;
        }
    }
    return XCB_WINDOW_NONE;
}

}  // namespace hovermark::x11
