// The element finder and its memory between ticks, on accessible trees held in memory: toolkits that report
// relative extents or answer the child at a point wrongly, hostile trees, and applications that hang.
#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/atspi/element_finder.h"
#include "platform/atspi/element_reader.h"
#include "tests/atspi/scripted_accessible_tree.h"
#include "window_inspection/text_cleaning.h"

namespace hovermark::atspi::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;

#define EXPECT_PRESENT(presence) EXPECT_EQ(presence, ElementPresence::kPresent)
#define EXPECT_GONE(presence) EXPECT_EQ(presence, ElementPresence::kGone)

constexpr WindowHandle kWindow = 4194307;
constexpr Rectangle kWindowRect{430, 369, 850, 669};  // a 420 x 300 window

class FixedFacts final : public TopLevelFacts {
  public:
    std::optional<TopLevelWindow> TopLevelOf(WindowHandle window) override {
        return window == kWindow ? facts : std::optional<TopLevelWindow>();
    }
    bool ChangedSinceLastAsked(WindowHandle /*top_level*/) override { return changed; }
    std::optional<TopLevelWindow> facts = TopLevelWindow{kWindow, 77, kWindowRect, "Editor"};
    bool changed = true;
};

std::vector<std::string> Ids(const std::vector<Step>& path) {
    std::vector<std::string> ids;
    ids.reserve(path.size());
    for (const Step& step : path) {
        ids.push_back(step.element->Id());
    }
    return ids;
}

// A GTK 4.8 window: extents relative to the window, nothing answered below the top level, a stack whose two
// pages have no extents and are both visible, nothing marked showing.
void AddRelativeToolkit(ScriptedDesktop& desktop) {
    desktop.Add({.id = ":1.9/root", .role = "application", .children = {":1.9/frame"}});
    desktop.Add({.id = ":1.9/frame",
                 .role = "frame",
                 .name = "Editor",
                 .extents = Extents{0, 0, 420, 300},
                 .children = {":1.9/box"}});
    desktop.Add({.id = ":1.9/box",
                 .role = "panel",
                 .extents = Extents{16, 16, 388, 268},
                 .children = {":1.9/button", ":1.9/stack"},
                 .parent = ":1.9/frame",
                 .answer = ""});
    desktop.Add({.id = ":1.9/button",
                 .role = "push button",
                 .name = "Press me",
                 .extents = Extents{16, 16, 388, 34},
                 .children = {":1.9/button-label"},
                 .parent = ":1.9/box",
                 .answer = ""});
    desktop.Add({.id = ":1.9/button-label",
                 .role = "label",
                 .name = "Press me",
                 .extents = Extents{33, 21, 354, 24},
                 .parent = ":1.9/button",
                 .answer = ""});
    desktop.Add({.id = ":1.9/stack",
                 .role = "panel",
                 .extents = Extents{16, 108, 388, 176},
                 .children = {":1.9/page1", ":1.9/page2"},
                 .parent = ":1.9/box",
                 .answer = ""});
    desktop.Add({.id = ":1.9/page1",
                 .role = "panel",
                 .name = "GtkStackPage",
                 .children = {":1.9/hidden"},
                 .parent = ":1.9/stack",
                 .answer = ""});
    desktop.Add({.id = ":1.9/hidden",
                 .role = "label",
                 .name = "Hidden",
                 .extents = Extents{16, 108, 0, 0},
                 .parent = ":1.9/page1"});
    desktop.Add({.id = ":1.9/page2",
                 .role = "panel",
                 .name = "GtkStackPage",
                 .children = {":1.9/inner"},
                 .parent = ":1.9/stack",
                 .answer = ""});
    desktop.Add({.id = ":1.9/inner",
                 .role = "panel",
                 .extents = Extents{16, 108, 388, 176},
                 .children = {":1.9/check"},
                 .parent = ":1.9/page2",
                 .answer = ""});
    desktop.Add({.id = ":1.9/check",
                 .role = "check box",
                 .name = "Nested",
                 .extents = Extents{20, 112, 112, 168},
                 .parent = ":1.9/inner",
                 .answer = ""});
    desktop.AddApplication(":1.9/root", 77);
}

