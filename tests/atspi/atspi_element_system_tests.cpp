// The element system on a real accessibility bus, against GTK 3 and GTK 4 applications, checked against
// pyatspi's independent reading of the same elements. Run by run_on_bus.sh, on a display, session bus and
// accessibility bus of their own.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <atspi/atspi.h>
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/atspi/atspi_element_system.h"
#include "tests/atspi/bus_fixtures.h"

namespace hovermark::atspi::testing {
namespace {

using Clock = std::chrono::steady_clock;

// What the session bus answers; empty when it does not answer within a second.
std::string AskSessionBus(const std::string& destination_and_call) {
    const std::string command =
        "dbus-send --session --print-reply --reply-timeout=1000 --dest=" + destination_and_call + " 2>/dev/null";
    const std::unique_ptr<FILE, decltype(&pclose)> reader(popen(command.c_str(), "r"), &pclose);
    std::string text;
    std::array<char, 512> buffer{};
    while (reader && std::fgets(buffer.data(), buffer.size(), reader.get()) != nullptr) {
        text += buffer.data();
    }
    return text;
}

std::optional<bool> ReadIsEnabled() {
    const std::string text = AskSessionBus(
        "org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:IsEnabled");
    if (text.find("boolean true") != std::string::npos) {
        return true;
    }
    if (text.find("boolean false") != std::string::npos) {
        return false;
    }
    return std::nullopt;
}

void SetIsEnabled(bool enabled) {
    const std::string command =
        std::string(
            "dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus "
            "org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:") +
        (enabled ? "true" : "false") + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

Point CentreOf(const std::vector<std::int32_t>& box, Point origin = {}) {
    return {origin.x + box[0] + box[2] / 2, origin.y + box[1] + box[3] / 2};
}

Rectangle Moved(Rectangle rect, std::int32_t dx, std::int32_t dy) {
    return {rect.Left + dx, rect.Top + dy, rect.Right + dx, rect.Bottom + dy};
}

class OnTheBus : public ::testing::Test {
  protected:
    // Checks the elements against the independent reading: each row's role, name and extents (reported
    // extents moved by `correction`) byte for byte, each one the parent of the one before, the last one a
    // child of a top-level element, and the deepest holding the point with no child of its own that does.
    void ExpectMatchesReading(const std::vector<Element>& found,
                              const std::map<std::string, ReadElement>& tree,
                              Point point,
                              Point correction) {
        ASSERT_FALSE(found.empty());
        std::string child_path;
        for (const Element& element : found) {
            SCOPED_TRACE(element.id);
            const std::string path = PathOf(element.id);
            ASSERT_TRUE(tree.contains(path));
            const ReadElement& read = tree.at(path);
            EXPECT_EQ(element.role, read.role);
            EXPECT_EQ(element.name, read.name);
            if (read.extents && read.extents->Right > read.extents->Left && read.extents->Bottom > read.extents->Top) {
                EXPECT_EQ(element.extents, Moved(*read.extents, correction.x, correction.y));
            } else {
                EXPECT_EQ(element.extents, std::nullopt);
            }
            if (!child_path.empty()) {
                EXPECT_EQ(tree.at(child_path).parent, path);
            }
            child_path = path;
        }
        const std::string& top_level = tree.at(child_path).parent;
        ASSERT_TRUE(tree.contains(top_level));
        EXPECT_EQ(tree.at(top_level).parent, "-");
        ASSERT_TRUE(found.front().extents.has_value());
        EXPECT_TRUE(Holds(*found.front().extents, point));
        for (const auto& [path, read] : tree) {
            if (read.parent == PathOf(found.front().id) && read.visible && read.extents) {
                EXPECT_FALSE(Holds(Moved(*read.extents, correction.x, correction.y), point)) << path;
            }
        }
    }

    XcbFacts facts;
    Clock::time_point now = Clock::now();
    AtspiElementSystem elements{facts, [this] { return now; }};
};

TEST_F(OnTheBus, Gtk3ElementsMatchAnIndependentReadingAndVanishWhenRemoved) {
    FixtureProcess gtk3("gtk3_fixture.py");
    ASSERT_EQ(ReadIsEnabled(), false);
    ASSERT_EQ(elements.Start(), std::nullopt);
    EXPECT_EQ(ReadIsEnabled(), true);
    const auto window = static_cast<WindowHandle>(gtk3.Window());
    const std::map<std::string, ReadElement> tree = ReadTree(gtk3.Pid());

    for (const char* control : {"button", "entry", "check"}) {
        SCOPED_TRACE(control);
        const Point point = CentreOf(gtk3.Control(control));
        ExpectMatchesReading(elements.ElementsAt(window, point).elements, tree, point, {});
    }
    const Point on_button = CentreOf(gtk3.Control("button"));
    const std::vector<Element> found = elements.ElementsAt(window, on_button).elements;
    ASSERT_EQ(found.front().role, "push button");
    EXPECT_EQ(found.front().name, "Press me");
    const auto box = gtk3.Control("button");
    EXPECT_EQ(found.front().extents, (Rectangle{box[0], box[1], box[0] + box[2], box[1] + box[3]}));

    // At rest over the button: two calls a tick.
    const std::uint64_t before = elements.RoundTrips();
    EXPECT_EQ(elements.ElementsAt(window, on_button).elements, found);
    EXPECT_EQ(elements.RoundTrips() - before, 2U);

    // The button goes away: it has gone.
    Rectangle rect{};
    EXPECT_EQ(elements.GetElementRect(found.front().id, rect), ElementPresence::kPresent);
    gtk3.Send("remove button");
    bool gone = false;
    for (int attempt = 0; attempt < 50 && !gone; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gone = elements.GetElementRect(found.front().id, rect) == ElementPresence::kGone;
    }
    EXPECT_TRUE(gone);

    // The text field has taken its place. Its application leaves the bus: the field has gone too, and asking
    // costs no wait.
    const std::vector<Element> on_entry = elements.ElementsAt(window, on_button).elements;
    ASSERT_EQ(on_entry.front().role, "text");
    gtk3.Send("quit");
    gone = false;
    for (int attempt = 0; attempt < 50 && !gone; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gone = elements.GetElementRect(on_entry.front().id, rect) == ElementPresence::kGone;
    }
    EXPECT_TRUE(gone);
    const auto start = Clock::now();
    EXPECT_TRUE(elements.ElementsAt(window, CentreOf(gtk3.Control("check"))).elements.empty());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));

