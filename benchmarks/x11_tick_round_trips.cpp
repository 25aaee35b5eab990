// What a tick costs the XCB window system in X round trips, on the current display: the tick's calls made
// as the program makes them (pointer, window at the pointer, the chain listed when the window changes, its
// rectangle, the four frame bars placed), around a button inside a dialog of another client, with four
// override-redirect bars of this process as the frame. Prints the round trips of the tick that lists the
// chain, of a steady tick, and the wall time of a steady tick.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <xcb/xcb.h>

#include "platform/x11/xcb_window_system.h"

namespace {

using hovermark::Point;
using hovermark::Rectangle;
using hovermark::WindowHandle;
using hovermark::x11::XcbWindowSystem;
namespace constants = hovermark::window_system_constants;

constexpr int kSteadyTicks = 1000;
constexpr std::int32_t kThickness = 2;
constexpr std::int32_t kClassBufferSize = 256;

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

xcb_window_t MakeWindow(xcb_connection_t* connection,
                        xcb_window_t parent,
                        std::int16_t x,
                        std::int16_t y,
                        std::uint16_t width,
                        std::uint16_t height,
                        bool override_redirect) {
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t value = override_redirect ? 1 : 0;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, parent, x, y, width, height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &value);
    xcb_map_window(connection, window);
    return window;
}

void SetText(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, const std::string& text) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(text.size()), text.data());
}

void Sync(xcb_connection_t* connection) {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// The tick of the inspection cycle with the frame on, reduced to its window-system calls.
class Tick {
  public:
    Tick(XcbWindowSystem& system, const std::array<WindowHandle, 4>& bars) : system_(system), bars_(bars) {}

    void Run() {
        Point point;
        system_.GetCursorPos(point);
        const WindowHandle current = system_.WindowFromPoint(point);
        if (current != last_) {
            ListChain(current);
        }
        last_ = current;
        Rectangle rect;
        if (system_.GetWindowRect(current, rect) > 0) {
            PlaceFrame(rect);
        }
    }

  private:
    void ListChain(WindowHandle window) {
        for (int row = 0; window > 0 && row < 1000; ++row) {
            system_.GetClassNameA(window, kClassBufferSize);
            const std::int32_t length = system_.GetWindowTextLengthA(window);
            if (length > 0) {
                system_.GetWindowTextA(window, length + 1);
            }
            window = system_.GetWindowLongA(window, constants::GWL_HWNDPARENT);
        }
    }

    void PlaceFrame(const Rectangle& rect) {
        const std::int32_t w = kThickness;
        const std::int32_t b = std::max(rect.Top, rect.Bottom - w);
        const std::int32_t r = std::max(rect.Left, rect.Right - w);
        system_.SetWindowPos(bars_[0], constants::HWND_TOPMOST, rect.Left, rect.Top, r - rect.Left, w,
                             constants::SWP_NOACTIVATE);
        system_.SetWindowPos(bars_[1], constants::HWND_TOPMOST, rect.Left, b, r - rect.Left + w, w,
                             constants::SWP_NOACTIVATE);
        system_.SetWindowPos(bars_[2], constants::HWND_TOPMOST, rect.Left, rect.Top, w, b - rect.Top,
                             constants::SWP_NOACTIVATE);
        system_.SetWindowPos(bars_[3], constants::HWND_TOPMOST, r, rect.Top, w, b - rect.Top,
                             constants::SWP_NOACTIVATE);
    }

    XcbWindowSystem& system_;
    std::array<WindowHandle, 4> bars_;
    WindowHandle last_ = 0;
};

}  // namespace

int main() {
    const Connection own(xcb_connect(nullptr, nullptr));
    const Connection other(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(own.get()) != 0 || xcb_connection_has_error(other.get()) != 0) {
        std::fprintf(stderr, "x11_tick_round_trips: cannot open the X display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(own.get())).data->root;

    // Another program: an owner window, a dialog it owns, a button inside the dialog.
    const xcb_window_t owner = MakeWindow(other.get(), root, 20, 20, 300, 200, false);
    const xcb_window_t dialog = MakeWindow(other.get(), root, 400, 300, 360, 240, false);
    const xcb_window_t button = MakeWindow(other.get(), dialog, 120, 100, 120, 40, false);
    xcb_change_property(other.get(), XCB_PROP_MODE_REPLACE, dialog, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                        &owner);
    SetText(other.get(), owner, XCB_ATOM_WM_NAME, "Editor");
    SetText(other.get(), dialog, XCB_ATOM_WM_NAME, "Settings");
    SetText(other.get(), button, XCB_ATOM_WM_NAME, "OK");
    SetText(other.get(), button, XCB_ATOM_WM_CLASS, std::string("button\0Button\0", 14));
    xcb_warp_pointer(other.get(), XCB_WINDOW_NONE, root, 0, 0, 0, 0, 580, 420);
    Sync(other.get());

    XcbWindowSystem system(own.get(), root);
    std::array<WindowHandle, 4> bars{};
    for (WindowHandle& bar : bars) {
        bar = static_cast<WindowHandle>(MakeWindow(own.get(), root, 0, 0, 178, 90, true));
    }
    Sync(own.get());
    for (const WindowHandle bar : bars) {
        system.SetWindowPos(
            bar, constants::HWND_TOPMOST, 0, 0, 0, 0,
            constants::SWP_SHOWWINDOW | constants::SWP_NOACTIVATE | constants::SWP_NOMOVE | constants::SWP_NOSIZE);
    }

    Tick tick(system, bars);
    const std::uint64_t before_first = system.RoundTrips();
    tick.Run();
    const std::uint64_t first = system.RoundTrips() - before_first;
    tick.Run();  // the first placement of the bars asked where they were

    const std::uint64_t before_steady = system.RoundTrips();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSteadyTicks; ++i) {
        tick.Run();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const double steady = static_cast<double>(system.RoundTrips() - before_steady) / kSteadyTicks;
    const double microseconds = std::chrono::duration<double, std::micro>(elapsed).count() / kSteadyTicks;

    std::printf("X round trips, tick that lists the three-window chain: %llu\n",
                static_cast<unsigned long long>(first));
    std::printf("X round trips, steady tick: %.2f\n", steady);
    std::printf("wall time of a steady tick's window-system calls: %.1f us\n", microseconds);
    return 0;
}