TEST(ElementFinder, RelativeExtentsAreCorrectedAndBrokenAnswersFallBackToTheVisibleChildHoldingThePoint) {
    ScriptedDesktop desktop;
    AddRelativeToolkit(desktop);
    const FixedFacts facts;
    WalkBudget budget;
    const std::optional<TopLevelMatch> match =
        FindTopLevel(desktop.Applications(budget), *facts.facts, Ownership::kOwner, budget);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->top_level->Id(), ":1.9/frame");
    EXPECT_EQ(match->offset, (Offset{430, 369}));

    // Inside the shown page's check box: the page without extents stands for its child.
    const Point on_check{430 + 30, 369 + 150};
    EXPECT_THAT(Ids(Descend(match->top_level, on_check, match->offset)),
                ElementsAre(":1.9/box", ":1.9/stack", ":1.9/page2", ":1.9/inner", ":1.9/check"));
    // The button: its label child lies over it.
    const std::vector<Step> on_button = Descend(match->top_level, {430 + 40, 369 + 30}, match->offset);
    EXPECT_THAT(Ids(on_button), ElementsAre(":1.9/box", ":1.9/button", ":1.9/button-label"));
    EXPECT_EQ(OnScreen(*on_button.back().extents, match->offset), (Rectangle{463, 390, 817, 414}));

    // Where the toolkit marks children as showing, only a showing one is taken.
    desktop.Node(":1.9/page1").states.showing = true;
    desktop.Node(":1.9/hidden").extents = Extents{16, 108, 388, 176};
    EXPECT_THAT(Ids(Descend(match->top_level, on_check, match->offset)),
                ElementsAre(":1.9/box", ":1.9/stack", ":1.9/page1", ":1.9/hidden"));

    // A toolkit that reports screen extents, its window manager's frame included, is left untouched.
    EXPECT_EQ(CorrectionFor({429, 349, 422, 321}, kWindowRect), (Offset{}));
    EXPECT_EQ(CorrectionFor({430, 369, 420, 300}, kWindowRect), (Offset{}));
    EXPECT_EQ(CorrectionFor({440, 379, 400, 280}, kWindowRect), (Offset{}));
}

TEST(ElementFinder, HostileTreesEndSoundly) {
    ScriptedDesktop desktop;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    desktop.Add({.id = ":1.4/frame",
                 .role = "frame",
                 .extents = Extents{0, 0, kMax, kMax},
                 .children = {":1.4/self", ":1.4/a"},
                 .answer = ":1.4/a"});
    // A points at B, B at A; B also lists A and itself and a missing node as children.
    desktop.Add({.id = ":1.4/a",
                 .role = "panel",
                 .extents = Extents{0, 0, kMax, kMax},
                 .children = {":1.4/b"},
                 .parent = ":1.4/frame",
                 .answer = ":1.4/b"});
    desktop.Add({.id = ":1.4/b",
                 .role = "panel",
                 .extents = Extents{-kMax, -kMax, 2 * kMax, 2 * kMax},
                 .children = {":1.4/a", ":1.4/b", ":1.4/missing", ":1.4/self"},
                 .parent = ":1.4/a",
                 .answer = ":1.4/a"});
    // An element that is its own child and answers itself.
    desktop.Add({.id = ":1.4/self",
                 .role = "filler",
                 .extents = Extents{kMax - 10, kMax - 10, kMax, kMax},
                 .children = {":1.4/self"},
                 .parent = ":1.4/frame",
                 .answer = ":1.4/self"});
    const AccessiblePtr frame = desktop.Element(":1.4/frame");
    EXPECT_THAT(Ids(Descend(frame, {100, 100}, {})), ElementsAre(":1.4/a", ":1.4/b"));
    // Near the 32-bit limits: the sums are not wrapped.
    EXPECT_THAT(Ids(Descend(frame, {kMax - 1, kMax - 1}, {})), ElementsAre(":1.4/a", ":1.4/b", ":1.4/self"));
    EXPECT_EQ(OnScreen({kMax - 10, kMax - 10, kMax, kMax}, {}),
              (Rectangle{static_cast<std::int32_t>(kMax - 10), static_cast<std::int32_t>(kMax - 10),
                         static_cast<std::int32_t>(kMax), static_cast<std::int32_t>(kMax)}));
    EXPECT_EQ(OnScreen({5, 5, -3, 10}, {}), std::nullopt);
    EXPECT_EQ(OnScreen({5, 5, 10, 0}, {}), std::nullopt);
    // A point the toolkit cannot be asked about (outside its 32 bits once corrected) is found through the
    // children's extents.
    EXPECT_THAT(Ids(Descend(frame, {100, 100}, {-kMax, -kMax})), ElementsAre(":1.4/self"));

    // An answer from another application, or one that does not hold the point, is not followed.
    desktop.Add({.id = ":1.5/stranger", .role = "panel", .extents = Extents{0, 0, kMax, kMax}});
    desktop.Node(":1.4/frame").answer = ":1.5/stranger";
    desktop.Node(":1.4/frame").children = {":1.5/stranger"};
    EXPECT_TRUE(Descend(frame, {100, 100}, {}).empty());

    // A toolkit that answers the deepest element at once: the rows still list its real parents. Where those
    // loop, name the element itself or another application, or lead elsewhere than the window, the answer
    // is not followed.
    desktop.Add({.id = ":1.7/frame", .extents = Extents{0, 0, 100, 100}, .answer = ":1.7/leaf"});
    desktop.Add(
        {.id = ":1.7/mid", .extents = Extents{0, 0, 50, 50}, .children = {":1.7/leaf"}, .parent = ":1.7/frame"});
    desktop.Add({.id = ":1.7/leaf", .extents = Extents{0, 0, 10, 10}, .parent = ":1.7/mid", .answer = ""});
    const AccessiblePtr frame7 = desktop.Element(":1.7/frame");
    EXPECT_THAT(Ids(Descend(frame7, {5, 5}, {})), ElementsAre(":1.7/mid", ":1.7/leaf"));
    for (const std::string hostile_parent : {":1.7/leaf", ":1.5/stranger", ":1.7/missing", ""}) {
        desktop.Node(":1.7/mid").parent = hostile_parent.empty() ? ":1.7/leaf" : ":1.7/frame";
        desktop.Node(":1.7/leaf").parent = hostile_parent.empty() ? ":1.7/mid" : hostile_parent;
        EXPECT_TRUE(Descend(frame7, {5, 5}, {}).empty()) << hostile_parent;
    }

    // A chain far deeper than any window: it stops after kMaxDescent levels (given the calls to get there).
    for (int level = 0; level < 1000; ++level) {
        desktop.Add({.id = ":1.6/" + std::to_string(level),
                     .role = "panel",
                     .extents = Extents{0, 0, 10, 10},
                     .children = {":1.6/" + std::to_string(level + 1)},
                     .parent = level == 0 ? "" : ":1.6/" + std::to_string(level - 1),
                     .answer = ":1.6/" + std::to_string(level + 1)});
    }
    WalkBudget ample([] { return std::chrono::steady_clock::time_point{}; }, 1 << 20);
    EXPECT_EQ(Descend(desktop.Element(":1.6/0"), {5, 5}, {}, ample).size(), static_cast<std::size_t>(kMaxDescent));
}

class ElementReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AddRelativeToolkit(desktop);
        // Another application with a window of the same size and title, owned by another process.
        desktop.Add({.id = ":1.3/root", .role = "application", .children = {":1.3/frame"}});
        desktop.Add({.id = ":1.3/frame",
                     .role = "frame",
                     .name = "Editor",
                     .extents = Extents{0, 0, 420, 300},
                     .children = {":1.3/decoy"}});
        desktop.Add({.id = ":1.3/decoy", .role = "push button", .extents = Extents{0, 0, 420, 300}});
        desktop.AddApplication(":1.3/root", 78);
    }

    ScriptedDesktop desktop;
    FixedFacts facts;
    std::chrono::steady_clock::time_point now{};
    ElementReader locator{desktop, facts, [this] { return now; }};
};

TEST_F(ElementReaderTest, PointerAtRestCostsTwoQuestionsAndAHungApplicationIsLeftAloneForFiveSeconds) {
    const Point on_check{460, 519};
    const std::vector<Element> found = locator.ElementsAt(kWindow, on_check).elements;
    ASSERT_EQ(found.size(), 5U);
    EXPECT_EQ(found.front(), (Element{":1.9/check", "check box", "Nested", Rectangle{450, 481, 562, 649}}));
    EXPECT_THAT(found, ElementsAre(Field(&Element::id, ":1.9/check"), Field(&Element::id, ":1.9/inner"),
                                   Field(&Element::id, ":1.9/page2"), Field(&Element::id, ":1.9/stack"),
                                   Field(&Element::id, ":1.9/box")));
    EXPECT_EQ(found[2].extents, std::nullopt);
    EXPECT_EQ(desktop.Calls(":1.3"), 0);

    // At rest: where the deepest element is, and whether anything lies deeper.
    const int before = desktop.AllCalls();
    desktop.Node(":1.9/check").name = "Renamed";
    EXPECT_EQ(locator.ElementsAt(kWindow, on_check).elements, found);
    EXPECT_EQ(desktop.AllCalls() - before, 2);

    // At rest over a window that has shown nothing new: nobody is asked, not even the window system.
    facts.changed = false;
    const int quiet = desktop.AllCalls();
    EXPECT_EQ(locator.ElementsAt(kWindow, on_check).elements, found);
    EXPECT_EQ(desktop.AllCalls(), quiet);
    facts.changed = true;

    // The window moves under the resting pointer: the correction follows it.
    facts.facts->rect = {0, 0, 420, 300};
    EXPECT_EQ(locator.ElementsAt(kWindow, {30, 150}).elements.front().extents, (Rectangle{20, 112, 132, 280}));
    EXPECT_EQ(locator.ElementsAt(kWindow, {30, 150}).elements.front().name, "Renamed");

    // Paused on it: its rectangle is read; once it has gone, it is gone.
    Rectangle rect{};
    EXPECT_PRESENT(locator.GetElementRect(":1.9/check", rect));
    EXPECT_EQ(rect, (Rectangle{20, 112, 132, 280}));
    // Hidden for a while (empty extents), it has not gone: it stays where it was, and moves when it shows
    // again. Defunct, it has gone.
    desktop.Node(":1.9/check").extents = Extents{20, 112, 0, 0};
    EXPECT_PRESENT(locator.GetElementRect(":1.9/check", rect));
    EXPECT_EQ(rect, (Rectangle{20, 112, 132, 280}));
    desktop.Node(":1.9/check").extents = Extents{24, 112, 112, 168};
    EXPECT_PRESENT(locator.GetElementRect(":1.9/check", rect));
    EXPECT_EQ(rect, (Rectangle{24, 112, 136, 280}));
    desktop.Node(":1.9/check").states.defunct = true;
    EXPECT_GONE(locator.GetElementRect(":1.9/check", rect));
    EXPECT_EQ(rect, (Rectangle{24, 112, 136, 280}));
    desktop.Remove(":1.9/check");
    EXPECT_GONE(locator.GetElementRect(":1.9/check", rect));
    EXPECT_GONE(locator.GetElementRect(":1.9/unknown", rect));

    // The application hangs: the tick that finds out gives up, and for five seconds it is not asked.
    desktop.Add({.id = ":1.9/check",
                 .role = "check box",
                 .name = "Nested",
                 .extents = Extents{20, 112, 112, 168},
                 .parent = ":1.9/inner",
                 .answer = ""});
    desktop.hung.insert(":1.9");
    EXPECT_TRUE(locator.ElementsAt(kWindow, {40, 40}).elements.empty());
    const int hung_calls = desktop.Calls(":1.9");
    now += std::chrono::milliseconds(4900);
    EXPECT_TRUE(locator.ElementsAt(kWindow, {40, 40}).elements.empty());
    EXPECT_TRUE(locator.ElementsAt(kWindow, {30, 150}).elements.empty());
    EXPECT_EQ(desktop.Calls(":1.9"), hung_calls);
    EXPECT_EQ(desktop.Calls(":1.3"), 0);  // nor is another application's window taken for it
    // Meanwhile nothing is known of it, neither of what lies under the pointer nor of the element held.
    EXPECT_FALSE(locator.ElementsAt(kWindow, {30, 150}).known);
    EXPECT_EQ(locator.GetElementRect(":1.9/check", rect), ElementPresence::kNotKnownNow);

    // Running again, and five seconds on: its elements are back.
    desktop.hung.clear();
    now += std::chrono::milliseconds(200);
    EXPECT_EQ(locator.ElementsAt(kWindow, {30, 150}).elements.front().id, ":1.9/check");
}