    elements.Stop();
    EXPECT_EQ(ReadIsEnabled(), false);
}

TEST_F(OnTheBus, Gtk4RelativeExtentsAreCorrectedByTheWindowsOrigin) {
    FixtureProcess gtk4("gtk4_fixture.py");
    // Switched on by someone else already: it stays on after Stop.
    SetIsEnabled(true);
    ASSERT_EQ(elements.Start(), std::nullopt);
    elements.Stop();
    EXPECT_EQ(ReadIsEnabled(), true);
    SetIsEnabled(false);
    ASSERT_EQ(elements.Start(), std::nullopt);
    const auto window = static_cast<WindowHandle>(gtk4.Window());
    // Away from the screen's corner, so that relative and screen extents differ.
    const Rectangle real = facts.MoveTo(gtk4.Window(), 333, 277);
    ASSERT_NE(real.Left, 0);
    const std::map<std::string, ReadElement> tree = ReadTree(gtk4.Pid());
    for (const char* control : {"button", "entry", "check"}) {
        SCOPED_TRACE(control);
        const Point point = CentreOf(gtk4.Control(control), {real.Left, real.Top});
        ExpectMatchesReading(elements.ElementsAt(window, point).elements, tree, point, {real.Left, real.Top});
    }
    // At rest: two calls a tick here too.
    const Point on_button = CentreOf(gtk4.Control("button"), {real.Left, real.Top});
    const std::vector<Element> found = elements.ElementsAt(window, on_button).elements;
    const std::uint64_t before = elements.RoundTrips();
    EXPECT_EQ(elements.ElementsAt(window, on_button).elements, found);
    EXPECT_EQ(elements.RoundTrips() - before, 2U);

    // The check box sits in the shown page of a stack whose pages have no extents.
    const std::vector<Element> in_stack =
        elements.ElementsAt(window, CentreOf(gtk4.Control("check"), {real.Left, real.Top})).elements;
    std::vector<std::string> roles;
    roles.reserve(in_stack.size());
    for (const Element& element : in_stack) {
        roles.push_back(element.role + "/" + element.name);
    }
    EXPECT_NE(std::find(roles.begin(), roles.end(), "panel/GtkStackPage"), roles.end());
    EXPECT_NE(std::find(roles.begin(), roles.end(), "check box/Nested choice"), roles.end());
}

TEST_F(OnTheBus, StoppedApplicationIsLeftAloneForFiveSecondsThenReadAgain) {
    FixtureProcess gtk3("gtk3_fixture.py");
    ASSERT_EQ(elements.Start(), std::nullopt);
    const auto window = static_cast<WindowHandle>(gtk3.Window());
    const Point on_entry = CentreOf(gtk3.Control("entry"));
    const std::vector<Element> held = elements.ElementsAt(window, on_entry).elements;
    ASSERT_EQ(held.front().role, "text");

    // The element held (paused on it) has not gone: its application's silence says nothing either way.
    gtk3.Signal(SIGSTOP);
    Rectangle rect{};
    auto start = Clock::now();
    EXPECT_EQ(elements.GetElementRect(held.front().id, rect), ElementPresence::kNotKnownNow);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(600));
    const Point on_button = CentreOf(gtk3.Control("button"));
    start = Clock::now();
    EXPECT_TRUE(elements.ElementsAt(window, on_button).elements.empty());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(600));
    // Left alone: answered at once, without asking it.
    start = Clock::now();
    for (int tick = 0; tick < 10; ++tick) {
        EXPECT_TRUE(elements.ElementsAt(window, tick % 2 == 0 ? on_entry : on_button).elements.empty());
    }
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));

    gtk3.Signal(SIGCONT);
    now += std::chrono::seconds(5);
    const std::vector<Element> back = elements.ElementsAt(window, on_button).elements;
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(back.front().name, "Press me");
}

