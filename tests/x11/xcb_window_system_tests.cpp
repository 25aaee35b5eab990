// The XCB window system against a real X server (Xvfb, no window manager). A second connection plays
// another program whose windows Hovermark inspects; windows made on the window system's own connection play
// Hovermark's own frame bars and main window. Each client's windows go with its connection when a test ends.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include "platform/x11/x_display_check.h"
#include "platform/x11/xcb_window_system.h"

namespace hovermark::x11 {
namespace {

namespace constants = window_system_constants;

constexpr std::uint32_t kSteadyBarFlags = constants::SWP_NOACTIVATE;
constexpr std::uint32_t kShowBarFlags =
    constants::SWP_SHOWWINDOW | constants::SWP_NOACTIVATE | constants::SWP_NOMOVE | constants::SWP_NOSIZE;
constexpr std::uint32_t kStackOnlyFlags = constants::SWP_NOMOVE | constants::SWP_NOSIZE;
constexpr std::int32_t kClassBufferSize = 256;
constexpr std::size_t kPropertyLimitBytes = std::size_t{64} * 1024;

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

template <typename Reply>
using OwnedReply = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
OwnedReply<Reply> Owned(Reply* reply) {
    return OwnedReply<Reply>(reply, &std::free);
}

Connection Connect() {
    Connection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        ADD_FAILURE() << "no X server: run under xvfb-run";
    }
    return connection;
}

// Everything sent before has been carried out by the server once this returns.
void Sync(xcb_connection_t* connection) {
    Owned(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
    const auto reply = Owned(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

struct WindowPlan {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint16_t width = 10;
    std::uint16_t height = 10;
    std::uint16_t border = 0;
    bool override_redirect = false;
    bool mapped = true;
    std::uint32_t event_mask = XCB_EVENT_MASK_NO_EVENT;
};

xcb_window_t MakeWindow(xcb_connection_t* connection, xcb_window_t parent, const WindowPlan& plan) {
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[2] = {plan.override_redirect ? 1U : 0U, plan.event_mask};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, parent, plan.x, plan.y, plan.width, plan.height,
                      plan.border, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    if (plan.mapped) {
        xcb_map_window(connection, window);
    }
    return window;
}

void SetProperty(xcb_connection_t* connection,
                 xcb_window_t window,
                 xcb_atom_t property,
                 xcb_atom_t type,
                 std::string_view bytes) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                        static_cast<std::uint32_t>(bytes.size()), bytes.data());
}

void SetWindowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_window_t value) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_WINDOW, 32, 1, &value);
}

WindowHandle Handle(xcb_window_t window) {
    return static_cast<WindowHandle>(window);
}

struct Geometry {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Geometry&, const Geometry&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Geometry& geometry) {
        return out << geometry.width << "x" << geometry.height << "+" << geometry.x << "+" << geometry.y;
    }
};

std::optional<Geometry> GeometryOf(xcb_connection_t* connection, xcb_window_t window) {
    const auto reply = Owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!reply) {
        return std::nullopt;
    }
    return Geometry{reply->x, reply->y, reply->width, reply->height};
}

bool IsMapped(xcb_connection_t* connection, xcb_window_t window) {
    const auto reply =
        Owned(xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    return reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
}

// What reached a connection since the last call: what a toolkit would have to handle.
struct Received {
    int configure_notifies = 0;
    int errors = 0;
};

Received EventsOf(xcb_connection_t* connection) {
    Sync(connection);
    Received received;
    while (const auto event = Owned(xcb_poll_for_event(connection))) {
        const int type = event->response_type & ~0x80;
        received.configure_notifies += type == XCB_CONFIGURE_NOTIFY ? 1 : 0;
        received.errors += type == 0 ? 1 : 0;
    }
    return received;
}

// The root's children from the bottom of the stack to the top.
std::vector<xcb_window_t> Stack(xcb_connection_t* connection, xcb_window_t root) {
    const auto reply = Owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    const xcb_window_t* children = xcb_query_tree_children(reply.get());
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(reply.get()));
}

bool IsOnTop(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window) {
    const auto stack = Stack(connection, root);
    return !stack.empty() && stack.back() == window;
}

class XcbWindowSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(xcb_connection_has_error(own_.get()), 0);
        ASSERT_EQ(xcb_connection_has_error(other_.get()), 0);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(own_.get())).data->root;
        system_ = std::make_unique<XcbWindowSystem>(own_.get(), root_);
        system_->SetOwnWindowChangedHandler([this](const OwnWindowState& state) { changes_.push_back(state); });
    }

    // Another program's window, carried out by the server before the window system is asked about it.
    xcb_window_t OtherWindow(xcb_window_t parent, const WindowPlan& plan) {
        const xcb_window_t window = MakeWindow(other_.get(), parent, plan);
        Sync(other_.get());
        return window;
    }

    void MarkTopLevel(xcb_window_t window) {
        const std::uint32_t normal_state[2] = {1, XCB_WINDOW_NONE};
        const xcb_atom_t wm_state = Atom(other_.get(), "WM_STATE");
        xcb_change_property(other_.get(), XCB_PROP_MODE_REPLACE, window, wm_state, wm_state, 32, 2, normal_state);
    }

    void MovePointer(std::int16_t x, std::int16_t y) {
        xcb_warp_pointer(other_.get(), XCB_WINDOW_NONE, root_, 0, 0, 0, 0, x, y);
        Sync(other_.get());
    }

    std::string Title(xcb_window_t window) {
        const std::int32_t length = system_->GetWindowTextLengthA(Handle(window));
        return length > 0 ? system_->GetWindowTextA(Handle(window), length + 1) : std::string();
    }

    Connection own_ = Connect();
    Connection other_ = Connect();
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::unique_ptr<XcbWindowSystem> system_;
    std::vector<OwnWindowState> changes_;
};