TEST_F(ElementReaderTest, WithoutAProcessIdTheTitleTellsWindowsOfTheSameSizeApart) {
    facts.facts->pid = std::nullopt;
    desktop.Node(":1.3/frame").name = "Other";
    EXPECT_EQ(locator.ElementsAt(kWindow, {460, 519}).elements.front().id, ":1.9/check");
    facts.facts->title = "Other";
    facts.facts->top_level = kWindow;
    locator.Forget();
    EXPECT_EQ(locator.ElementsAt(kWindow, {460, 519}).elements.front().id, ":1.3/decoy");
    // A window of a process that is not on the bus, lying just where an accessible window lies: without its
    // title, no application's element is taken for it.
    facts.facts->pid = 55;
    facts.facts->title = "Lone";
    locator.Forget();
    EXPECT_TRUE(locator.ElementsAt(kWindow, {460, 519}).elements.empty());
    // A window no application stands for, and one that has gone.
    facts.facts->title = "Nobody";
    facts.facts->rect = {0, 0, 10, 10};
    locator.Forget();
    EXPECT_TRUE(locator.ElementsAt(kWindow, {5, 5}).elements.empty());
    EXPECT_TRUE(locator.ElementsAt(kWindow + 1, {5, 5}).elements.empty());
}

// One application's top-level element standing for a window, as a toolkit with screen extents reports it.
void AddWindow(ScriptedDesktop& desktop,
               const std::string& application,
               std::uint32_t pid,
               const std::vector<ScriptedNode>& frames) {
    ScriptedNode root{.id = application + "/root", .role = "application"};
    for (const ScriptedNode& frame : frames) {
        root.children.push_back(frame.id);
        desktop.Add(frame);
    }
    desktop.Add(root);
    desktop.AddApplication(root.id, pid);
}

// Elements without extents, each standing for `fan` more, `depth` levels down.
void AddStandIns(ScriptedDesktop& desktop, const std::string& id, int fan, int depth) {
    ScriptedNode node{.id = id, .role = "panel", .answer = ""};
    for (int index = 0; depth > 0 && index < fan; ++index) {
        node.children.push_back(id + "." + std::to_string(index));
        AddStandIns(desktop, node.children.back(), fan, depth - 1);
    }
    desktop.Add(node);
}

