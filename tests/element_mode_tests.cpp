// Looking inside windows: what each tick lists, frames and marks while the elements under the pointer are
// shown above the window's chain.
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "main_window/help_text.h"
#include "tests/program_fixture.h"

namespace hovermark::testing {
namespace {

using ::testing::ElementsAre;
using namespace std::string_literals;

// Inside the lone window (800,100)-(1000,300): a panel holding a button and a text field.
constexpr Rectangle kPanel{810, 110, 990, 290};
constexpr Rectangle kSaveButton{820, 120, 900, 150};
constexpr Rectangle kNameField{820, 200, 980, 230};

class ElementModeTest : public ProgramTest {
  protected:
    void SetUp() override {
        scene = AddSampleScene();
        const Element panel{.id = ":1.5/panel", .role = "filler", .name = "", .extents = kPanel};
        elements.AddChain(
            scene.lone_window,
            {{.id = ":1.5/save", .role = "push button", .name = " Save ", .extents = kSaveButton}, panel});
        elements.AddChain(scene.lone_window,
                          {{.id = ":1.5/name", .role = "text", .name = "Name", .extents = kNameField}, panel});
        can_look_inside = true;
        Start();
    }

    // F7, as the user presses it; whether the mode is on afterwards, as the switch shows it.
    bool PressF7() {
        Press(kVkF7);
        EXPECT_EQ(CheckValue(ControlId::chkInside) == kChecked, program->Inspection().LookingInside());
        return program->Inspection().LookingInside();
    }

    void PointAndTick(Point point) {
        windows.SetPointer(point);
        toolkit.Tick();
    }

    std::vector<bool> BoldRows() {
        std::vector<bool> bold;
        for (const MemoryReportList::Row& row : List().Rows()) {
            bold.push_back(row.bold);
        }
        return bold;
    }

    Rectangle BottomBar() { return windows.RectOf(BarHandles()[1]); }

    std::string LoneHandle() { return std::to_string(scene.lone_window); }

    SampleScene scene;
};

TEST_F(ElementModeTest, ElementRowsComeAboveTheWindowRowsAndAreRebuiltOnlyWhenTheElementChanges) {
    ASSERT_TRUE(PressF7());
    EXPECT_TRUE(elements.Started());

    PointAndTick({830, 130});
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("push button", "", "Save"), ElementsAre("filler", "", ""),
                                          ElementsAre("SampleToolWindow", LoneHandle(), "Lone")));
    EXPECT_THAT(BoldRows(), ElementsAre(true, false, false));
    EXPECT_EQ(BottomBar(), (Rectangle{820, 148, 900, 150}));

    // At rest, and elsewhere on the same button: the elements are asked for again, nothing else is read.
    const int clears = List().ClearCalls();
    const int class_reads = windows.Calls("GetClassNameA");
    const int rect_reads = windows.Calls("GetWindowRect");
    toolkit.Tick();
    PointAndTick({890, 145});
    EXPECT_EQ(List().ClearCalls(), clears);
    EXPECT_EQ(windows.Calls("GetClassNameA"), class_reads);
    EXPECT_EQ(windows.Calls("GetWindowRect"), rect_reads);
    EXPECT_EQ(elements.Calls("ElementsAt"), 3);

    // The button moves under the resting pointer: same element, so the frame follows and the list stays.
    elements.SetExtents(":1.5/save", Rectangle{825, 125, 905, 155});
    toolkit.Tick();
    EXPECT_EQ(BottomBar(), (Rectangle{825, 153, 905, 155}));
    EXPECT_EQ(List().ClearCalls(), clears);

