// What looking inside windows costs a tick in calls over the accessibility bus, against a running
// application: the element system asked, as each tick asks it, for the elements under a point of that
// application's window. Prints the calls of a tick at rest (the same point, tick after tick) over a window
// that shows nothing new and over one that is redrawn every tick (as a blinking caret or an animation
// redraws it), of a tick after the pointer moved to another element (two points in turn), and each kind's
// wall time.
//
//   atspi_tick_round_trips X1 Y1 X2 Y2    two points on two different elements of the same window
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <xcb/xcb.h>

#include "app/x11_top_level_facts.h"
#include "platform/atspi/atspi_element_system.h"
#include "platform/x11/xcb_window_system.h"

namespace {

using hovermark::Point;
using hovermark::WindowHandle;

constexpr int kTicks = 200;

// The window system's facts, with the window taken for redrawn at every tick when asked to.
class Facts final : public hovermark::atspi::TopLevelFacts {
  public:
    explicit Facts(hovermark::x11::XcbWindowSystem& windows) : facts_(windows) {}
    std::optional<hovermark::TopLevelWindow> TopLevelOf(WindowHandle window) override {
        return facts_.TopLevelOf(window);
    }
    bool ChangedSinceLastAsked(WindowHandle top_level) override {
        return facts_.ChangedSinceLastAsked(top_level) || redrawn_every_tick;
    }
    bool redrawn_every_tick = false;

  private:
    hovermark::X11TopLevelFacts facts_;
};

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

struct Cost {
    double calls_per_tick = 0;
    double microseconds_per_tick = 0;
    std::size_t elements = 0;
};

// Ticks at the given points in turn, after one untimed tick at each; the window under each point is asked as
// the program asks it, outside the count.
template <std::size_t N>
Cost Measure(hovermark::x11::XcbWindowSystem& windows,
             hovermark::atspi::AtspiElementSystem& elements,
             const Point (&points)[N]) {
    WindowHandle under[N]{};
    for (std::size_t i = 0; i < N; ++i) {
        under[i] = windows.WindowFromPoint(points[i]);
        elements.ElementsAt(under[i], points[i]);
    }
    const std::uint64_t calls_before = elements.RoundTrips();
    const auto started = std::chrono::steady_clock::now();
    std::size_t found = 0;
    for (int tick = 0; tick < kTicks; ++tick) {
        const std::size_t i = static_cast<std::size_t>(tick) % N;
        found = elements.ElementsAt(under[i], points[i]).elements.size();
    }
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - started;
    return {static_cast<double>(elements.RoundTrips() - calls_before) / kTicks, spent.count() / kTicks, found};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: atspi_tick_round_trips X1 Y1 X2 Y2\n");
        return 2;
    }
    const Point first{std::atoi(argv[1]), std::atoi(argv[2])};
    const Point second{std::atoi(argv[3]), std::atoi(argv[4])};
    const Connection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        std::fprintf(stderr, "atspi_tick_round_trips: no X display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data->root;
    hovermark::x11::XcbWindowSystem windows(connection.get(), root);
    Facts facts(windows);
    hovermark::atspi::AtspiElementSystem elements(facts);
    if (const auto problem = elements.Start()) {
        std::fprintf(stderr, "atspi_tick_round_trips: %s\n", problem->c_str());
        return 1;
    }
    const Point at_rest[] = {first};
    const Point moving[] = {first, second};
    const Cost quiet = Measure(windows, elements, at_rest);
    facts.redrawn_every_tick = true;
    const Cost steady = Measure(windows, elements, at_rest);
    const Cost change = Measure(windows, elements, moving);
    elements.Stop();
    std::printf("accessibility bus calls a tick (%d ticks each):\n", kTicks);
    std::printf("  at rest, the window unchanged: %5.2f calls, %8.1f us a tick (%zu element rows)\n",
                quiet.calls_per_tick, quiet.microseconds_per_tick, quiet.elements);
    std::printf("  at rest, the window redrawn:   %5.2f calls, %8.1f us a tick\n", steady.calls_per_tick,
                steady.microseconds_per_tick);
    std::printf("  moved to another element:      %5.2f calls, %8.1f us a tick\n", change.calls_per_tick,
                change.microseconds_per_tick);
    return steady.elements > 0 ? 0 : 1;
}