// What one tick may cost: trees wide enough for millions of questions, an application that answers each one
// just within the bound, windows nobody stands for, and this program's own windows.
TEST(ElementReaderCost, AWalkStaysWithinItsBudgetAndNothingIsAskedInVain) {
    constexpr Rectangle kRect{0, 0, 1000, 1000};
    const Extents whole{0, 0, 1000, 1000};
    std::chrono::steady_clock::time_point now{};
    FixedFacts facts;
    facts.facts = TopLevelWindow{kWindow, 77, kRect, "Wide"};

    // 1. Elements without extents, eight to each, five levels deep (the fallback would ask some 100,000
    // questions): the walk ends within its budget, with the element it reached.
    {
        ScriptedDesktop desktop;
        AddWindow(desktop, ":1.2", 77,
                  {{.id = ":1.2/frame", .name = "Wide", .extents = whole, .children = {":1.2/n"}, .answer = ""}});
        desktop.Add({.id = ":1.2/n", .role = "panel", .extents = whole, .parent = ":1.2/frame", .answer = ""});
        for (int index = 0; index < 8; ++index) {
            desktop.Node(":1.2/n").children.push_back(":1.2/n." + std::to_string(index));
            AddStandIns(desktop, desktop.Node(":1.2/n").children.back(), 8, 4);
        }
        ElementReader locator{desktop, facts, [&] { return now; }};
        // The first tick's budget runs out below the element reached, and so does the whole of the next one's;
        // that ends the descent, and the third, at rest, lists what it reached.
        EXPECT_TRUE(locator.ElementsAt(kWindow, {5, 5}).elements.empty());
        EXPECT_LE(desktop.AllCalls(), kMaxCallsPerWalk);
        EXPECT_TRUE(locator.ElementsAt(kWindow, {5, 5}).elements.empty());
        EXPECT_THAT(locator.ElementsAt(kWindow, {5, 5}).elements, ElementsAre(Field(&Element::id, ":1.2/n")));
        EXPECT_LE(desktop.AllCalls(), 3 * kMaxCallsPerWalk);

        // 2. The same tree answering each question in 190 ms, never long enough to be taken as hung: a tick
        // still ends within the second.
        desktop.on_ask = [&] { now += std::chrono::milliseconds(190); };
        for (int tick = 0; tick < 3; ++tick) {
            const auto start = now;
            locator.ElementsAt(kWindow, {6 + tick, 5});
            EXPECT_LT(now - start, std::chrono::seconds(1)) << tick;
        }
    }

    // 3. A window no application stands for, beside ten applications of three windows each: searched once,
    // then not again for two seconds unless it moves or is renamed.
    ScriptedDesktop desktop;
    for (int application = 0; application < 10; ++application) {
        const std::string name = ":1." + std::to_string(10 + application);
        std::vector<ScriptedNode> frames;
        frames.reserve(3);
        for (std::int64_t window = 0; window < 3; ++window) {
            frames.push_back({.id = name + "/frame" + std::to_string(window),
                              .name = "Win",
                              .extents = Extents{window * 10, 0, 300 + window, 200}});
        }
        AddWindow(desktop, name, 1000 + application, frames);
    }
    facts.facts = TopLevelWindow{kWindow, 55, {500, 500, 900, 800}, "xterm"};
    ElementReader locator{desktop, facts, [&] { return now; }};
    EXPECT_TRUE(locator.ElementsAt(kWindow, {600, 600}).elements.empty());
    const int searched = desktop.AllCalls();
    EXPECT_GT(searched, 30);
    for (int tick = 0; tick < 19; ++tick) {
        now += std::chrono::milliseconds(100);
        EXPECT_TRUE(locator.ElementsAt(kWindow, {600 + tick, 600}).elements.empty());
    }
    EXPECT_EQ(desktop.AllCalls(), searched);
    now += std::chrono::milliseconds(100);
    EXPECT_TRUE(locator.ElementsAt(kWindow, {600, 600}).elements.empty());
    EXPECT_EQ(desktop.AllCalls(), 2 * searched);
    facts.facts->title = "xterm: ~";
    EXPECT_TRUE(locator.ElementsAt(kWindow, {600, 600}).elements.empty());
    EXPECT_EQ(desktop.AllCalls(), 3 * searched);

    // 4. Names of a mebibyte, cut at three different places: only what the rows' own cut reads is kept, and it cuts
    // them just as it cuts the whole names.
    {
        ScriptedDesktop named;
        std::string huge = "x";
        while (huge.size() < (std::size_t{1} << 20)) {
            huge += "\xC3\xA9\xFF";  // a two-byte character, then an invalid byte
        }
        AddWindow(named, ":1.8", 77, {{.id = ":1.8/0", .name = "Wide", .extents = whole}});
        for (int level = 1; level <= 3; ++level) {
            const std::string id = ":1.8/" + std::to_string(level);
            named.Node(":1.8/" + std::to_string(level - 1)).answer = id;
            named.Node(":1.8/" + std::to_string(level - 1)).children = {id};
            named.Add({.id = id,
                       .role = huge,
                       .name = huge.substr(level % 3),
                       .extents = whole,
                       .parent = ":1.8/" + std::to_string(level - 1)});
        }
        ElementReader names{named, facts, [&] { return now; }};
        facts.facts = TopLevelWindow{kWindow, 77, kRect, "Wide"};
        const std::vector<Element> found = names.ElementsAt(kWindow, {5, 5}).elements;
        ASSERT_EQ(found.size(), 3U);
        for (const Element& element : found) {
            const std::size_t level = std::stoul(element.id.substr(5));
            EXPECT_LE(element.name.size(), kMaxElementTextBytes + 4);
            EXPECT_LE(element.role.size(), kMaxElementTextBytes + 4);
            EXPECT_EQ(CleanElementText(element.name), CleanElementText(huge.substr(level % 3)));
            EXPECT_EQ(CleanElementText(element.role), CleanElementText(huge));
        }
    }

    // 5. This program's own window, where an application of its own process lies: nobody is asked, neither
    // for it nor, as a candidate, for another window without a process id that lies there under its title.
    const auto own = static_cast<std::uint32_t>(getpid());
    AddWindow(desktop, ":1.99", own,
              {{.id = ":1.99/frame", .name = "Hovermark", .extents = Extents{500, 500, 400, 300}}});
    facts.facts = TopLevelWindow{kWindow, own, {500, 500, 900, 800}, "Hovermark"};
    const int before = desktop.AllCalls();
    for (int tick = 0; tick < 5; ++tick) {
        EXPECT_TRUE(locator.ElementsAt(kWindow, {600 + tick, 600}).elements.empty());
    }
    EXPECT_EQ(desktop.AllCalls(), before);
    facts.facts->pid = std::nullopt;
    EXPECT_TRUE(locator.ElementsAt(kWindow, {600, 600}).elements.empty());
    EXPECT_GT(desktop.AllCalls(), before);
    EXPECT_EQ(desktop.Calls(":1.99"), 0);
}

