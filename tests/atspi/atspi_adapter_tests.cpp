// Looking inside windows on a real accessibility bus: the element engine over the AT-SPI adapter, against GTK 3
// applications, checked against pyatspi's independent reading of the same elements; and what becomes of it when
// the bus, its registry or an application stops answering. Run by run_on_bus.sh, on a display, session bus and
// accessibility bus of their own.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>

#include "platform/atspi/atspi_adapter.h"
#include "tests/atspi/bus_fixtures.h"
#include "window_inspection/element_engine.h"

namespace hovermark::atspi::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What a command prints; empty when it fails.
std::string Output(const std::string& command) {
    const std::unique_ptr<FILE, decltype(&pclose)> reader(popen(command.c_str(), "r"), &pclose);
    std::string text;
    std::array<char, 512> buffer{};
    while (reader && std::fgets(buffer.data(), buffer.size(), reader.get()) != nullptr) {
        text += buffer.data();
    }
    return text;
}

std::optional<bool> ReadIsEnabled() {
    const std::string text = Output(
        "dbus-send --session --print-reply --reply-timeout=1000 --dest=org.a11y.Bus /org/a11y/bus "
        "org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:IsEnabled 2>/dev/null");
    if (text.find("boolean true") != std::string::npos) {
        return true;
    }
    if (text.find("boolean false") != std::string::npos) {
        return false;
    }
    return std::nullopt;
}

// The process of a child of the bus launcher that run_on_bus.sh started; 0 if none.
pid_t LauncherChild(const char* name) {
    const char* launcher = std::getenv("HOVERMARK_ATSPI_LAUNCHER_PID");
    if (launcher == nullptr) {
        return 0;
    }
    return static_cast<pid_t>(std::atoi(Output(std::string("pgrep -P ") + launcher + " -x " + name).c_str()));
}

