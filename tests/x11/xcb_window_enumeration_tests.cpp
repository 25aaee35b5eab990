// The window enumeration a locator's check reads, against real X servers: the one xvfb-run starts, where a
// second connection plays the program whose windows are read, and one of the test's own that it stops, as a
// server that no longer answers.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "platform/x11/x_display_check.h"
#include "platform/x11/xcb_window_enumeration.h"
#include "platform/x11/xcb_window_system.h"

extern char** environ;

namespace hovermark::x11 {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

Connection Connect(const char* display) {
    Connection connection(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        ADD_FAILURE() << "no X server: run under xvfb-run";
    }
    return connection;
}

void Sync(xcb_connection_t* connection) {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

xcb_window_t MakeWindow(xcb_connection_t* connection, xcb_window_t parent, bool mapped = true) {
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, parent, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    if (mapped) {
        xcb_map_window(connection, window);
    }
    return window;
}

void SetText(xcb_connection_t* connection,
             xcb_window_t window,
             xcb_atom_t property,
             xcb_atom_t type,
             std::string_view bytes) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                        static_cast<std::uint32_t>(bytes.size()), bytes.data());
}

std::vector<WindowHandle> TreeChildren(xcb_connection_t* connection, xcb_window_t window) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    std::vector<WindowHandle> handles;
    if (tree != nullptr) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        handles.assign(children, children + xcb_query_tree_children_length(tree));
    }
    std::free(tree);
    return handles;
}

WindowHandle Handle(xcb_window_t window) {
    return static_cast<WindowHandle>(window);
}

