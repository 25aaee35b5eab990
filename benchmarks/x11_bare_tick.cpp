// The yardstick for Hovermark's CPU at rest on X11: a bare program on raw XCB that, ten times a second,
// makes exactly the X requests one steady tick needs and nothing else: the pointer query, the descent from
// the root to the deepest window at the pointer, that window's rectangle, and four configure-and-raise
// requests for four small override-redirect windows of its own laid around it (8 pixels inside Hovermark's
// frame, so the two programs never cover each other's windows and cause each other no repaints).
//
// Usage: x11_bare_tick [SECONDS]   (runs until SIGTERM or SIGINT when no time is given)
// At the end it writes its round trips per tick to stderr.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <signal.h>
#include <time.h>
#include <xcb/xcb.h>

namespace {

constexpr long kTickNanoseconds = 100'000'000;
constexpr long kNanosecondsPerSecond = 1'000'000'000;
constexpr std::int32_t kThickness = 2;
constexpr std::int32_t kInset = 8;
constexpr std::size_t kMaxDepth = 256;

volatile sig_atomic_t stop_requested = 0;

void RequestStop(int) {
    stop_requested = 1;
}

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

template <typename Reply>
using OwnedReply = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
OwnedReply<Reply> Owned(Reply* reply) {
    return OwnedReply<Reply>(reply, &std::free);
}

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

class BareTick {
  public:
    BareTick(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root) {
        const std::uint32_t override_redirect = 1;
        for (xcb_window_t& bar : bars_) {
            bar = xcb_generate_id(connection_);
            xcb_create_window(connection_, XCB_COPY_FROM_PARENT, bar, root_, 0, 0, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                              &override_redirect);
            xcb_map_window(connection_, bar);
        }
        xcb_flush(connection_);
    }
    BareTick(const BareTick&) = delete;
    BareTick& operator=(const BareTick&) = delete;
    ~BareTick() {
        for (const xcb_window_t bar : bars_) {
            xcb_destroy_window(connection_, bar);
        }
        xcb_flush(connection_);
    }

    std::uint64_t RoundTrips() const { return round_trips_; }

    void Run() {
        ++round_trips_;
        const auto pointer =
            Owned(xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr));
        if (!pointer) {
            return;
        }
        const std::int16_t x = pointer->root_x;
        const std::int16_t y = pointer->root_y;
        xcb_window_t deepest = root_;
        for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
            ++round_trips_;
            const auto step = Owned(xcb_translate_coordinates_reply(
                connection_, xcb_translate_coordinates(connection_, root_, deepest, x, y), nullptr));
            if (!step || step->child == XCB_WINDOW_NONE) {
                break;
            }
            deepest = step->child;
        }
        ++round_trips_;  // the geometry and the origin together
        const auto geometry_cookie = xcb_get_geometry(connection_, deepest);
        const auto origin_cookie = xcb_translate_coordinates(connection_, deepest, root_, 0, 0);
        const auto geometry = Owned(xcb_get_geometry_reply(connection_, geometry_cookie, nullptr));
        const auto origin = Owned(xcb_translate_coordinates_reply(connection_, origin_cookie, nullptr));
        if (!geometry || !origin) {
            return;
        }
        const std::int32_t border = geometry->border_width;
        const Rect rect{origin->dst_x - border + kInset, origin->dst_y - border + kInset,
                        origin->dst_x + geometry->width + border - kInset,
                        origin->dst_y + geometry->height + border - kInset};
        PlaceFrame(rect);
    }

  private:
    void PlaceFrame(const Rect& rect) {
        const std::int32_t w = kThickness;
        const std::int32_t b = std::max(rect.top, rect.bottom - w);
        const std::int32_t r = std::max(rect.left, rect.right - w);
        const std::array<Rect, 4> places{{
            {rect.left, rect.top, r, rect.top + w},
            {rect.left, b, r + w, b + w},
            {rect.left, rect.top, rect.left + w, b},
            {r, rect.top, r + w, b},
        }};
        for (std::size_t i = 0; i < bars_.size(); ++i) {
            const Rect& place = places[i];
            const std::array<std::uint32_t, 5> values{
                static_cast<std::uint32_t>(place.left), static_cast<std::uint32_t>(place.top),
                static_cast<std::uint32_t>(std::max(1, place.right - place.left)),
                static_cast<std::uint32_t>(std::max(1, place.bottom - place.top)), XCB_STACK_MODE_ABOVE};
            xcb_configure_window(connection_, bars_[i],
                                 XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                     XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE,
                                 values.data());
        }
        xcb_flush(connection_);
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::array<xcb_window_t, 4> bars_{};
    std::uint64_t round_trips_ = 0;
};

timespec Later(timespec time, long nanoseconds) {
    time.tv_nsec += nanoseconds;
    while (time.tv_nsec >= kNanosecondsPerSecond) {
        time.tv_nsec -= kNanosecondsPerSecond;
        ++time.tv_sec;
    }
    return time;
}

}  // namespace

int main(int argc, char** argv) {
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
    struct sigaction stop {};
    stop.sa_handler = RequestStop;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    int screen_number = 0;
    const std::unique_ptr<xcb_connection_t, Disconnect> connection(xcb_connect(nullptr, &screen_number));
    if (xcb_connection_has_error(connection.get()) != 0) {
        std::fprintf(stderr, "x11_bare_tick: cannot open the X display\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screen_number && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    BareTick tick(connection.get(), screens.data->root);

    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long ticks = seconds * (kNanosecondsPerSecond / kTickNanoseconds);
    long count = 0;
    for (; stop_requested == 0 && (ticks == 0 || count < ticks); ++count) {
        tick.Run();
        if (xcb_connection_has_error(connection.get()) != 0) {
            return 1;
        }
        next = Later(next, kTickNanoseconds);
        while (stop_requested == 0 && clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
    }
    if (count > 0) {
        std::fprintf(stderr, "x11_bare_tick: %.2f X round trips a tick\n",
                     static_cast<double>(tick.RoundTrips()) / static_cast<double>(count));
    }
    return 0;
}