    // Another element of the same window: rebuilt.
    PointAndTick({900, 210});
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("text", "", "Name"), ElementsAre("filler", "", ""),
                                          ElementsAre("SampleToolWindow", LoneHandle(), "Lone")));
    EXPECT_EQ(BottomBar(), (Rectangle{820, 228, 980, 230}));

    // Ctrl+C: an element row's second field is empty.
    Press(kVkC, kCtrlMask);
    EXPECT_EQ(toolkit.ClipboardText(),
              "text\t\tName\r\nfiller\t\t\r\nSampleToolWindow\t" + LoneHandle() + "\tLone\r\n");

    // Inside the window where no element is: the window rows alone, the frame on the window.
    PointAndTick({805, 105});
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("SampleToolWindow", LoneHandle(), "Lone")));
    EXPECT_THAT(BoldRows(), ElementsAre(true));
    EXPECT_EQ(BottomBar(), (Rectangle{800, 298, 1000, 300}));

    // A window whose elements are not known: its chain as in window mode, the first row bold.
    PointAndTick({350, 310});
    EXPECT_THAT(ListedRows(),
                ElementsAre(ElementsAre("Button", std::to_string(scene.ok_button), "OK"),
                            ElementsAre("#32770", std::to_string(scene.dialog), "Grüße — Привет\t"),
                            ElementsAre("SampleAppWindow", std::to_string(scene.app_window), "Sample Editor")));
    EXPECT_THAT(BoldRows(), ElementsAre(true, false, false));

    // Back on the button, then the pointer rests on a bar over its edge: the element is kept, only its
    // rectangle is asked for.
    PointAndTick({830, 130});
    const int asked = elements.Calls("ElementsAt");
    const auto rows = ListedRows();
    PointAndTick({850, 126});
    ASSERT_EQ(windows.WindowFromPoint({850, 126}), BarHandles()[0]);
    EXPECT_EQ(ListedRows(), rows);
    EXPECT_EQ(elements.Calls("ElementsAt"), asked);
    EXPECT_EQ(elements.Calls("GetElementRect"), 1);

    // Switched off: stopped, and the next tick, without moving, gives the window rows without asking again.
    EXPECT_FALSE(PressF7());
    EXPECT_FALSE(elements.Started());
    PointAndTick({830, 130});
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("SampleToolWindow", LoneHandle(), "Lone")));
    EXPECT_EQ(BottomBar(), (Rectangle{800, 298, 1000, 300}));
    EXPECT_EQ(elements.Calls("ElementsAt"), asked);

    // And on again, by a click on the switch: the element rows come back at the next tick, without moving.
    toolkit.ClickCheckBox(Main(), IndexOf(ControlId::chkInside));
    ASSERT_TRUE(program->Inspection().LookingInside());
    toolkit.Tick();
    EXPECT_EQ(ListedRows().front(), (std::array<std::string, 3>{"push button", "", "Save"}));
}

// The element system's hint for a window that shows no elements: below the rows while the pointer is over that
// window, never a row nor copied, gone where the pointer goes elsewhere and when the mode is switched off.
TEST_F(ElementModeTest, AHintShowsOnlyWhileThePointerIsOverItsWindowAndIsNeverCopied) {
    const std::string hint = "Start it with --force-renderer-accessibility.";
    elements.hints[scene.app_window] = hint;
    ASSERT_TRUE(PressF7());
    PointAndTick({150, 150});
    EXPECT_EQ(List().Hint(), hint);
    EXPECT_THAT(ListedRows(),
                ElementsAre(ElementsAre("SampleAppWindow", std::to_string(scene.app_window), "Sample Editor")));
    Press(kVkC, kCtrlMask);
    EXPECT_EQ(toolkit.ClipboardText(), "SampleAppWindow\t" + std::to_string(scene.app_window) + "\tSample Editor\r\n");

    // Onto an element of another window, and back; paused, it stays with the list it came with.
    PointAndTick({830, 130});
    EXPECT_EQ(List().Hint(), "");
    PointAndTick({160, 150});
    EXPECT_EQ(List().Hint(), hint);
    Press(kVkP);
    PointAndTick({830, 130});
    EXPECT_EQ(List().Hint(), hint);
    Press(kVkP);
    toolkit.Tick();
    EXPECT_EQ(List().Hint(), "");

    // Not known now over its window, away from what is held: no hint; switched off over it: none either.
    PointAndTick({150, 150});
    ASSERT_EQ(List().Hint(), hint);
    elements.answering = false;
    PointAndTick({151, 150});
    EXPECT_EQ(List().Hint(), "");
    elements.answering = true;
    PointAndTick({150, 150});
    ASSERT_EQ(List().Hint(), hint);
    ASSERT_FALSE(PressF7());
    toolkit.Tick();
    EXPECT_EQ(List().Hint(), "");
}