// Chromium, its own hit test still on its way, answers over a button with the button's text, which the button
// does not list among its children: the button is the deepest element, when walked to and at rest alike.
TEST(ElementReaderMatch, AnAnswerItsParentDoesNotListIsNotFollowed) {
    ScriptedDesktop desktop;
    AddWindow(desktop, ":1.3", 77,
              {{.id = ":1.3/frame",
                .name = "Editor",
                .extents = Extents{430, 369, 420, 300},
                .children = {":1.3/button"},
                .answer = ":1.3/text"}});
    desktop.Add({.id = ":1.3/button",
                 .role = "push button",
                 .name = "Press me",
                 .extents = Extents{440, 379, 160, 36},
                 .parent = ":1.3/frame",
                 .answer = ":1.3/text"});
    desktop.Add({.id = ":1.3/text",
                 .role = "static",
                 .name = "Press me",
                 .extents = Extents{490, 388, 60, 18},
                 .parent = ":1.3/button",
                 .answer = ""});
    FixedFacts facts;
    std::chrono::steady_clock::time_point now{};
    ElementReader reader{desktop, facts, [&] { return now; }};
    const Point on_text{500, 395};
    EXPECT_THAT(reader.ElementsAt(kWindow, on_text).elements, ElementsAre(Field(&Element::id, ":1.3/button")));
    // At rest over a window that has drawn: the text answered again does not start a new walk.
    const int before = desktop.AllCalls();
    EXPECT_THAT(reader.ElementsAt(kWindow, on_text).elements, ElementsAre(Field(&Element::id, ":1.3/button")));
    EXPECT_EQ(desktop.AllCalls() - before, 3);
    // Listed, it is followed.
    desktop.Node(":1.3/button").children = {":1.3/text"};
    EXPECT_THAT(reader.ElementsAt(kWindow, {501, 395}).elements,
                ElementsAre(Field(&Element::id, ":1.3/text"), Field(&Element::id, ":1.3/button")));
}

// Chromium started without its renderer's accessibility: its window's element counts a child it never gives.
// Only there, and only for Chromium's toolkit, is the user told why; the toolkit is asked once, and at rest
// over a window that drew nothing nobody is asked.
TEST(ElementReaderHint, AChromiumWindowThatGivesNoChildIsHinted) {
    for (const std::string toolkit : {"Chromium", "GTK"}) {
        ScriptedDesktop desktop;
        AddWindow(
            desktop, ":1.3", 77,
            {{.id = ":1.3/frame", .name = "Editor", .extents = Extents{430, 369, 420, 300}, .children = {":1.3/x"}}});
        desktop.toolkits[":1.3"] = toolkit;
        FixedFacts facts;
        std::chrono::steady_clock::time_point now{};
        ElementReader reader{desktop, facts, [&] { return now; }};
        const std::string hint = toolkit == "Chromium" ? std::string(kRendererAccessibilityHint) : std::string();
        ElementsAnswer answer = reader.ElementsAt(kWindow, {500, 400});
        EXPECT_TRUE(answer.elements.empty());
        EXPECT_EQ(answer.hint, hint) << toolkit;
        // Elsewhere in the window: the child at the point, the count, the child that never comes; no toolkit.
        int before = desktop.Calls(":1.3");
        EXPECT_EQ(reader.ElementsAt(kWindow, {501, 400}).hint, hint);
        EXPECT_EQ(desktop.Calls(":1.3") - before, 3);
        facts.changed = false;
        before = desktop.Calls(":1.3");
        EXPECT_EQ(reader.ElementsAt(kWindow, {501, 400}).hint, hint);
        EXPECT_EQ(desktop.Calls(":1.3"), before);

        // Once it gives its child, there is no hint.
        desktop.Add({.id = ":1.3/x", .role = "panel", .extents = Extents{430, 369, 420, 300}, .parent = ":1.3/frame"});
        facts.changed = true;
        answer = reader.ElementsAt(kWindow, {502, 400});
        EXPECT_THAT(answer.elements, ElementsAre(Field(&Element::id, ":1.3/x")));
        EXPECT_EQ(answer.hint, "");
    }
}