// The registry's process, as the accessibility bus of this run knows it.
pid_t RegistryDaemon() {
    const std::string reply =
        Output("dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress");
    const std::size_t start = reply.find_first_not_of(" \n");
    const std::size_t end = reply.find_last_not_of(" \n");
    if (start == std::string::npos) {
        return 0;
    }
    const std::string pid = Output("dbus-send --bus=" + reply.substr(start, end - start + 1) +
                                   " --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                                   "org.freedesktop.DBus.GetConnectionUnixProcessID string:org.a11y.atspi.Registry");
    const std::size_t number = pid.find("uint32 ");
    return number == std::string::npos ? 0 : static_cast<pid_t>(std::atoi(pid.c_str() + number + 7));
}

Point CentreOf(const std::vector<std::int32_t>& box) {
    return {box[0] + box[2] / 2, box[1] + box[3] / 2};
}

class OnTheBus : public ::testing::Test {
  protected:
    // Asks tick after tick, as the program does, until `done` holds or `limit` has passed; the last answer.
    ElementsAnswer AskUntil(WindowHandle window,
                            Point point,
                            const std::function<bool(const ElementsAnswer&)>& done,
                            milliseconds limit = milliseconds(3000)) {
        const auto until = Clock::now() + limit;
        ElementsAnswer answer = engine.ElementsAt(window, point);
        while (!done(answer) && Clock::now() < until) {
            std::this_thread::sleep_for(milliseconds(70));
            answer = engine.ElementsAt(window, point);
        }
        return answer;
    }

    // Each row is the reading's element of the same role and name (and extents, for the deepest, the one row
    // that has them), each the parent of the one before, the last one a child of a top-level element.
    static void ExpectMatchesReading(const std::vector<Element>& found,
                                     const std::map<std::string, ReadElement>& tree) {
        ASSERT_FALSE(found.empty());
        std::string child;
        for (const Element& element : found) {
            SCOPED_TRACE(element.role + " " + element.name);
            std::string match;
            for (const auto& [path, read] : tree) {
                const bool same_place = !child.empty() || element.extents == read.extents;
                if (read.role == element.role && read.name == element.name && same_place &&
                    (child.empty() || tree.at(child).parent == path)) {
                    match = path;
                }
            }
            ASSERT_FALSE(match.empty()) << "no such element in the reading";
            child = match;
        }
        ASSERT_TRUE(tree.contains(tree.at(child).parent));
        EXPECT_EQ(tree.at(tree.at(child).parent).parent, "-");
    }

    XcbFacts facts;
    std::shared_ptr<AtspiAdapter> adapter = std::make_shared<AtspiAdapter>(facts);
    ElementEngine engine{adapter};
};

const auto kHasElements = [](const ElementsAnswer& answer) { return answer.known && !answer.elements.empty(); };

// Read whole and exact; at rest at most one call a tick; removed, gone; its application gone, gone too; and
// IsEnabled as it was once the mode is off.
TEST_F(OnTheBus, Gtk3ElementsMatchAnIndependentReadingAndVanishWhenRemoved) {
    FixtureProcess gtk3("gtk3_fixture.py");
    ASSERT_EQ(ReadIsEnabled(), false);
    ASSERT_EQ(engine.Start(), std::nullopt);
    EXPECT_EQ(ReadIsEnabled(), true);
    const auto window = static_cast<WindowHandle>(gtk3.Window());
    const std::map<std::string, ReadElement> tree = ReadTree(gtk3.Pid());
    for (const char* control : {"button", "entry", "check"}) {
        SCOPED_TRACE(control);
        ExpectMatchesReading(AskUntil(window, CentreOf(gtk3.Control(control)), kHasElements).elements, tree);
    }
    const Point on_button = CentreOf(gtk3.Control("button"));
    const std::vector<Element> found =
        AskUntil(window, on_button, [](const ElementsAnswer& answer) {
            return !answer.elements.empty() && answer.elements.front().name == "Press me";
        }).elements;
    ASSERT_FALSE(found.empty());
    const auto box = gtk3.Control("button");
    EXPECT_EQ(found.front().extents, (Rectangle{box[0], box[1], box[0] + box[2], box[1] + box[3]}));

    // At rest: never more than one call a tick, and the same rows.
    const std::uint64_t before = adapter->BusCalls();
    for (int tick = 0; tick < 8; ++tick) {
        EXPECT_EQ(engine.ElementsAt(window, on_button).elements, found);
        std::this_thread::sleep_for(milliseconds(100));
    }
    EXPECT_LE(adapter->BusCalls() - before, 8U);

    Rectangle rect{};
    EXPECT_EQ(engine.GetElementRect(found.front().id, rect), ElementPresence::kPresent);
    gtk3.Send("remove button");
    ElementPresence presence = ElementPresence::kPresent;
    for (int tick = 0; tick < 50 && presence != ElementPresence::kGone; ++tick) {
        std::this_thread::sleep_for(milliseconds(100));
        presence = engine.GetElementRect(found.front().id, rect);
    }
    EXPECT_EQ(presence, ElementPresence::kGone);

    const ElementsAnswer on_entry = AskUntil(window, on_button, [](const ElementsAnswer& answer) {
        return !answer.elements.empty() && answer.elements.front().role == "text";
    });
    ASSERT_FALSE(on_entry.elements.empty());
    gtk3.Send("quit");
    presence = ElementPresence::kPresent;
    for (int tick = 0; tick < 50 && presence != ElementPresence::kGone; ++tick) {
        std::this_thread::sleep_for(milliseconds(100));
        presence = engine.GetElementRect(on_entry.elements.front().id, rect);
    }
    EXPECT_EQ(presence, ElementPresence::kGone);

    engine.Stop();
    EXPECT_EQ(ReadIsEnabled(), false);
}

// A button twelve containers deep in an application whose every extents call takes 190 ms: more calls than one
// tick may wait for, and a level more than a tick's wait; after six seconds of rest the button and every
// container are listed.
TEST_F(OnTheBus, ASlowTreeListsItsButtonAfterARest) {
    FixtureProcess slow("slow_tree_fixture.py");
    ASSERT_EQ(engine.Start(), std::nullopt);
    const auto window = static_cast<WindowHandle>(slow.Window());
    const ElementsAnswer answer = AskUntil(
        window, CentreOf(slow.Control("button")),
        [](const ElementsAnswer& asked) { return asked.elements.size() == 13; }, milliseconds(6000));
    ASSERT_EQ(answer.elements.size(), 13U);
    EXPECT_EQ(answer.elements.front().role + "/" + answer.elements.front().name, "push button/Slow button");
    const auto box = slow.Control("button");
    EXPECT_EQ(answer.elements.front().extents, (Rectangle{box[0], box[1], box[0] + box[2], box[1] + box[3]}));
    for (int level = 1; level <= 12; ++level) {
        const Element& container = answer.elements[13 - level];
        EXPECT_EQ(container.role + "/" + container.name, "filler/Level " + std::to_string(level));
    }
}

// The registry stopped: it is left alone like any application. Every tick over a window that no element is
// known for yet ends within the engine's wait, and once the registry answers again the elements come.
TEST_F(OnTheBus, StoppedRegistryIsLeftAloneAndReadAgainLater) {
    FixtureProcess gtk3("gtk3_fixture.py");
    ASSERT_EQ(engine.Start(), std::nullopt);
    const pid_t registry = RegistryDaemon();
    ASSERT_GT(registry, 0);
    ASSERT_EQ(kill(registry, SIGSTOP), 0);
    const auto window = static_cast<WindowHandle>(gtk3.Window());
    const Point on_button = CentreOf(gtk3.Control("button"));
    auto slowest = Clock::duration::zero();
    const auto start = Clock::now();
    for (int tick = 0; tick < 30; ++tick) {
        const auto asked = Clock::now();
        EXPECT_TRUE(engine.ElementsAt(window, {on_button.x + tick % 3, on_button.y}).elements.empty());
        slowest = std::max(slowest, Clock::now() - asked);
        std::this_thread::sleep_for(milliseconds(100));
    }
    kill(registry, SIGCONT);
    EXPECT_LT(slowest, milliseconds(100));
    EXPECT_LT(Clock::now() - start, milliseconds(30 * 100 + 1000));
    EXPECT_FALSE(AskUntil(window, on_button, kHasElements, milliseconds(8000)).elements.empty());
}

// A stopped accessibility bus answers nothing: switching the mode on says there is no accessibility bus
// within a second, changes nothing, and works once the bus runs again.
TEST_F(OnTheBus, StoppedAccessibilityBusIsReportedWithinASecond) {
    const pid_t daemon = LauncherChild("dbus-daemon");
    ASSERT_GT(daemon, 0);
    ASSERT_EQ(ReadIsEnabled(), false);
    ASSERT_EQ(kill(daemon, SIGSTOP), 0);
    const auto start = Clock::now();
    const std::optional<std::string> problem = engine.Start();
    const auto waited = Clock::now() - start;
    kill(daemon, SIGCONT);
    EXPECT_EQ(problem, std::string(kNoAccessibilityBusText));
    EXPECT_LT(waited, std::chrono::seconds(1));
    EXPECT_EQ(ReadIsEnabled(), false);
    EXPECT_EQ(engine.Start(), std::nullopt);
    EXPECT_EQ(ReadIsEnabled(), true);
}

// Every round trip a locator's check makes, counted; refused once `allowed` have been made.
class CountedTrips final : public RoundTrips {
  public:
    explicit CountedTrips(int allowed = 1 << 30) : allowed_(allowed) {}
    void Trip() override { ++made; }
    bool TripTo(const ApplicationId& /*application*/) override {
        if (made == allowed_) {
            return false;
        }
        ++made;
        return true;
    }
    int made = 0;

  private:
    int allowed_;
};

std::string Hexed(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hexed;
    for (const char byte : text) {
        hexed += kDigits[static_cast<unsigned char>(byte) >> 4];
        hexed += kDigits[static_cast<unsigned char>(byte) & 15];
    }
    return hexed;
}

std::string Hexed(const locator::ItemFacts& facts, locator::Key key) {
    for (const locator::Property& property : facts.properties) {
        if (property.key == key) {
            return Hexed(property.value);
        }
    }
    return "";
}

// The lines read_locator_tree.py prints for the subtree of `found`, read through ChildrenOf.
void ReadWhole(AtspiAdapter& adapter,
               const FoundNode& found,
               int depth,
               RoundTrips& trips,
               std::vector<std::string>& lines) {
    using locator::Key;
    std::string line = std::to_string(depth) + "\t" + Hexed(found.facts, Key::kRoleName) + "\t" +
                       Hexed(found.facts, Key::kName) + "\t" + Hexed(found.facts, Key::kAccessibleId) + "\t" +
                       Hexed(found.facts, Key::kIdAttribute);
    lines.push_back(std::move(line));
    EXPECT_TRUE(found.facts.findable);
    const Reply<std::vector<FoundNode>> children = adapter.ChildrenOf(found.node, trips);
    ASSERT_EQ(children.status, CallStatus::kAnswer) << lines.size();
    for (const FoundNode& child : children.value) {
        ReadWhole(adapter, child, depth + 1, trips, lines);
    }
}

// A locator's check reads an application whole as dogtail's reader does (children by index, the protocol's role
// names, names of 1 MiB, tabs and line breaks exact, accessible ids): GTK 3 buttons that only their groups or
// order tell apart or that bear hostile names, and GTK 4, whose stack lists its pages by index only and which
// calls a push button a "button" itself. The applications in the registry's order; each scope found again from
// inside it; every call booked. A refused trip, and an application that stops, end a read failed, in bound.
TEST_F(OnTheBus, ALocatorsCheckReadsWholeApplicationsAsDogtailsReaderDoes) {
    FixtureProcess duplicates("../e2e_linux/locator_fixture.py", {"20", "20", "duplicates"});
    FixtureProcess hostile("../e2e_linux/locator_fixture.py", {"520", "20", "hostile"});
    FixtureProcess gtk4("gtk4_fixture.py");
    ASSERT_EQ(engine.Start(), std::nullopt);
    CountedTrips trips;
    const std::uint64_t calls_before = adapter->BusCalls();
    const Reply<std::vector<FoundNode>> scopes = adapter->Scopes(trips);
    ASSERT_EQ(scopes.status, CallStatus::kAnswer);
    for (const FixtureProcess* fixture : {&duplicates, &hostile, &gtk4}) {
        const std::vector<std::string> reading = ReadLocatorTree(fixture->Pid());
        ASSERT_GE(reading.size(), 3U);
        std::string listed = "scopes";
        for (const FoundNode& scope : scopes.value) {
            listed += "\t" + Hexed(scope.facts, locator::Key::kName);
        }
        EXPECT_EQ(listed, reading[0]);
        // The scope whose name and role are the reading's application's.
        const std::string application = reading[1].substr(0, reading[1].size() - 2);
        const auto scope = std::find_if(scopes.value.begin(), scopes.value.end(), [&](const FoundNode& found) {
            return "0\t" + Hexed(found.facts, locator::Key::kRoleName) + "\t" +
                       Hexed(found.facts, locator::Key::kName) ==
                   application;
        });
        ASSERT_NE(scope, scopes.value.end()) << application;
        std::vector<std::string> lines;
        ReadWhole(*adapter, *scope, 0, trips, lines);
        ASSERT_EQ(lines.size(), reading.size() - 1);
        for (std::size_t at = 0; at < lines.size(); ++at) {
            EXPECT_EQ(lines[at], at == 0 ? application + "\t\t" : reading[at + 1]) << "element " << at;
        }
        // From the deepest element of the last line back to its scope.
        std::vector<FoundNode> path{*scope};
        while (true) {
            const Reply<std::vector<FoundNode>> children = adapter->ChildrenOf(path.back().node, trips);
            ASSERT_EQ(children.status, CallStatus::kAnswer);
            if (children.value.empty()) {
                break;
            }
            path.push_back(children.value.back());
        }
        const Reply<NodePtr> found_scope = adapter->ScopeOf(path.back().node, trips);
        ASSERT_EQ(found_scope.status, CallStatus::kAnswer);
        EXPECT_EQ(adapter->Identity(*found_scope.value), adapter->Identity(*scope->node));
        EXPECT_GT(path.size(), 3U);
    }
    EXPECT_EQ(adapter->BusCalls() - calls_before, static_cast<std::uint64_t>(trips.made));

    // As Scopes found it, its children counted already; as ScopeOf gives it, not yet.
    const FoundNode& hostile_listed =
        *std::find_if(scopes.value.begin(), scopes.value.end(), [](const FoundNode& found) {
            return Hexed(found.facts, locator::Key::kName) == Hexed("hovermark-locator-hostile");
        });
    const Reply<NodePtr> hostile_scope = adapter->ScopeOf(hostile_listed.node, trips);
    for (const int allowed : {0, 1, 4}) {
        SCOPED_TRACE(allowed);
        CountedTrips refusing(allowed);
        const std::uint64_t before = adapter->BusCalls();
        EXPECT_EQ(adapter->ChildrenOf(hostile_scope.value, refusing).status, CallStatus::kFailed);
        EXPECT_EQ(adapter->BusCalls() - before, static_cast<std::uint64_t>(allowed));
    }

    hostile.Signal(SIGSTOP);
    const auto asked = Clock::now();
    const Reply<std::vector<FoundNode>> stopped = adapter->ChildrenOf(hostile_listed.node, trips);
    const auto waited = Clock::now() - asked;
    hostile.Signal(SIGCONT);
    EXPECT_EQ(stopped.status, CallStatus::kFailed);
    EXPECT_LT(waited, milliseconds(1000));
    EXPECT_EQ(adapter->Scopes(trips).status, CallStatus::kAnswer);
}

// Paused on an element as the accessibility bus's daemon dies: nothing can be told, but nothing has gone. The
// session bus starts another bus: it is found while the mode stays on, an application on it is read, and
// IsEnabled is set there and put back. Last: the bus the other tests ran on does not come back.
TEST_F(OnTheBus, DeadBusIsNotKnownNowNeverGoneAndItsSuccessorIsFound) {
    FixtureProcess gtk3("gtk3_fixture.py");
    ASSERT_EQ(engine.Start(), std::nullopt);
    const auto window = static_cast<WindowHandle>(gtk3.Window());
    const std::vector<Element> held = AskUntil(window, CentreOf(gtk3.Control("entry")), kHasElements).elements;
    ASSERT_FALSE(held.empty());
    const pid_t daemon = LauncherChild("dbus-daemon");
    ASSERT_GT(daemon, 0);
    ASSERT_EQ(kill(daemon, SIGKILL), 0);
    std::this_thread::sleep_for(milliseconds(300));
    Rectangle rect{};
    for (int tick = 0; tick < 20; ++tick) {
        const auto asked = Clock::now();
        EXPECT_NE(engine.GetElementRect(held.front().id, rect), ElementPresence::kGone) << tick;
        EXPECT_LT(Clock::now() - asked, milliseconds(100));
        std::this_thread::sleep_for(milliseconds(100));
    }
    EXPECT_EQ(engine.GetElementRect(held.front().id, rect), ElementPresence::kNotKnownNow);

    FixtureProcess later("gtk3_fixture.py");
    const ElementsAnswer found = AskUntil(static_cast<WindowHandle>(later.Window()), CentreOf(later.Control("button")),
                                          kHasElements, milliseconds(8000));
    ASSERT_FALSE(found.elements.empty());
    EXPECT_EQ(found.elements.front().name, "Press me");
    EXPECT_EQ(ReadIsEnabled(), true);
    engine.Stop();
    EXPECT_EQ(ReadIsEnabled(), false);
}

// Run without a session bus, or with one that has no accessibility bus: Start says so in one sentence, and
// nothing else changes or ends the process.
TEST(WithoutBus, StartSaysWhyAndNothingElseBreaks) {
    struct NoFacts final : TopLevelFacts {
        std::optional<TopLevelWindow> TopLevelOf(WindowHandle /*window*/) override { return std::nullopt; }
    } facts;
    ElementEngine engine(std::make_shared<AtspiAdapter>(facts));
    const char* missing = std::getenv("HOVERMARK_MISSING_BUS");
    ASSERT_NE(missing, nullptr);
    const std::string_view expected =
        std::string_view(missing) == "session" ? kNoSessionBusText : kNoAccessibilityBusText;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(engine.Start(), std::string(expected));
        EXPECT_TRUE(engine.ElementsAt(1, {1, 1}).elements.empty());
        Rectangle rect{};
        EXPECT_EQ(engine.GetElementRect("e1", rect), ElementPresence::kNotKnownNow);
        engine.Stop();
    }
}

}  // namespace
}  // namespace hovermark::atspi::testing