TEST_F(ElementModeTest, ElementGoneWhilePausedIsMarkedOnceAndTheFrameHides) {
    ASSERT_TRUE(PressF7());
    PointAndTick({830, 130});
    Press(kVkP);

    // Paused: the pointer leaves, the held element moves and the frame follows it; nothing is rebuilt.
    PointAndTick({350, 310});
    elements.SetExtents(":1.5/save", Rectangle{830, 130, 910, 160});
    toolkit.Tick();
    EXPECT_EQ(BottomBar(), (Rectangle{830, 158, 910, 160}));
    EXPECT_EQ(ListedRows().size(), 3U);
    EXPECT_EQ(elements.Calls("ElementsAt"), 1);

    // It goes while its window stays: two rows once, no frame.
    elements.Remove(":1.5/save");
    toolkit.Tick();
    toolkit.Tick();
    EXPECT_THAT(ListedRows(),
                ElementsAre(ElementsAre("push button", "", "Save"), ElementsAre("filler", "", ""),
                            ElementsAre("SampleToolWindow", LoneHandle(), "Lone"), ElementsAre("", "", ""),
                            ElementsAre("Destroyed!", "", kDestroyedExplanation)));
    EXPECT_FALSE(AnyBarVisible());

    // F7 while paused rebuilds from what is held: the window rows, framed again.
    ASSERT_FALSE(PressF7());
    toolkit.Tick();
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("SampleToolWindow", LoneHandle(), "Lone")));
    EXPECT_TRUE(AnyBarVisible());

    // Playing again in the mode: the next element is listed and framed.
    ASSERT_TRUE(PressF7());
    Press(kVkP);
    PointAndTick({900, 210});
    EXPECT_EQ(ListedRows().size(), 3U);
    EXPECT_EQ(ListedRows().front()[0], "text");
    EXPECT_TRUE(AnyBarVisible());
    EXPECT_EQ(program->Inspection().DestroyedShown, kFalse);
}

TEST_F(ElementModeTest, PausedTheElementHeldIsMarkedOnceWhateverFlipsAndKeptWhileNotKnown) {
    ASSERT_TRUE(PressF7());
    PointAndTick({830, 130});
    Press(kVkP);
    const auto rows = ListedRows();
    const Rectangle framed = BottomBar();

    // Its application stops answering: neither gone nor moved, whatever the ticks.
    elements.answering = false;
    toolkit.Tick();
    toolkit.Tick();
    EXPECT_EQ(ListedRows(), rows);
    EXPECT_EQ(BottomBar(), framed);
    EXPECT_TRUE(AnyBarVisible());

    // Then it flips between gone and present: "Destroyed!" once.
    elements.answering = true;
    const Element save{.id = ":1.5/save", .role = "push button", .name = " Save ", .extents = kSaveButton};
    for (int flip = 0; flip < 3; ++flip) {
        elements.Remove(":1.5/save");
        toolkit.Tick();
        elements.AddChain(scene.lone_window, {save});
        toolkit.Tick();
    }
    EXPECT_EQ(ListedRows().size(), rows.size() + 2);
    EXPECT_EQ(ListedRows().back()[0], "Destroyed!");
}

TEST_F(ElementModeTest, ExtentsAnywhereInThe32BitRangeNeverEndTheProgram) {
    ASSERT_TRUE(PressF7());
    const Element wild{
        .id = "wild", .role = "panel", .name = "", .extents = Rectangle{-2147483647, -2147483647, 870, 270}};
    elements.AddChain(scene.lone_window, {wild});
    PointAndTick({865, 265});
    EXPECT_EQ(BottomBar().Bottom, 270);
    Press(kVkP);
    elements.SetExtents("wild", Rectangle{2147483000, -2147483648, 2147483647, 2147483647});
    toolkit.Tick();
    EXPECT_EQ(BottomBar(), (Rectangle{32767, 32765, 32769, 32767}));
    EXPECT_EQ(ListedRows().size(), 2U);
}

