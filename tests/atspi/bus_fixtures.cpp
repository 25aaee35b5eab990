#include "tests/atspi/bus_fixtures.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace hovermark::atspi::testing {
namespace {

constexpr int kStartTimeoutMs = 20000;

std::string ScriptPath(const std::string& script) {
    return std::string(HOVERMARK_ATSPI_TEST_DIR) + "/" + script;
}

std::string ReadLine(int fd, int timeout_ms) {
    std::string line;
    char byte = 0;
    while (true) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, timeout_ms) <= 0 || read(fd, &byte, 1) != 1) {
            throw std::runtime_error("the fixture printed no line: " + line);
        }
        if (byte == '\n') {
            return line;
        }
        line += byte;
    }
}

}  // namespace

FixtureProcess::FixtureProcess(const std::string& script, std::vector<std::string> arguments) {
    std::array<int, 2> in{};
    std::array<int, 2> out{};
    if (pipe(in.data()) != 0 || pipe(out.data()) != 0) {
        throw std::runtime_error("no pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string path = ScriptPath(script);
    std::string python = "/usr/bin/python3";
    std::vector<char*> argv{python.data(), const_cast<char*>(path.c_str())};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    to_child_ = in[1];
    from_child_ = out[0];
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + path);
    }
    info_ = ReadLine(from_child_, kStartTimeoutMs);
    std::smatch match;
    if (!std::regex_search(info_, match, std::regex(R"("xid": (\d+))"))) {
        throw std::runtime_error("no window in " + info_);
    }
    window_ = static_cast<xcb_window_t>(std::stoul(match[1]));
}

FixtureProcess::~FixtureProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGCONT);
        close(to_child_);
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    close(from_child_);
}

std::vector<std::int32_t> FixtureProcess::Control(const std::string& name) const {
    std::smatch match;
    const std::regex pattern("\"" + name + R"(": \[(-?\d+), (-?\d+), (-?\d+), (-?\d+)\])");
    if (!std::regex_search(info_, match, pattern)) {
        throw std::runtime_error("no control " + name + " in " + info_);
    }
    return {std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3]), std::stoi(match[4])};
}

void FixtureProcess::Send(const std::string& line) {
    const std::string text = line + "\n";
    if (write(to_child_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        throw std::runtime_error("the fixture does not read");
    }
}

void FixtureProcess::Signal(int signal) const {
    kill(pid_, signal);
}

XcbFacts::XcbFacts() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_) != 0) {
        throw std::runtime_error("no X display");
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

XcbFacts::~XcbFacts() {
    xcb_disconnect(connection_);
}

xcb_atom_t XcbFacts::Atom(const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

Rectangle XcbFacts::RectOf(xcb_window_t window) {
    const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr), &std::free);
    const std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
        xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0),
                                        nullptr),
        &std::free);
    if (!geometry || !origin) {
        return {};
    }
    return {origin->dst_x, origin->dst_y, origin->dst_x + geometry->width, origin->dst_y + geometry->height};
}

Rectangle XcbFacts::MoveTo(xcb_window_t window, std::int32_t x, std::int32_t y) {
    const std::array<std::uint32_t, 2> place{static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place.data());
    xcb_flush(connection_);
    Rectangle rect = RectOf(window);
    for (int attempt = 0; attempt < 40 && rect.Left == 0; ++attempt) {
        usleep(50000);
        rect = RectOf(window);
    }
    usleep(300000);  // and the toolkit has seen it
    return RectOf(window);
}

std::optional<TopLevelWindow> XcbFacts::TopLevelOf(WindowHandle window) {
    const auto id = static_cast<xcb_window_t>(window);
    const Rectangle rect = RectOf(id);
    if (rect == Rectangle{}) {
        return std::nullopt;
    }
    TopLevelWindow facts{window, std::nullopt, rect, {}, std::nullopt};
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> pid(
        xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, id, Atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1), nullptr),
        &std::free);
    if (pid && xcb_get_property_value_length(pid.get()) == 4) {
        facts.pid = *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get()));
    }
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> title(
        xcb_get_property_reply(connection_,
                               xcb_get_property(connection_, 0, id, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 0, 4096),
                               nullptr),
        &std::free);
    if (title) {
        facts.title.assign(static_cast<const char*>(xcb_get_property_value(title.get())),
                           static_cast<std::size_t>(xcb_get_property_value_length(title.get())));
    }
    return facts;
}

namespace {

std::string ReaderOutput(const std::string& script, pid_t pid) {
    const std::string command = "/usr/bin/python3 " + ScriptPath(script) + " " + std::to_string(pid);
    const std::unique_ptr<FILE, decltype(&pclose)> reader(popen(command.c_str(), "r"), &pclose);
    std::string text;
    std::array<char, 4096> buffer{};
    while (reader && std::fgets(buffer.data(), buffer.size(), reader.get()) != nullptr) {
        text += buffer.data();
    }
    return text;
}

}  // namespace

std::vector<std::string> ReadLocatorTree(pid_t pid) {
    std::vector<std::string> lines;
    std::istringstream text(ReaderOutput("read_locator_tree.py", pid));
    std::string line;
    while (std::getline(text, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::map<std::string, ReadElement> ReadTree(pid_t pid) {
    const std::string text = ReaderOutput("read_tree.py", pid);
    std::map<std::string, ReadElement> elements;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t')) {
            fields.push_back(field);
        }
        if (fields.size() != 10) {
            continue;
        }
        ReadElement element{fields[1], fields[2], fields[3], std::nullopt, fields[8] == "1", fields[9] == "1"};
        if (fields[4] != "-") {
            const int x = std::stoi(fields[4]);
            const int y = std::stoi(fields[5]);
            element.extents = Rectangle{x, y, x + std::stoi(fields[6]), y + std::stoi(fields[7])};
        }
        elements[fields[0]] = element;
    }
    return elements;
}

}  // namespace hovermark::atspi::testing