// Which top-level element stands for a window, and which answers are followed below it.
TEST(ElementReaderMatch, WhereAWindowLiesTellsItsElementsAndNothingOutsideItIsTaken) {
    std::chrono::steady_clock::time_point now{};
    FixedFacts facts;
    ScriptedDesktop desktop;
    // Two windows of one application, of the same size and title, at different places.
    AddWindow(desktop, ":1.9", 99,
              {{.id = ":1.9/a", .name = "user@host: ~", .extents = Extents{100, 100, 640, 480}, .answer = ""},
               {.id = ":1.9/b", .name = "user@host: ~", .extents = Extents{800, 300, 640, 480}, .answer = ""}});
    desktop.Add({.id = ":1.9/a-text", .role = "terminal", .name = "A", .extents = Extents{100, 100, 640, 480}});
    desktop.Add({.id = ":1.9/b-text", .role = "terminal", .name = "B", .extents = Extents{800, 300, 640, 480}});
    desktop.Node(":1.9/a").children = {":1.9/a-text"};
    desktop.Node(":1.9/b").children = {":1.9/b-text"};
    // Another application's window, whose top level answers with an element of its other window (outside the
    // one asked about) at every point.
    AddWindow(desktop, ":1.6", 66,
              {{.id = ":1.6/main",
                .name = "Main",
                .extents = Extents{0, 0, 400, 400},
                .children = {":1.6/ok"},
                .answer = ":1.6/secret"},
               {.id = ":1.6/other", .name = "Other", .extents = Extents{2000, 2000, 400, 400}}});
    desktop.Add({.id = ":1.6/ok",
                 .role = "push button",
                 .name = "OK",
                 .extents = Extents{10, 10, 50, 20},
                 .parent = ":1.6/main"});
    desktop.Add({.id = ":1.6/secret",
                 .role = "password text",
                 .name = "Secret",
                 .extents = Extents{0, 0, 400, 400},
                 .parent = ":1.6/other",
                 .answer = ""});
    ElementReader locator{desktop, facts, [&] { return now; }};

    facts.facts = TopLevelWindow{kWindow, 99, {800, 300, 1440, 780}, "user@host: ~"};
    EXPECT_THAT(locator.ElementsAt(kWindow, {900, 400}).elements, ElementsAre(Field(&Element::name, "B")));
    // The other one: another top-level window.
    facts.facts->top_level = kWindow + 1;
    facts.facts->rect = {100, 100, 740, 580};
    EXPECT_THAT(locator.ElementsAt(kWindow, {200, 200}).elements, ElementsAre(Field(&Element::name, "A")));

    // A window of a process that is not on the bus, titled as an accessible window elsewhere: the title
    // alone takes no other application's window.
    locator.Forget();
    facts.facts = TopLevelWindow{kWindow, 55, {1700, 100, 2200, 400}, "user@host: ~"};
    EXPECT_TRUE(locator.ElementsAt(kWindow, {1710, 110}).elements.empty());
    // Without a process id, lying where it does, it needs the title too; with both, it is found.
    facts.facts->pid = std::nullopt;
    facts.facts->rect = {800, 300, 1440, 780};
    facts.facts->title = "";
    EXPECT_TRUE(locator.ElementsAt(kWindow, {900, 400}).elements.empty());
    facts.facts->title = "user@host: ~";
    EXPECT_THAT(locator.ElementsAt(kWindow, {900, 400}).elements, ElementsAre(Field(&Element::name, "B")));

    // The answer from the other window is not followed: the button is found among the window's children,
    // and elsewhere in the window nothing is.
    facts.facts = TopLevelWindow{kWindow + 2, 66, {0, 0, 400, 400}, "Main"};
    EXPECT_THAT(locator.ElementsAt(kWindow, {20, 20}).elements, ElementsAre(Field(&Element::name, "OK")));
    EXPECT_TRUE(locator.ElementsAt(kWindow, {200, 200}).elements.empty());
}