TEST_F(ElementModeTest, WithoutAnAccessibilityBusTheUserIsToldOnceAndWindowsAreStillListed) {
    elements.start_problem = "There is no accessibility bus.";
    EXPECT_FALSE(PressF7());
    ASSERT_EQ(toolkit.MessageBoxes().size(), 1U);
    EXPECT_EQ(toolkit.MessageBoxes()[0].prompt, "There is no accessibility bus.");
    EXPECT_EQ(toolkit.MessageBoxes()[0].title, "Hovermark");
    PointAndTick({830, 130});
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("SampleToolWindow", LoneHandle(), "Lone")));
    EXPECT_EQ(elements.Calls("ElementsAt"), 0);
    EXPECT_EQ(elements.Calls("Stop"), 0);

    // Each attempt says so again, by key or by click; the mode stays off.
    toolkit.ClickCheckBox(Main(), IndexOf(ControlId::chkInside));
    EXPECT_EQ(toolkit.MessageBoxes().size(), 2U);
    EXPECT_EQ(CheckValue(ControlId::chkInside), kUnchecked);
    EXPECT_FALSE(program->Inspection().LookingInside());
}

TEST_F(ElementModeTest, TheSwitchStartsOffAndTheHelpTellsOfItsKey) {
    EXPECT_EQ(Main().ControlCount(), kLookInsideWindowControlCount);
    EXPECT_EQ(kLookInsideWindowControls[IndexOf(ControlId::chkInside)].tool_tip, "Look inside windows (press F7 key)");
    EXPECT_EQ(CheckValue(ControlId::chkInside), kUnchecked);
    Press(kVkF1);
    const std::string& help = toolkit.MessageBoxes().back().prompt;
    EXPECT_EQ(help, HelpPrompt({.can_look_inside = true}));
    EXPECT_NE(help.find("focus).\r\n\r\nPress the 'F7' key to look inside windows: the button, text field or other "
                        "element under the mouse pointer is listed above its window (when Hovermark has the "
                        "focus).\r\n\r\nPress 'Ctrl + L'"),
              std::string::npos);
}

// Without an element system the window, its keys and its help are exactly the other front ends'.
TEST_F(ProgramTest, WithoutAnElementSystemThereIsNoSwitchNoKeyAndNoWordOfIt) {
    const SampleScene scene = AddSampleScene();
    Start();
    EXPECT_EQ(Main().ControlCount(), kMainWindowControlCount);
    Press(kVkF7);
    windows.MovePointerTo(scene.lone_window);
    toolkit.Tick();
    EXPECT_FALSE(program->Inspection().LookingInside());
    EXPECT_EQ(ListedRows().size(), 1U);
    Press(kVkF1);
    EXPECT_EQ(toolkit.MessageBoxes().back().prompt, HelpPrompt());
    EXPECT_EQ(HelpPrompt().find("F7"), std::string::npos);
    EXPECT_EQ(elements.Calls("Start"), 0);
}

TEST_F(ElementModeTest, HostileTreesGiveBoundedCleanRows) {
    // A chain far deeper than the list may hold, whose deepest element has a name of 1 MiB of invalid bytes
    // after a NUL and spaces.
    std::string huge = "  \0a"s;
    huge += std::string(std::size_t{1024} * 1024, '\xC3');
    std::vector<Element> chain{
        {.id = "deep", .role = "label\0"s, .name = huge, .extents = Rectangle{860, 260, 870, 270}}};
    for (int level = 0; level < 5000; ++level) {
        chain.push_back(
            {.id = "level" + std::to_string(level), .role = "panel", .name = "\xF0\x9F\x98", .extents = kPanel});
    }
    elements.AddChain(scene.lone_window, chain);
    ASSERT_TRUE(PressF7());
    PointAndTick({865, 265});

    const auto& rows = List().Rows();
    ASSERT_EQ(rows.size(), 1000U);
    EXPECT_EQ(rows[0].text, "label");
    // Made valid and cut at 64 KiB (4 bytes and 21,844 replacement characters), then cleaned.
    std::string expected = "a";
    for (int i = 0; i < 21844; ++i) {
        expected += "\xEF\xBF\xBD";
    }
    EXPECT_TRUE(rows[0].sub_item2 == expected) << rows[0].sub_item2.size();
    EXPECT_TRUE(rows[0].bold);
    EXPECT_EQ(rows[1].sub_item2, "\xEF\xBF\xBD");
    EXPECT_EQ(rows[998].text, "panel");
    EXPECT_EQ(rows[999].text, "SampleToolWindow");
    EXPECT_EQ(rows[999].sub_item1, LoneHandle());
}

}  // namespace
}  // namespace hovermark::testing