// Problem: X has no owner field and puts a window manager's frame between an application's window and the
// root. Solution under test: inside an application's window the chain follows X parents; from a top-level
// window (WM_STATE) it jumps to the owner WM_TRANSIENT_FOR names, past the frame.
TEST_F(XcbWindowSystemTest, ChainRunsThroughParentsAndOwnersPastTheFrameAndEndsWhereAWindowHasGone) {
    xcb_connection_t* other = other_.get();
    const xcb_window_t owner = OtherWindow(root_, {.x = 10, .y = 10, .width = 400, .height = 300});
    MarkTopLevel(owner);
    SetProperty(other, owner, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string_view("editor\0Editor\0", 14));
    SetProperty(other, owner, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "Untitled");
    const xcb_window_t frame = OtherWindow(root_, {.x = 200, .y = 150, .width = 300, .height = 220});
    const xcb_window_t decoration = OtherWindow(frame, {.width = 300, .height = 20});
    const xcb_window_t dialog = OtherWindow(frame, {.x = 0, .y = 20, .width = 300, .height = 200, .border = 1});
    MarkTopLevel(dialog);
    SetWindowProperty(other, dialog, XCB_ATOM_WM_TRANSIENT_FOR, owner);
    SetProperty(other, dialog, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string_view("xterm\0XTerm\0", 12));
    SetProperty(other, dialog, Atom(other, "_NET_WM_NAME"), Atom(other, "UTF8_STRING"), "Grüße ✓");
    SetProperty(other, dialog, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "not this one");
    const xcb_window_t panel = OtherWindow(dialog, {.x = 10, .y = 10, .width = 200, .height = 100});
    const xcb_window_t button = OtherWindow(panel, {.x = 5, .y = 5, .width = 50, .height = 20});
    Sync(other);

    // One row of the list: its four questions cost one round trip, and one more to see the owner exists.
    const std::uint64_t before_dialog_row = system_->RoundTrips();
    EXPECT_EQ(system_->GetClassNameA(Handle(dialog), kClassBufferSize), std::string("xterm\0XTerm\0", 12));
    EXPECT_EQ(system_->GetWindowTextLengthA(Handle(dialog)), 11);
    EXPECT_EQ(system_->GetWindowTextA(Handle(dialog), 12), "Grüße ✓");
    EXPECT_EQ(system_->GetWindowLongA(Handle(dialog), constants::GWL_HWNDPARENT), Handle(owner));
    EXPECT_EQ(system_->RoundTrips() - before_dialog_row, 2U);

    EXPECT_EQ(system_->GetWindowLongA(Handle(button), constants::GWL_HWNDPARENT), Handle(panel));
    EXPECT_EQ(system_->GetWindowLongA(Handle(panel), constants::GWL_HWNDPARENT), Handle(dialog));
    EXPECT_EQ(system_->GetWindowLongA(Handle(owner), constants::GWL_HWNDPARENT), 0);
    EXPECT_EQ(system_->GetWindowLongA(Handle(decoration), constants::GWL_HWNDPARENT), Handle(frame));
    EXPECT_EQ(system_->GetWindowLongA(Handle(frame), constants::GWL_HWNDPARENT), 0);
    EXPECT_EQ(system_->GetWindowLongA(Handle(root_), constants::GWL_HWNDPARENT), 0);
    EXPECT_EQ(system_->GetClassNameA(Handle(owner), kClassBufferSize), std::string("editor\0Editor\0", 14));
    EXPECT_EQ(Title(owner), "Untitled");
    // A buffer too small for the whole class: what fits before its NUL.
    EXPECT_EQ(system_->GetClassNameA(Handle(dialog), 6), "xterm");
    EXPECT_EQ(system_->GetClassNameA(Handle(button), kClassBufferSize), "");
    EXPECT_EQ(Title(button), "");

    // The outer rectangle in root coordinates, border included, however deep the window lies.
    Rectangle rect;
    ASSERT_NE(system_->GetWindowRect(Handle(dialog), rect), 0);
    EXPECT_EQ(rect, (Rectangle{200, 170, 502, 372}));
    ASSERT_NE(system_->GetWindowRect(Handle(button), rect), 0);
    EXPECT_EQ(rect, (Rectangle{216, 186, 266, 206}));

    // The top-level window that holds a window, for a reader of the elements inside it: the first window with
    // WM_STATE on the way up, its process as it says, its inside in root coordinates and its title.
    const std::uint32_t pid = 4242;
    xcb_change_property(other, XCB_PROP_MODE_REPLACE, dialog, Atom(other, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                        &pid);
    Sync(other);
    const std::optional<TopLevelWindow> holder = system_->TopLevelOf(Handle(button));
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(holder->top_level, Handle(dialog));
    EXPECT_EQ(holder->pid, pid);
    EXPECT_EQ(holder->rect, (Rectangle{201, 171, 501, 371}));
    EXPECT_EQ(holder->title, "Grüße ✓");
    const std::optional<TopLevelWindow> without_pid = system_->TopLevelOf(Handle(owner));
    ASSERT_TRUE(without_pid.has_value());
    EXPECT_EQ(without_pid->pid, std::nullopt);
    // Without WM_STATE on the way up, the root's child that holds the window.
    EXPECT_EQ(system_->TopLevelOf(Handle(decoration)).value_or(TopLevelWindow{}).top_level, Handle(frame));
    EXPECT_EQ(system_->TopLevelOf(Handle(root_)), std::nullopt);

    // Whether the top-level window has shown anything new since the last ask: watched from the first ask on,
    // then changed by drawing, by a move, by going; quiet otherwise.
    const auto changes_within_a_second = [&] {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (system_->TopLevelChangedSinceLastAsked(Handle(dialog))) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    EXPECT_TRUE(system_->TopLevelChangedSinceLastAsked(Handle(dialog)));
    Sync(other);
    EXPECT_FALSE(changes_within_a_second());
    const xcb_gcontext_t pen = xcb_generate_id(other);
    xcb_create_gc(other, pen, dialog, 0, nullptr);
    const xcb_rectangle_t dab{1, 1, 5, 5};
    xcb_poly_fill_rectangle(other, dialog, pen, 1, &dab);
    Sync(other);
    EXPECT_TRUE(changes_within_a_second());
    EXPECT_FALSE(system_->TopLevelChangedSinceLastAsked(Handle(dialog)));
    const std::uint32_t place[2] = {7, 9};
    xcb_configure_window(other, dialog, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
    Sync(other);
    EXPECT_TRUE(changes_within_a_second());
    EXPECT_FALSE(system_->TopLevelChangedSinceLastAsked(Handle(dialog)));
    const std::uint32_t back[2] = {0, 20};
    xcb_configure_window(other, dialog, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, back);
    Sync(other);
    EXPECT_TRUE(changes_within_a_second());

    // The panel goes, and the button with it, while the chain is being listed.
    EXPECT_EQ(system_->GetWindowLongA(Handle(button), constants::GWL_HWNDPARENT), Handle(panel));
    xcb_destroy_window(other, panel);
    Sync(other);
    EXPECT_EQ(system_->GetClassNameA(Handle(panel), kClassBufferSize), "");
    EXPECT_EQ(system_->GetWindowTextLengthA(Handle(panel)), 0);
    EXPECT_EQ(system_->GetWindowLongA(Handle(panel), constants::GWL_HWNDPARENT), 0);
    const Rectangle untouched{1, 2, 3, 4};
    rect = untouched;
    EXPECT_EQ(system_->GetWindowRect(Handle(panel), rect), 0);
    EXPECT_EQ(system_->GetWindowRect(Handle(button), rect), 0);
    EXPECT_EQ(rect, untouched);
    EXPECT_EQ(system_->TopLevelOf(Handle(button)), std::nullopt);
    xcb_destroy_window(other, dialog);
    Sync(other);
    EXPECT_TRUE(changes_within_a_second());
}

// Looking inside windows switched off: the watch on the window asked about last lets go of it, and leaves
// nothing selected on it.
TEST_F(XcbWindowSystemTest, StoppingTheWatchLeavesNothingSelectedOnTheWindow) {
    const xcb_window_t window = OtherWindow(root_, {.width = 100, .height = 100});
    const auto watched = [&] {
        const auto attributes = Owned(
            xcb_get_window_attributes_reply(other_.get(), xcb_get_window_attributes(other_.get(), window), nullptr));
        return attributes != nullptr && (attributes->all_event_masks & XCB_EVENT_MASK_STRUCTURE_NOTIFY) != 0;
    };
    EXPECT_TRUE(system_->TopLevelChangedSinceLastAsked(Handle(window)));
    ASSERT_TRUE(watched());
    system_->StopWatchingTopLevel();
    // The server lets go of what a connection selected once it has read that connection's close.
    bool still_watched = true;
    for (int attempt = 0; attempt < 100 && still_watched; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        still_watched = watched();
    }
    EXPECT_FALSE(still_watched);
}

TEST_F(XcbWindowSystemTest, OwnersAndClassesThatMakeNoSenseGiveSoundAnswers) {
    xcb_connection_t* other = other_.get();
    const auto top_level = [&] {
        const xcb_window_t window = OtherWindow(root_, {});
        MarkTopLevel(window);
        return window;
    };
    const xcb_window_t first = top_level();
    const xcb_window_t second = top_level();
    const xcb_window_t selfish = top_level();
    const xcb_window_t orphan = top_level();
    const xcb_window_t of_the_root = top_level();
    const xcb_window_t gone = OtherWindow(root_, {});
    SetWindowProperty(other, first, XCB_ATOM_WM_TRANSIENT_FOR, second);
    SetWindowProperty(other, second, XCB_ATOM_WM_TRANSIENT_FOR, first);
    SetWindowProperty(other, selfish, XCB_ATOM_WM_TRANSIENT_FOR, selfish);
    SetWindowProperty(other, orphan, XCB_ATOM_WM_TRANSIENT_FOR, gone);
    SetWindowProperty(other, of_the_root, XCB_ATOM_WM_TRANSIENT_FOR, root_);
    xcb_destroy_window(other, gone);
    SetProperty(other, first, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, "no terminator");
    const std::uint32_t numbers[2] = {0x41414141, 0};
    xcb_change_property(other, XCB_PROP_MODE_REPLACE, second, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 32, 2, numbers);
    SetProperty(other, selfish, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string_view("only\0", 5));
    Sync(other);

    // A loop of owners is reported as it is; the chain listing stops at a window it has listed already.
    EXPECT_EQ(system_->GetWindowLongA(Handle(first), constants::GWL_HWNDPARENT), Handle(second));
    EXPECT_EQ(system_->GetWindowLongA(Handle(second), constants::GWL_HWNDPARENT), Handle(first));
    EXPECT_EQ(system_->GetWindowLongA(Handle(selfish), constants::GWL_HWNDPARENT), 0);
    EXPECT_EQ(system_->GetWindowLongA(Handle(orphan), constants::GWL_HWNDPARENT), 0);
    EXPECT_EQ(system_->GetWindowLongA(Handle(of_the_root), constants::GWL_HWNDPARENT), 0);
    EXPECT_EQ(system_->GetWindowLongA(Handle(first), constants::GWL_HWNDPARENT + 1), 0);
    EXPECT_EQ(system_->GetClassNameA(Handle(first), kClassBufferSize), "no terminator");
    EXPECT_EQ(system_->GetClassNameA(Handle(second), kClassBufferSize), "");
    EXPECT_EQ(system_->GetClassNameA(Handle(selfish), kClassBufferSize), std::string("only\0", 5));

    // Ids that never named a window: the highest id of the other client's range, and no window at all.
    const xcb_setup_t* setup = xcb_get_setup(other);
    const xcb_window_t never = setup->resource_id_base | setup->resource_id_mask;
    for (const WindowHandle handle : {Handle(never), Handle(gone), 0, -5}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(system_->GetClassNameA(handle, kClassBufferSize), "");
        EXPECT_EQ(system_->GetWindowTextLengthA(handle), 0);
        EXPECT_EQ(system_->GetWindowTextA(handle, kClassBufferSize), "");
        EXPECT_EQ(system_->GetWindowLongA(handle, constants::GWL_HWNDPARENT), 0);
        Rectangle rect{7, 7, 7, 7};
        EXPECT_EQ(system_->GetWindowRect(handle, rect), 0);
        EXPECT_EQ(rect, (Rectangle{7, 7, 7, 7}));
        EXPECT_EQ(system_->SetWindowPos(handle, constants::HWND_TOPMOST, 0, 0, 5, 5, kShowBarFlags), 0);
    }
}

TEST_F(XcbWindowSystemTest, TitlesOfEveryEncodingAndSizeArriveAsValidUtf8CutBetweenCharacters) {
    xcb_connection_t* other = other_.get();
    const xcb_atom_t utf8_string = Atom(other, "UTF8_STRING");
    const xcb_atom_t compound_text = Atom(other, "COMPOUND_TEXT");
    const xcb_atom_t net_wm_name = Atom(other, "_NET_WM_NAME");
    const auto titled = [&](xcb_atom_t property, xcb_atom_t type, std::string_view bytes) {
        const xcb_window_t window = OtherWindow(root_, {});
        SetProperty(other, window, property, type, bytes);
        return window;
    };
    const xcb_window_t latin1 = titled(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "Caf\xE9 \xBD");
    const xcb_window_t utf8_wm_name = titled(XCB_ATOM_WM_NAME, utf8_string,
                                             "Stra\xC3\x9F"
                                             "e");
    // Latin-1 text, a run of JIS X 0208 (not shown), back to ASCII, then a UTF-8 segment.
    const xcb_window_t compound =
        titled(XCB_ATOM_WM_NAME, compound_text, "abc\xE9\x1B$(B0!0\"\x1B(Bz\x1B%G\xE2\x9C\x93\x1B%@!");
    const xcb_window_t invalid = titled(net_wm_name, utf8_string, "a\xFF\xC3(b\xED\xA0\x80z\xE2\x82");
    const std::string latin1_huge(100'000, 'x');
    const xcb_window_t huge_latin1 = titled(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, latin1_huge);
    // 'a' and then two-byte characters: the 64 KiB limit falls inside one of them.
    std::string utf8_huge = "a";
    while (utf8_huge.size() < 80'000) {
        utf8_huge += "\xC3\xA9";
    }
    const xcb_window_t huge_utf8 = titled(net_wm_name, utf8_string, utf8_huge);
    Sync(other);

    EXPECT_EQ(Title(latin1), "Café ½");
    EXPECT_EQ(Title(utf8_wm_name), "Straße");
    EXPECT_EQ(Title(compound), "abcé\uFFFDz✓!");
    EXPECT_EQ(Title(invalid), "a\uFFFD\uFFFD(b\uFFFD\uFFFD\uFFFDz\uFFFD");

    EXPECT_EQ(system_->GetWindowTextLengthA(Handle(huge_latin1)), static_cast<std::int32_t>(kPropertyLimitBytes));
    const std::string cut = Title(huge_utf8);
    EXPECT_EQ(cut.size(), kPropertyLimitBytes - 1);
    EXPECT_EQ(cut.substr(cut.size() - 2), "é");
    EXPECT_EQ(cut.find("\uFFFD"), std::string::npos);

    // A buffer that ends inside a character gets the characters before it.
    EXPECT_EQ(system_->GetWindowTextA(Handle(latin1), 5), "Caf");
    EXPECT_EQ(system_->GetWindowTextA(Handle(latin1), 6), "Café");
    EXPECT_EQ(system_->GetWindowTextA(Handle(latin1), 1), "");
    EXPECT_EQ(system_->GetWindowTextA(Handle(latin1), 0), "");
}

TEST_F(XcbWindowSystemTest, WindowFromPointFindsTheDeepestShownWindowAndTheRootOnEmptySpace) {
    const xcb_window_t top = OtherWindow(root_, {.x = 100, .y = 100, .width = 300, .height = 200});
    const xcb_window_t child = OtherWindow(top, {.x = 10, .y = 10, .width = 100, .height = 100, .border = 2});
    const xcb_window_t grandchild = OtherWindow(child, {.x = 5, .y = 5, .width = 20, .height = 20});
    const xcb_window_t hidden = OtherWindow(top, {.x = 200, .y = 50, .width = 50, .height = 50, .mapped = false});

    MovePointer(120, 120);
    Point point;
    ASSERT_NE(system_->GetCursorPos(point), 0);
    EXPECT_EQ(point, (Point{120, 120}));
    EXPECT_EQ(system_->WindowFromPoint(point), Handle(grandchild));
    EXPECT_EQ(system_->WindowFromPoint(Point{150, 150}), Handle(child));
    EXPECT_EQ(system_->WindowFromPoint(Point{320, 160}), Handle(top));
    EXPECT_EQ(system_->WindowFromPoint(Point{1200, 1000}), Handle(root_));
    EXPECT_EQ(system_->WindowFromPoint(Point{111, 111}), Handle(child));  // on its border

    // A window mapped over the last descent: the descent that was right a moment ago is asked again.
    MovePointer(120, 120);
    ASSERT_NE(system_->GetCursorPos(point), 0);
    ASSERT_EQ(system_->WindowFromPoint(point), Handle(grandchild));
    const xcb_window_t cover = OtherWindow(root_, {.x = 115, .y = 115, .width = 10, .height = 10});
    ASSERT_NE(system_->GetCursorPos(point), 0);
    EXPECT_EQ(system_->WindowFromPoint(point), Handle(cover));
    xcb_destroy_window(other_.get(), cover);
    xcb_map_window(other_.get(), hidden);
    Sync(other_.get());
    ASSERT_NE(system_->GetCursorPos(point), 0);
    EXPECT_EQ(system_->WindowFromPoint(point), Handle(grandchild));
    EXPECT_EQ(system_->WindowFromPoint(Point{320, 160}), Handle(hidden));

    // An own bar of width 0 lies over the point and is not found there; given a real size, it is.
    const xcb_window_t bar = MakeWindow(own_.get(), root_, {.override_redirect = true, .mapped = false});
    ASSERT_NE(system_->SetWindowPos(Handle(bar), constants::HWND_TOPMOST, 118, 118, 0, 5, kShowBarFlags), 0);
    ASSERT_NE(system_->SetWindowPos(Handle(bar), constants::HWND_TOPMOST, 118, 118, 0, 5, kSteadyBarFlags), 0);
    EXPECT_EQ(system_->WindowFromPoint(Point{118, 120}), Handle(grandchild));
    ASSERT_NE(system_->SetWindowPos(Handle(bar), constants::HWND_TOPMOST, 118, 118, 3, 5, kSteadyBarFlags), 0);
    EXPECT_EQ(system_->WindowFromPoint(Point{118, 120}), Handle(bar));
}

TEST_F(XcbWindowSystemTest, OnlyOwnWindowsArePlacedAndAnUnchangedPlacementCostsNothing) {
    xcb_connection_t* own = own_.get();
    xcb_connection_t* other = other_.get();
    const xcb_window_t target = OtherWindow(root_, {.x = 100, .y = 50, .width = 200, .height = 150});
    const xcb_window_t shy = OtherWindow(root_, {.x = 600, .y = 50, .width = 40, .height = 40, .mapped = false});
    MovePointer(150, 100);

    // Another client's windows are never moved, restacked or shown.
    const xcb_window_t below_target = OtherWindow(root_, {.x = 700, .y = 700});
    EXPECT_EQ(system_->SetWindowPos(Handle(target), constants::HWND_TOPMOST, 0, 0, 10, 10, kSteadyBarFlags), 0);
    EXPECT_EQ(system_->SetWindowPos(Handle(shy), constants::HWND_TOPMOST, 0, 0, 0, 0, kShowBarFlags), 0);
    EXPECT_EQ(GeometryOf(other, target), (Geometry{100, 50, 200, 150}));
    EXPECT_TRUE(IsOnTop(other, root_, below_target));
    EXPECT_FALSE(IsMapped(other, shy));
    EXPECT_TRUE(changes_.empty());

    // Start-up: four hidden override-redirect bars at their design size are shown on top, where they are.
    // Like a toolkit's windows, they ask for structure events.
    std::vector<xcb_window_t> bars;
    bars.reserve(4);
    for (int i = 0; i < 4; ++i) {
        bars.push_back(MakeWindow(own, root_,
                                  {.width = 178,
                                   .height = 90,
                                   .override_redirect = true,
                                   .mapped = false,
                                   .event_mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY}));
    }
    for (const xcb_window_t bar : bars) {
        EXPECT_NE(system_->SetWindowPos(Handle(bar), constants::HWND_TOPMOST, 0, 0, 0, 0, kShowBarFlags), 0);
    }
    Sync(own);
    ASSERT_EQ(changes_.size(), 4U);
    EXPECT_EQ(changes_[0].window, Handle(bars[0]));
    EXPECT_EQ(changes_[0].outer, (Rectangle{0, 0, 178, 90}));
    EXPECT_TRUE(changes_[0].mapped);
    EXPECT_TRUE(IsMapped(other, bars[3]));
    EXPECT_TRUE(IsOnTop(other, root_, bars[3]));

    // The frame around the target, thickness 2, as the logic places it at every tick.
    const auto place_frame = [&] {
        system_->SetWindowPos(Handle(bars[0]), constants::HWND_TOPMOST, 100, 50, 198, 2, kSteadyBarFlags);
        system_->SetWindowPos(Handle(bars[1]), constants::HWND_TOPMOST, 100, 198, 200, 2, kSteadyBarFlags);
        system_->SetWindowPos(Handle(bars[2]), constants::HWND_TOPMOST, 100, 50, 2, 148, kSteadyBarFlags);
        system_->SetWindowPos(Handle(bars[3]), constants::HWND_TOPMOST, 298, 50, 2, 148, kSteadyBarFlags);
    };
    changes_.clear();
    place_frame();
    ASSERT_EQ(changes_.size(), 4U);
    EXPECT_EQ(changes_[1].outer, (Rectangle{100, 198, 300, 200}));
    EXPECT_TRUE(changes_[1].mapped);
    Sync(own);
    EXPECT_EQ(GeometryOf(other, bars[3]), (Geometry{298, 50, 2, 148}));

    // Steady ticks over the target: one round trip each, and no change reported. Placing the bars where
    // they stand sends nothing, so the toolkit gets no event either; a window that comes up over two of them
    // has those two raised over it.
    const auto tick = [&] {
        Point point;
        system_->GetCursorPos(point);
        const WindowHandle current = system_->WindowFromPoint(point);
        Rectangle rect;
        EXPECT_NE(system_->GetWindowRect(current, rect), 0);
        EXPECT_EQ(current, Handle(target));
        EXPECT_EQ(rect, (Rectangle{100, 50, 300, 200}));
        place_frame();
    };
    tick();
    EventsOf(own);
    tick();
    EXPECT_EQ(EventsOf(own).configure_notifies, 0);
    changes_.clear();
    const xcb_window_t newcomer = OtherWindow(root_, {.x = 90, .y = 40, .width = 30, .height = 30});
    const std::uint64_t before = system_->RoundTrips();
    tick();
    EXPECT_EQ(system_->RoundTrips() - before, 1U);
    EXPECT_TRUE(changes_.empty());
    Sync(own);
    const auto stack = Stack(other, root_);
    const auto position = [&stack](xcb_window_t window) {
        return std::find(stack.begin(), stack.end(), window) - stack.begin();
    };
    EXPECT_GT(position(bars[0]), position(newcomer));  // the top and left bars it covered
    EXPECT_GT(position(bars[2]), position(newcomer));
    EXPECT_LT(position(bars[1]), position(newcomer));  // the bottom and right bars, which it leaves alone
    EXPECT_LT(position(bars[3]), position(newcomer));
    EXPECT_EQ(EventsOf(own).configure_notifies, 2);

    // A window of the tick's reading that has gone when the bars are placed: the request naming it fails,
    // and the failure does not reach the toolkit.
    const xcb_window_t fleeting = OtherWindow(root_, {.x = 95, .y = 45, .width = 20, .height = 20});
    Point point;
    system_->GetCursorPos(point);
    Rectangle rect;
    system_->GetWindowRect(system_->WindowFromPoint(point), rect);
    xcb_destroy_window(other, fleeting);
    Sync(other);
    place_frame();
    const Received after_fleeting = EventsOf(own);
    EXPECT_EQ(after_fleeting.errors, 0);
    EXPECT_EQ(after_fleeting.configure_notifies, 0);

    // A bar of width 0 on a window of 1 pixel: X keeps it 1 pixel wide with nothing in its shape; the logic
    // and the toolkit see width 0 and a shown bar. A real size again brings its whole shape back.
    system_->SetWindowPos(Handle(bars[0]), constants::HWND_TOPMOST, 100, 50, 0, 3, kSteadyBarFlags);
    ASSERT_EQ(changes_.size(), 1U);
    EXPECT_EQ(changes_[0].outer, (Rectangle{100, 50, 100, 53}));
    EXPECT_TRUE(changes_[0].mapped);
    Sync(own);
    EXPECT_EQ(GeometryOf(other, bars[0]), (Geometry{100, 50, 1, 3}));
    EXPECT_TRUE(IsMapped(other, bars[0]));
    const auto rectangles = Owned(xcb_shape_get_rectangles_reply(
        other, xcb_shape_get_rectangles(other, bars[0], XCB_SHAPE_SK_BOUNDING), nullptr));
    ASSERT_TRUE(rectangles);
    EXPECT_EQ(xcb_shape_get_rectangles_rectangles_length(rectangles.get()), 0);
    system_->SetWindowPos(Handle(bars[0]), constants::HWND_TOPMOST, 100, 50, 3, 3, kSteadyBarFlags);
    Sync(own);
    const auto extents = Owned(xcb_shape_query_extents_reply(other, xcb_shape_query_extents(other, bars[0]), nullptr));
    ASSERT_TRUE(extents);
    EXPECT_EQ(extents->bounding_shaped, 0);
    EXPECT_EQ(GeometryOf(other, bars[0]), (Geometry{100, 50, 3, 3}));
    EXPECT_EQ(changes_.size(), 2U);

    // The main window (managed) without a window manager: on top by a plain raise, keeping place and size,
    // and nothing to report; "not topmost" leaves it where it is. The next placement raises the bars it
    // covers (bottom, right) over it, and only those.
    const xcb_window_t main_window = MakeWindow(own, root_, {.x = 250, .y = 150, .width = 320, .height = 240});
    Sync(own);
    changes_.clear();
    EXPECT_NE(system_->SetWindowPos(Handle(main_window), constants::HWND_TOPMOST, 0, 0, 0, 0, kStackOnlyFlags), 0);
    Sync(own);
    EXPECT_TRUE(IsOnTop(other, root_, main_window));
    EXPECT_EQ(GeometryOf(other, main_window), (Geometry{250, 150, 320, 240}));
    place_frame();
    EXPECT_NE(system_->SetWindowPos(Handle(main_window), constants::HWND_NOTOPMOST, 0, 0, 0, 0, kStackOnlyFlags), 0);
    Sync(own);
    const auto final_stack = Stack(other, root_);
    const auto final_position = [&final_stack](xcb_window_t window) {
        return std::find(final_stack.begin(), final_stack.end(), window) - final_stack.begin();
    };
    EXPECT_GT(final_position(bars[1]), final_position(main_window));
    EXPECT_GT(final_position(bars[3]), final_position(main_window));
    EXPECT_LT(final_position(bars[0]), final_position(main_window));
    EXPECT_EQ(changes_.size(), 1U);  // bars[0] got its real width back with this frame

    // The toolkit resizes bars through the window system (a new thickness), where they stand: the next
    // placement puts each bar back to the size the logic asks for, and a bar that was of size 0 before gets
    // its whole shape back.
    system_->SetWindowPos(Handle(bars[2]), constants::HWND_TOPMOST, 100, 50, 2, 0, kSteadyBarFlags);
    changes_.clear();
    EXPECT_NE(system_->ResizeOwnWindow(Handle(bars[1]), 200, 5), 0);
    EXPECT_NE(system_->ResizeOwnWindow(Handle(bars[2]), 5, 0), 0);
    ASSERT_EQ(changes_.size(), 2U);
    EXPECT_EQ(changes_[0].outer, (Rectangle{100, 198, 300, 203}));
    Sync(own);
    EXPECT_EQ(GeometryOf(other, bars[1]), (Geometry{100, 198, 200, 5}));
    place_frame();
    Sync(own);
    EXPECT_EQ(GeometryOf(other, bars[1]), (Geometry{100, 198, 200, 2}));
    EXPECT_EQ(GeometryOf(other, bars[2]), (Geometry{100, 50, 2, 148}));
    const auto reshaped = Owned(xcb_shape_query_extents_reply(other, xcb_shape_query_extents(other, bars[2]), nullptr));
    ASSERT_TRUE(reshaped);
    EXPECT_EQ(reshaped->bounding_shaped, 0);
}

TEST_F(XcbWindowSystemTest, ALostServerConnectionMakesEveryCallFailAtOnce) {
    const xcb_window_t target = OtherWindow(root_, {.x = 100, .y = 100, .width = 50, .height = 50});
    const xcb_window_t bar = MakeWindow(own_.get(), root_, {.override_redirect = true});
    MovePointer(110, 110);
    Point point;
    ASSERT_NE(system_->GetCursorPos(point), 0);
    ASSERT_EQ(system_->WindowFromPoint(point), Handle(target));

    // As if the server had gone: the socket closes under the connection.
    ::shutdown(xcb_get_file_descriptor(own_.get()), SHUT_RD);
    point = Point{3, 4};
    EXPECT_EQ(system_->GetCursorPos(point), 0);
    EXPECT_NE(xcb_connection_has_error(own_.get()), 0);
    EXPECT_EQ(point, (Point{3, 4}));
    EXPECT_EQ(system_->WindowFromPoint(Point{110, 110}), 0);
    EXPECT_EQ(system_->GetClassNameA(Handle(target), kClassBufferSize), "");
    EXPECT_EQ(system_->GetWindowTextLengthA(Handle(target)), 0);
    EXPECT_EQ(system_->GetWindowLongA(Handle(target), constants::GWL_HWNDPARENT), 0);
    Rectangle rect;
    EXPECT_EQ(system_->GetWindowRect(Handle(target), rect), 0);
    EXPECT_EQ(system_->SetWindowPos(Handle(bar), constants::HWND_TOPMOST, 1, 1, 5, 5, kSteadyBarFlags), 0);
    EXPECT_TRUE(changes_.empty());
}

// A program started for one test, ended and reaped when the test is done.
class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const std::vector<std::string>& arguments, const std::string& display, int keep_open_fd = -1) {
        pid_ = fork();
        if (pid_ == 0) {
            if (!display.empty()) {
                setenv("DISPLAY", display.c_str(), 1);
            }
            for (int fd = 3; fd < 256; ++fd) {
                if (fd != keep_open_fd) {
                    close(fd);
                }
            }
            std::vector<char*> argv;
            argv.reserve(arguments.size() + 1);
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
    ChildProcess& operator=(ChildProcess&& other) noexcept {
        std::swap(pid_, other.pid_);
        return *this;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

  private:
    pid_t pid_ = -1;
};

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// Displays this suite may start a server of its own on.
constexpr int kFirstPrivateDisplay = 62;
constexpr int kLastPrivateDisplay = 69;
constexpr auto kServerStartLimit = std::chrono::seconds(10);
constexpr auto kWindowManagerLimit = std::chrono::seconds(10);
constexpr auto kProbeLimit = std::chrono::milliseconds(500);

// Xvfb writes its display number to the descriptor once it accepts clients; a display in use makes it quit.
std::string StartPrivateServer(ChildProcess& server) {
    for (int number = kFirstPrivateDisplay; number <= kLastPrivateDisplay; ++number) {
        int fds[2];
        if (pipe(fds) != 0) {
            return {};
        }
        FileDescriptor read_end(fds[0]);
        std::string display = ":" + std::to_string(number);
        {
            FileDescriptor write_end(fds[1]);
            server = ChildProcess({"Xvfb", display, "-screen", "0", "1024x768x24", "-noreset", "-nolisten", "tcp",
                                   "-displayfd", std::to_string(fds[1])},
                                  "", fds[1]);
        }
        // The number and its newline may come in two writes; the server quits if the second one fails.
        std::string answer;
        pollfd ready{read_end.get(), POLLIN, 0};
        char buffer[16];
        while (answer.find('\n') == std::string::npos &&
               poll(&ready, 1, static_cast<int>(std::chrono::milliseconds(kServerStartLimit).count())) == 1) {
            const ssize_t count = read(read_end.get(), buffer, sizeof buffer);
            if (count <= 0) {
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(count));
        }
        if (answer.find('\n') != std::string::npos) {
            return display;
        }
        server = ChildProcess();
    }
    return {};
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<xcb_atom_t> AtomsOf(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    const auto reply = Owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 64), nullptr));
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* first = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return std::vector<xcb_atom_t>(first, first + xcb_get_property_value_length(reply.get()) / 4);
}

bool Contains(const std::vector<xcb_atom_t>& atoms, xcb_atom_t atom) {
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

xcb_window_t ParentOf(xcb_connection_t* connection, xcb_window_t window) {
    const auto reply = Owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    return reply ? reply->parent : xcb_window_t{XCB_WINDOW_NONE};
}

// Stay-on-top through a real window manager (openbox, on a server of this test's own): the wish goes into
// the main window's _NET_WM_STATE before it is first shown, and by client message once it is managed.
TEST(XcbWindowSystemUnderAWindowManager, MainWindowIsKeptAboveThroughTheManagerWithoutTakingTheFocus) {
    ChildProcess server;
    const std::string display = StartPrivateServer(server);
    ASSERT_FALSE(display.empty()) << "no free display between :62 and :69";
    // The display number comes a moment before the server takes clients.
    const auto connect = [&] {
        Connection connection;
        WaitFor(
            [&] {
                connection.reset(xcb_connect(display.c_str(), nullptr));
                return xcb_connection_has_error(connection.get()) == 0;
            },
            kServerStartLimit);
        return connection;
    };
    Connection own = connect();
    Connection other = connect();
    ASSERT_EQ(xcb_connection_has_error(own.get()), 0);
    ASSERT_EQ(xcb_connection_has_error(other.get()), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(own.get())).data->root;
    const xcb_atom_t check = Atom(other.get(), "_NET_SUPPORTING_WM_CHECK");
    const xcb_atom_t net_wm_state = Atom(other.get(), "_NET_WM_STATE");
    const xcb_atom_t above = Atom(other.get(), "_NET_WM_STATE_ABOVE");
    const xcb_atom_t wm_state = Atom(other.get(), "WM_STATE");
    const auto has_property = [&](xcb_window_t window, xcb_atom_t property) {
        const auto reply = Owned(xcb_get_property_reply(
            other.get(), xcb_get_property(other.get(), 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr));
        return reply && reply->type != XCB_ATOM_NONE;
    };
    ChildProcess window_manager({"openbox", "--sm-disable"}, display);
    // The manager names itself on the root before it takes on windows: a probe window shows when it does.
    ASSERT_TRUE(WaitFor([&] { return has_property(root, check); }, kWindowManagerLimit));
    ASSERT_TRUE(WaitFor(
        [&] {
            const xcb_window_t probe = MakeWindow(other.get(), root, {});
            Sync(other.get());
            const bool managed = WaitFor([&] { return has_property(probe, wm_state); }, kProbeLimit);
            xcb_destroy_window(other.get(), probe);
            return managed;
        },
        kWindowManagerLimit));

    XcbWindowSystem system(own.get(), root);
    int changes = 0;
    system.SetOwnWindowChangedHandler([&](const OwnWindowState&) { ++changes; });
    const xcb_window_t main_window = MakeWindow(own.get(), root, {.width = 300, .height = 200, .mapped = false});
    Sync(own.get());
    EXPECT_NE(system.SetWindowPos(Handle(main_window), constants::HWND_TOPMOST, 0, 0, 0, 0, kStackOnlyFlags), 0);
    Sync(own.get());
    EXPECT_TRUE(Contains(AtomsOf(other.get(), main_window, net_wm_state), above));

    xcb_map_window(own.get(), main_window);
    Sync(own.get());
    ASSERT_TRUE(WaitFor([&] { return has_property(main_window, wm_state); }, kWindowManagerLimit));
    EXPECT_TRUE(Contains(AtomsOf(other.get(), main_window, net_wm_state), above));

    // Another program's window, opened after it, stays below it.
    const xcb_window_t newcomer = MakeWindow(other.get(), root, {.width = 400, .height = 300});
    Sync(other.get());
    ASSERT_TRUE(WaitFor([&] { return has_property(newcomer, wm_state); }, kWindowManagerLimit));
    const auto stack_position = [&](xcb_window_t client) {
        const auto stack = Stack(other.get(), root);
        return std::find(stack.begin(), stack.end(), ParentOf(other.get(), client)) - stack.begin();
    };
    EXPECT_GT(stack_position(main_window), stack_position(newcomer));

    // Bars shown on top take no focus from the window that has it.
    const auto focus = [&] {
        const auto reply = Owned(xcb_get_input_focus_reply(other.get(), xcb_get_input_focus(other.get()), nullptr));
        return reply ? reply->focus : xcb_window_t{XCB_WINDOW_NONE};
    };
    const xcb_window_t focused = focus();
    const xcb_window_t bar = MakeWindow(own.get(), root, {.override_redirect = true, .mapped = false});
    EXPECT_NE(system.SetWindowPos(Handle(bar), constants::HWND_TOPMOST, 0, 0, 0, 0, kShowBarFlags), 0);
    Sync(own.get());
    EXPECT_TRUE(IsMapped(other.get(), bar));
    EXPECT_EQ(focus(), focused);

    EXPECT_NE(system.SetWindowPos(Handle(main_window), constants::HWND_NOTOPMOST, 0, 0, 0, 0, kStackOnlyFlags), 0);
    EXPECT_TRUE(WaitFor([&] { return !Contains(AtomsOf(other.get(), main_window, net_wm_state), above); },
                        kWindowManagerLimit));
    EXPECT_NE(system.SetWindowPos(Handle(main_window), constants::HWND_TOPMOST, 0, 0, 0, 0, kStackOnlyFlags), 0);
    EXPECT_TRUE(
        WaitFor([&] { return Contains(AtomsOf(other.get(), main_window, net_wm_state), above); }, kWindowManagerLimit));
    EXPECT_EQ(changes, 1);  // the bar's showing; stacking the main window changes no place, size or mapping
}

// The one rule for answers read ahead: each serves one call that fits it, and a new read drops them all but
// for nothing; the stack answers every placement until then.
// Qt runs on the display the command line names before the one DISPLAY names, and the rest of the program
// must run on the same.
TEST(DisplayName, TheCommandLineNamesItBeforeDisplayDoes) {
    const char* display = std::getenv("DISPLAY");
    ASSERT_NE(display, nullptr);
    const auto name = [](std::vector<const char*> arguments) {
        arguments.insert(arguments.begin(), "hovermark");
        return DisplayName(static_cast<int>(arguments.size()), arguments.data());
    };
    EXPECT_EQ(name({}), display);
    EXPECT_EQ(name({"-display", ":7"}), ":7");
    EXPECT_EQ(name({"-x", "--display", ":8", "-y"}), ":8");
    EXPECT_EQ(name({"-display", ":7", "--display", "host:9.1"}), "host:9.1");
    EXPECT_EQ(name({"-display", "-display", ":7"}), "-display");
    EXPECT_EQ(name({"---display", ":7", "display", ":8", "-display"}), display);
}

TEST(TickReading, EachAnswerServesOneFittingCallUntilTheNextRead) {
    TickReading reading;
    const Point point{10, 20};
    reading.KeepDescent(point, ChildrenAtPoint{{1}, {{2}}});
    reading.KeepRectangle(7, Rectangle{1, 2, 3, 4});
    reading.KeepRootStack({5, 6, 7});
    WindowSnapshot snapshot;
    snapshot.window = 7;
    reading.KeepSnapshot(snapshot, SnapshotUse::kClass);

    EXPECT_FALSE(reading.TakeDescent(Point{10, 21}));
    EXPECT_FALSE(reading.TakeRectangle(8));
    EXPECT_EQ(reading.TakeSnapshot(8, SnapshotUse::kText), nullptr);
    ASSERT_TRUE(reading.TakeDescent(point));
    EXPECT_FALSE(reading.TakeDescent(point));
    EXPECT_EQ(reading.TakeRectangle(7), std::optional<Rectangle>(Rectangle{1, 2, 3, 4}));
    EXPECT_FALSE(reading.TakeRectangle(7));
    EXPECT_EQ(reading.TakeSnapshot(7, SnapshotUse::kClass), nullptr) << "its first use was the read itself";
    EXPECT_NE(reading.TakeSnapshot(7, SnapshotUse::kText), nullptr);
    EXPECT_EQ(reading.TakeSnapshot(7, SnapshotUse::kText), nullptr);
    ASSERT_NE(reading.RootStack(), nullptr);
    EXPECT_NE(reading.RootStack(), nullptr);

    reading.KeepRectangle(7, std::nullopt);
    reading.Renew();
    EXPECT_FALSE(reading.TakeRectangle(7));
    EXPECT_EQ(reading.TakeSnapshot(7, SnapshotUse::kParent), nullptr);
    EXPECT_EQ(reading.RootStack(), nullptr);
}

}  // namespace
}  // namespace hovermark::x11