// The accessibility bus's daemon, the one child of the bus launcher that run_on_bus.sh started; 0 if none.
pid_t AccessibilityBusDaemon() {
    const char* launcher = std::getenv("HOVERMARK_ATSPI_LAUNCHER_PID");
    if (launcher == nullptr) {
        return 0;
    }
    const std::string command = std::string("pgrep -P ") + launcher + " -x dbus-daemon";
    const std::unique_ptr<FILE, decltype(&pclose)> reader(popen(command.c_str(), "r"), &pclose);
    std::array<char, 64> line{};
    if (!reader || std::fgets(line.data(), line.size(), reader.get()) == nullptr) {
        return 0;
    }
    return static_cast<pid_t>(std::atoi(line.data()));
}

// A stopped accessibility bus answers nothing: switching the mode on says there is no accessibility bus
// within a second, changes nothing, and works once the bus runs again.
TEST_F(OnTheBus, StoppedAccessibilityBusIsReportedWithinASecond) {
    const pid_t daemon = AccessibilityBusDaemon();
    ASSERT_GT(daemon, 0);
    ASSERT_EQ(ReadIsEnabled(), false);
    ASSERT_EQ(kill(daemon, SIGSTOP), 0);
    const auto start = Clock::now();
    const std::optional<std::string> problem = elements.Start();
    const auto waited = Clock::now() - start;
    kill(daemon, SIGCONT);
    EXPECT_EQ(problem, std::string(kNoAccessibilityBusText));
    EXPECT_LT(waited, std::chrono::seconds(1));
    EXPECT_EQ(ReadIsEnabled(), false);
    EXPECT_EQ(elements.Start(), std::nullopt);
    EXPECT_EQ(ReadIsEnabled(), true);
}

// The accessibility bus goes away with its launcher, and the session bus starts another launcher, whose bus
// has a new address: the next start finds that bus, and an application on it.
TEST_F(OnTheBus, RestartedAccessibilityBusIsFoundAtItsNewAddress) {
    ASSERT_EQ(elements.Start(), std::nullopt);
    elements.Stop();
    const std::string get_address = "org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress";
    const std::string old_address = AskSessionBus(get_address);
    const pid_t daemon = AccessibilityBusDaemon();
    ASSERT_GT(daemon, 0);
    ASSERT_EQ(kill(std::atoi(std::getenv("HOVERMARK_ATSPI_LAUNCHER_PID")), SIGTERM), 0);
    kill(daemon, SIGTERM);
    std::string new_address;
    for (int attempt = 0; attempt < 20 && (new_address.empty() || new_address == old_address); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        new_address = AskSessionBus(get_address);
    }
    ASSERT_NE(new_address.find("unix:"), std::string::npos);
    ASSERT_NE(new_address, old_address);
    // The bus daemon is found among the new launcher's children from now on.
    const std::string launcher = AskSessionBus(
        "org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID "
        "string:org.a11y.Bus");
    const std::size_t pid_at = launcher.find("uint32 ");
    ASSERT_NE(pid_at, std::string::npos);
    setenv("HOVERMARK_ATSPI_LAUNCHER_PID", std::to_string(std::stoi(launcher.substr(pid_at + 7))).c_str(), 1);

    ASSERT_EQ(elements.Start(), std::nullopt);
    FixtureProcess gtk3("gtk3_fixture.py");
    const std::vector<Element> found =
        elements.ElementsAt(static_cast<WindowHandle>(gtk3.Window()), CentreOf(gtk3.Control("button"))).elements;
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.front().name, "Press me");
}

// Run without a session bus, or with one that has no accessibility bus: Start says so in one sentence, and
// nothing else changes or ends the process.
TEST(WithoutBus, StartSaysWhyAndNothingElseBreaks) {
    struct NoFacts final : TopLevelFacts {
        std::optional<TopLevelWindow> TopLevelOf(WindowHandle /*window*/) override { return std::nullopt; }
    } facts;
    AtspiElementSystem elements(facts);
    const char* missing = std::getenv("HOVERMARK_MISSING_BUS");
    ASSERT_NE(missing, nullptr);
    const std::string_view expected =
        std::string_view(missing) == "session" ? kNoSessionBusText : kNoAccessibilityBusText;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(elements.Start(), std::string(expected));
        EXPECT_TRUE(elements.ElementsAt(1, {1, 1}).elements.empty());
        Rectangle rect{};
        EXPECT_EQ(elements.GetElementRect(":1.1/none", rect), ElementPresence::kGone);
        elements.Stop();
    }
    EXPECT_FALSE(atspi_is_initialized());
}

}  // namespace
}  // namespace hovermark::atspi::testing