// A window whose frame answers with the next level down, `depth` levels deep, every level filling the window.
void AddDeepChain(ScriptedDesktop& desktop, const std::string& application, int depth) {
    const Extents whole{430, 369, 420, 300};
    const auto id = [&](int level) { return application + "/" + std::to_string(level); };
    AddWindow(desktop, application, 77,
              {{.id = id(0), .name = "Editor", .extents = whole, .children = {id(1)}, .answer = id(1)}});
    for (int level = 1; level <= depth; ++level) {
        desktop.Add({.id = id(level),
                     .role = "filler",
                     .name = "level " + std::to_string(level),
                     .extents = whole,
                     .children = level < depth ? std::vector<std::string>{id(level + 1)} : std::vector<std::string>{},
                     .parent = id(level - 1),
                     .answer = level < depth ? id(level + 1) : ""});
    }
}

// Each tick's walk ends within its time, the time spent on roles and names included, and goes on at the next
// tick while the pointer rests, so a deep tree that answers promptly is listed whole after a short rest.
TEST(ElementReaderBounds, EveryTickEndsInTimeAndADeepTreeIsListedWholeAtRest) {
    std::chrono::steady_clock::time_point now{};
    FixedFacts facts;
    ScriptedDesktop desktop;
    AddDeepChain(desktop, ":1.2", 200);
    ElementReader reader{desktop, facts, [&] { return now; }};
    const Point on_deepest{500, 500};
    std::vector<Element> found;
    for (int tick = 0; tick < 10 && found.size() < 200; ++tick, now += std::chrono::milliseconds(100)) {
        found = reader.ElementsAt(kWindow, on_deepest).elements;
        if (!found.empty()) {
            EXPECT_EQ(found.front().id, ":1.2/200") << tick;
        }
    }
    ASSERT_EQ(found.size(), 200U);
    EXPECT_EQ(found.front(), (Element{":1.2/200", "filler", "level 200", Rectangle{430, 369, 850, 669}}));
    EXPECT_EQ(found.back().name, "level 1");

    // Every call answered in 199 ms, just within the bound: however the pointer moves or rests, and while the
    // element held is checked (its window moved, so its correction is asked again too), no tick's walk starts
    // a call after its time is up.
    desktop.on_ask = [&] { now += std::chrono::milliseconds(199); };
    facts.facts->rect = {440, 379, 860, 679};
    Rectangle rect{};
    auto start = now;
    EXPECT_EQ(reader.GetElementRect(":1.2/200", rect), ElementPresence::kPresent);
    EXPECT_LE(now - start, kMaxWalkTime + std::chrono::milliseconds(199));
    for (int tick = 0; tick < 8; ++tick) {
        start = now;
        reader.ElementsAt(kWindow, {500 + tick / 2, 500});
        EXPECT_LE(now - start, kMaxWalkTime + std::chrono::milliseconds(199)) << tick;
    }
}

// A search that found nothing is not made again at every tick however it ended, a window that can match
// nothing is never searched for, and no application's list is trusted for another application's elements.
TEST(ElementReaderBounds, NothingIsSearchedForInVain) {
    std::chrono::steady_clock::time_point now{};
    FixedFacts facts;
    ScriptedDesktop desktop;
    for (int application = 0; application < 40; ++application) {
        std::vector<ScriptedNode> frames;
        for (std::int64_t window = 0; window < 4; ++window) {
            frames.push_back({.id = ":1." + std::to_string(100 + application) + "/frame" + std::to_string(window),
                              .name = "Win",
                              .extents = Extents{window * 10, 0, 300 + window, 200}});
        }
        AddWindow(desktop, ":1." + std::to_string(100 + application), 1000 + application, frames);
    }
    ElementReader reader{desktop, facts, [&] { return now; }};
    facts.facts = TopLevelWindow{kWindow, 55, {500, 500, 900, 800}, "xterm"};
    EXPECT_TRUE(reader.ElementsAt(kWindow, {600, 600}).elements.empty());
    const int searched = desktop.AllCalls();
    for (int tick = 0; tick < 19; ++tick) {
        now += std::chrono::milliseconds(100);
        EXPECT_TRUE(reader.ElementsAt(kWindow, {600, 600 + tick}).elements.empty());
    }
    EXPECT_EQ(desktop.AllCalls(), searched);

    // The window manager's frame: no process, no title.
    facts.facts = TopLevelWindow{kWindow + 1, std::nullopt, {0, 0, 300, 200}, ""};
    EXPECT_TRUE(reader.ElementsAt(kWindow, {10, 10}).elements.empty());
    EXPECT_EQ(desktop.AllCalls(), searched);

    // An application that lists another one's window as its own.
    desktop.Node(":1.100/root").children.push_back(":1.5/frame");
    desktop.Add({.id = ":1.5/frame", .name = "Stolen", .extents = Extents{500, 500, 400, 300}, .answer = ":1.5/b"});
    desktop.Add({.id = ":1.5/b", .role = "push button", .extents = Extents{500, 500, 10, 10}, .parent = ":1.5/frame"});
    facts.facts = TopLevelWindow{kWindow + 2, 1000, {500, 500, 900, 800}, "Stolen"};
    EXPECT_TRUE(reader.ElementsAt(kWindow, {505, 505}).elements.empty());
}

}  // namespace
}  // namespace hovermark::atspi::testing