xcb_window_t Root(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// A client window inside a frame with no class, as a reparenting window manager holds it, and windows whose
// class hints and titles are each read by one of the search's rules.
TEST(XcbWindowEnumerationTest, ReadsWindowsAsTheSearchComparesThemInTheServersOrder) {
    const Connection other = Connect(nullptr);
    xcb_connection_t* program = other.get();
    const xcb_window_t root = Root(program);
    const xcb_atom_t utf8_string = Atom(program, "UTF8_STRING");
    const xcb_atom_t net_wm_name = Atom(program, "_NET_WM_NAME");

    const xcb_window_t frame = MakeWindow(program, root);
    const xcb_window_t client = MakeWindow(program, frame);
    SetText(program, client, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string_view("calc\0Calc\xC9\0", 11));
    // Longer than the window system's 64 KiB reading, Latin-1 with a NUL inside: the search compares it
    // whole, turned into UTF-8, piece by piece.
    std::string latin1_title(150'000, 'T');
    latin1_title += std::string_view("\xE9\0end", 5);
    SetText(program, client, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, latin1_title);
    SetText(program, client, net_wm_name, utf8_string, "What the title bar shows");
    const xcb_window_t hidden = MakeWindow(program, root, false);
    SetText(program, hidden, XCB_ATOM_WM_CLASS, utf8_string, std::string_view("u\0Utf8Class\0", 12));
    SetText(program, hidden, XCB_ATOM_WM_NAME, utf8_string, "bad \xFF byte");
    const xcb_window_t in_hidden = MakeWindow(program, hidden);
    SetText(program, in_hidden, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, "instance only");
    const xcb_window_t only_net_name = MakeWindow(program, root);
    SetText(program, only_net_name, net_wm_name, utf8_string, "Net only");
    SetText(program, only_net_name, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string_view("i\0A\0B\0", 6));
    Sync(program);

    XcbWindowEnumeration enumeration("");
    std::string expected_title(150'000, 'T');
    expected_title += std::string_view("\xC3\xA9\0end", 6);
    const std::optional<WindowFacts> client_facts = enumeration.FactsOf(Handle(client));
    ASSERT_TRUE(client_facts);
    EXPECT_EQ(client_facts->class_name, "Calc\xC9");
    EXPECT_EQ(client_facts->title.size(), expected_title.size());
    EXPECT_TRUE(client_facts->title == expected_title);
    EXPECT_TRUE(client_facts->visible);
    EXPECT_EQ(client_facts->control_id, 0);

    const std::optional<WindowFacts> frame_facts = enumeration.FactsOf(Handle(frame));
    ASSERT_TRUE(frame_facts);
    EXPECT_EQ(frame_facts->class_name, "");
    EXPECT_EQ(frame_facts->title, "");
    EXPECT_TRUE(frame_facts->visible);

    const std::optional<WindowFacts> hidden_facts = enumeration.FactsOf(Handle(hidden));
    ASSERT_TRUE(hidden_facts);
    EXPECT_EQ(hidden_facts->class_name, "");  // the class hint is read only as STRING
    EXPECT_EQ(hidden_facts->title, "bad \xFF byte");
    EXPECT_FALSE(hidden_facts->visible);
    const std::optional<WindowFacts> in_hidden_facts = enumeration.FactsOf(Handle(in_hidden));
    ASSERT_TRUE(in_hidden_facts);
    EXPECT_EQ(in_hidden_facts->class_name, "");
    EXPECT_FALSE(in_hidden_facts->visible);  // mapped, but its parent is not
    const std::optional<WindowFacts> net_facts = enumeration.FactsOf(Handle(only_net_name));
    ASSERT_TRUE(net_facts);
    EXPECT_EQ(net_facts->class_name, "A");
    EXPECT_EQ(net_facts->title, "");

    // The root's children bottom to top, as the server lists them; after a raise, in the new order.
    EXPECT_EQ(enumeration.ChildWindows(0), TreeChildren(program, root));
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(program, frame, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    Sync(program);
    const std::optional<std::vector<WindowHandle>> top_levels = enumeration.ChildWindows(0);
    ASSERT_TRUE(top_levels);
    EXPECT_EQ(*top_levels, TreeChildren(program, root));
    ASSERT_FALSE(top_levels->empty());
    EXPECT_EQ(top_levels->back(), Handle(frame));
    EXPECT_EQ(enumeration.ChildWindows(Handle(frame)), std::vector<WindowHandle>{Handle(client)});
    EXPECT_EQ(enumeration.ChildWindows(Handle(client)), std::vector<WindowHandle>{});

    // The window the list shows under the pointer is the one of the same handle here.
    const Connection toolkit = Connect(nullptr);
    XcbWindowSystem window_system(toolkit.get(), Root(toolkit.get()));
    EXPECT_EQ(window_system.WindowFromPoint(Point{50, 50}), Handle(client));

    xcb_destroy_window(program, frame);
    Sync(program);
    EXPECT_EQ(enumeration.FactsOf(Handle(client)), std::nullopt);
    EXPECT_EQ(enumeration.ChildWindows(Handle(client)), std::nullopt);
    EXPECT_EQ(enumeration.FactsOf(-3), std::nullopt);
    EXPECT_EQ(enumeration.ChildWindows(-3), std::nullopt);
}

// An Xvfb of the test's own, on a display number it picks itself among the free ones.
class OwnServer {
  public:
    OwnServer() {
        int pipe_ends[2];
        if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"Xvfb", "-displayfd", "3", "-noreset",   "-nolisten",
                              "tcp",  "-screen",    "0", "320x240x24", nullptr};
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_ends[1]);
        // The server writes its display number once it listens.
        std::string number;
        const auto deadline = steady_clock::now() + std::chrono::seconds(10);
        pollfd readable{pipe_ends[0], POLLIN, 0};
        while (pid_ > 0 && number.find('\n') == std::string::npos && steady_clock::now() < deadline) {
            if (poll(&readable, 1, 100) > 0) {
                char buffer[16];
                const ssize_t got = read(pipe_ends[0], buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                number.append(buffer, static_cast<std::size_t>(got));
            }
        }
        close(pipe_ends[0]);
        if (number.find('\n') != std::string::npos) {
            display_ = ":" + number.substr(0, number.find('\n'));
        }
    }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;
    ~OwnServer() {
        if (pid_ > 0) {
            kill(pid_, SIGCONT);
            kill(pid_, SIGTERM);
            int status = 0;
            for (int attempt = 0; attempt < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++attempt) {
                usleep(100'000);
            }
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, WNOHANG);
        }
    }

    const std::string& display() const { return display_; }
    void Stop() const { kill(pid_, SIGSTOP); }
    void Resume() const { kill(pid_, SIGCONT); }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// A server that stops answering costs each call its timeout, and once it answers again every reply goes to
// the call that asked for it, none to a later one.
TEST(XcbWindowEnumerationTest, AServerThatStopsAnsweringCostsEachCallItsTimeoutAndNothingAfter) {
    const OwnServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    const Connection other = Connect(server.display().c_str());
    xcb_connection_t* program = other.get();
    const xcb_window_t first = MakeWindow(program, Root(program));
    SetText(program, first, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string_view("f\0First\0", 8));
    const xcb_window_t second = MakeWindow(program, Root(program));
    SetText(program, second, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string_view("s\0Second\0", 9));
    Sync(program);

    constexpr milliseconds kTimeout{200};
    XcbWindowEnumeration enumeration(server.display(), kTimeout);
    ASSERT_TRUE(enumeration.FactsOf(Handle(first)));

    server.Stop();
    // On a thread, so that a call that waits for ever fails the test instead of hanging it.
    auto stopped_calls = std::async(std::launch::async, [&] {
        const auto start = steady_clock::now();
        const bool facts_answered = enumeration.FactsOf(Handle(second)).has_value();
        const bool children_answered = enumeration.ChildWindows(0).has_value();
        return std::make_tuple(facts_answered, children_answered, steady_clock::now() - start);
    });
    const bool returned = stopped_calls.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    server.Resume();
    ASSERT_TRUE(returned) << "a call waited on the stopped server";
    const auto [facts_answered, children_answered, took] = stopped_calls.get();
    EXPECT_FALSE(facts_answered);
    EXPECT_FALSE(children_answered);
    EXPECT_GE(took, 2 * kTimeout);
    EXPECT_LT(took, 2 * kTimeout + milliseconds(300));

    const std::optional<WindowFacts> first_facts = enumeration.FactsOf(Handle(first));
    ASSERT_TRUE(first_facts);
    EXPECT_EQ(first_facts->class_name, "First");
    const std::optional<WindowFacts> second_facts = enumeration.FactsOf(Handle(second));
    ASSERT_TRUE(second_facts);
    EXPECT_EQ(second_facts->class_name, "Second");
    EXPECT_EQ(enumeration.ChildWindows(0), TreeChildren(program, Root(program)));
}

}  // namespace
}  // namespace hovermark::x11
