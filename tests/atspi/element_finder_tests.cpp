// The element finder and its memory between ticks, on accessible trees held in memory: toolkits that report
// relative extents or answer the child at a point wrongly, hostile trees, and applications that hang.
#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/atspi/element_finder.h"
#include "platform/atspi/element_locator.h"
#include "tests/atspi/scripted_accessible_tree.h"

namespace hovermark::atspi::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;

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
    const std::optional<TopLevelMatch> match = FindTopLevel(desktop.Applications(), *facts.facts);
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
    desktop.Add({.id = ":1.4/a", .role = "panel", .extents = Extents{0, 0, kMax, kMax}, .answer = ":1.4/b"});
    desktop.Add({.id = ":1.4/b",
                 .role = "panel",
                 .extents = Extents{-kMax, -kMax, 2 * kMax, 2 * kMax},
                 .children = {":1.4/a", ":1.4/b", ":1.4/missing", ":1.4/self"},
                 .answer = ":1.4/a"});
    // An element that is its own child and answers itself.
    desktop.Add({.id = ":1.4/self",
                 .role = "filler",
                 .extents = Extents{kMax - 10, kMax - 10, kMax, kMax},
                 .children = {":1.4/self"},
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

    // A toolkit that answers the deepest element at once: the rows still list its real parents; where those
    // loop, name the element itself or another application, the descent's own path is kept.
    desktop.Add({.id = ":1.7/frame", .extents = Extents{0, 0, 100, 100}, .answer = ":1.7/leaf"});
    desktop.Add({.id = ":1.7/mid", .extents = Extents{0, 0, 50, 50}, .parent = ":1.7/frame"});
    desktop.Add({.id = ":1.7/leaf", .extents = Extents{0, 0, 10, 10}, .parent = ":1.7/mid", .answer = ""});
    const AccessiblePtr frame7 = desktop.Element(":1.7/frame");
    EXPECT_THAT(Ids(WithRealParents(Descend(frame7, {5, 5}, {}), frame7)), ElementsAre(":1.7/mid", ":1.7/leaf"));
    for (const std::string hostile_parent : {":1.7/leaf", ":1.5/stranger", ":1.7/missing", ""}) {
        desktop.Node(":1.7/mid").parent = hostile_parent.empty() ? ":1.7/leaf" : ":1.7/frame";
        desktop.Node(":1.7/leaf").parent = hostile_parent.empty() ? ":1.7/mid" : hostile_parent;
        EXPECT_THAT(Ids(WithRealParents(Descend(frame7, {5, 5}, {}), frame7)), ElementsAre(":1.7/leaf"))
            << hostile_parent;
    }

    // A chain far deeper than any window: it stops after kMaxDescent levels.
    for (int level = 0; level < 1000; ++level) {
        desktop.Add({.id = ":1.6/" + std::to_string(level),
                     .role = "panel",
                     .extents = Extents{0, 0, 10, 10},
                     .answer = ":1.6/" + std::to_string(level + 1)});
    }
    EXPECT_EQ(Descend(desktop.Element(":1.6/0"), {5, 5}, {}).size(), static_cast<std::size_t>(kMaxDescent));
}

class ElementLocatorTest : public ::testing::Test {
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
    ElementLocator locator{desktop, facts, [this] { return now; }};
};

TEST_F(ElementLocatorTest, PointerAtRestCostsTwoQuestionsAndAHungApplicationIsLeftAloneForFiveSeconds) {
    const Point on_check{460, 519};
    const std::vector<Element> found = locator.ElementsAt(kWindow, on_check);
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
    EXPECT_EQ(locator.ElementsAt(kWindow, on_check), found);
    EXPECT_EQ(desktop.AllCalls() - before, 2);

    // At rest over a window that has shown nothing new: nobody is asked, not even the window system.
    facts.changed = false;
    const int quiet = desktop.AllCalls();
    EXPECT_EQ(locator.ElementsAt(kWindow, on_check), found);
    EXPECT_EQ(desktop.AllCalls(), quiet);
    facts.changed = true;

    // The window moves under the resting pointer: the correction follows it.
    facts.facts->rect = {0, 0, 420, 300};
    EXPECT_EQ(locator.ElementsAt(kWindow, {30, 150}).front().extents, (Rectangle{20, 112, 132, 280}));
    EXPECT_EQ(locator.ElementsAt(kWindow, {30, 150}).front().name, "Renamed");

    // Paused on it: its rectangle is read; once it has gone, it is gone.
    Rectangle rect{};
    EXPECT_TRUE(locator.GetElementRect(":1.9/check", rect));
    EXPECT_EQ(rect, (Rectangle{20, 112, 132, 280}));
    desktop.Remove(":1.9/check");
    EXPECT_FALSE(locator.GetElementRect(":1.9/check", rect));
    EXPECT_FALSE(locator.GetElementRect(":1.9/unknown", rect));

    // The application hangs: the tick that finds out gives up, and for five seconds it is not asked.
    desktop.Add({.id = ":1.9/check",
                 .role = "check box",
                 .name = "Nested",
                 .extents = Extents{20, 112, 112, 168},
                 .parent = ":1.9/inner",
                 .answer = ""});
    desktop.hung.insert(":1.9");
    EXPECT_TRUE(locator.ElementsAt(kWindow, {40, 40}).empty());
    const int hung_calls = desktop.Calls(":1.9");
    now += std::chrono::milliseconds(4900);
    EXPECT_TRUE(locator.ElementsAt(kWindow, {40, 40}).empty());
    EXPECT_TRUE(locator.ElementsAt(kWindow, {30, 150}).empty());
    EXPECT_EQ(desktop.Calls(":1.9"), hung_calls);
    EXPECT_EQ(desktop.Calls(":1.3"), 0);  // nor is another application's window taken for it

    // Running again, and five seconds on: its elements are back.
    desktop.hung.clear();
    now += std::chrono::milliseconds(200);
    EXPECT_EQ(locator.ElementsAt(kWindow, {30, 150}).front().id, ":1.9/check");
}

TEST_F(ElementLocatorTest, WithoutAProcessIdTheTitleTellsWindowsOfTheSameSizeApart) {
    facts.facts->pid = std::nullopt;
    desktop.Node(":1.3/frame").name = "Other";
    EXPECT_EQ(locator.ElementsAt(kWindow, {460, 519}).front().id, ":1.9/check");
    facts.facts->title = "Other";
    facts.facts->top_level = kWindow;
    locator.Forget();
    EXPECT_EQ(locator.ElementsAt(kWindow, {460, 519}).front().id, ":1.3/decoy");
    // A window of a process that is not on the bus, lying just where an accessible window lies: without its
    // title, no application's element is taken for it.
    facts.facts->pid = 55;
    facts.facts->title = "Lone";
    locator.Forget();
    EXPECT_TRUE(locator.ElementsAt(kWindow, {460, 519}).empty());
    // A window no application stands for, and one that has gone.
    facts.facts->title = "Nobody";
    facts.facts->rect = {0, 0, 10, 10};
    locator.Forget();
    EXPECT_TRUE(locator.ElementsAt(kWindow, {5, 5}).empty());
    EXPECT_TRUE(locator.ElementsAt(kWindow + 1, {5, 5}).empty());
}

}  // namespace
}  // namespace hovermark::atspi::testing
