// What each tick does as the user points at windows, pauses, and windows vanish.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/program_fixture.h"

namespace hovermark::testing {
namespace {

using ::testing::ElementsAre;

class InspectionCycleTest : public ProgramTest {
  protected:
    void SetUp() override {
        scene = AddSampleScene();
        Start();
    }
    SampleScene scene;
};

TEST_F(InspectionCycleTest, RoadOfOneEvent) {
    // The pointer comes to the OK button: the next tick lists its chain and frames it.
    PointAtAndTick(scene.ok_button);
    EXPECT_THAT(ListedRows(),
                ElementsAre(ElementsAre("Button", std::to_string(scene.ok_button), "OK"),
                            ElementsAre("#32770", std::to_string(scene.dialog), "Grüße — Привет\t"),
                            ElementsAre("SampleAppWindow", std::to_string(scene.app_window), "Sample Editor")));
    const auto [top, bottom, left, right] = BarHandles();
    EXPECT_EQ(windows.RectOf(top), (Rectangle{300, 300, 398, 302}));
    EXPECT_EQ(windows.RectOf(bottom), (Rectangle{300, 328, 400, 330}));
    EXPECT_EQ(windows.RectOf(left), (Rectangle{300, 300, 302, 328}));
    EXPECT_EQ(windows.RectOf(right), (Rectangle{398, 300, 400, 328}));
    EXPECT_TRUE(windows.IsVisible(top) && windows.IsVisible(bottom) && windows.IsVisible(left) &&
                windows.IsVisible(right));

    // Later ticks over the same button refresh only the rectangle and the bars.
    const int class_reads = windows.Calls("GetClassNameA");
    journal.Clear();
    toolkit.Tick();
    EXPECT_EQ(windows.Calls("GetClassNameA"), class_reads);
    EXPECT_EQ(List().ClearCalls(), 1);
    EXPECT_EQ(journal.CountStartingWith("SetWindowPos"), 4U);

    // P pauses: list and frame stay with the button while the pointer moves away.
    Press(kVkP);
    PointAtAndTick(scene.lone_window);
    EXPECT_EQ(ListedRows().size(), 3U);
    EXPECT_EQ(windows.RectOf(bottom), (Rectangle{300, 328, 400, 330}));

    // Ctrl+C copies three tab-separated lines.
    Press(kVkC, kCtrlMask);
    EXPECT_EQ(toolkit.ClipboardText(), "Button\t" + std::to_string(scene.ok_button) + "\tOK\r\n#32770\t" +
                                           std::to_string(scene.dialog) + "\tGrüße — Привет\t\r\nSampleAppWindow\t" +
                                           std::to_string(scene.app_window) + "\tSample Editor\r\n");

    // The dialog closes: one blank row and one red row appear below, and the frame disappears.
    windows.Destroy(scene.ok_button);
    windows.Destroy(scene.dialog);
    toolkit.Tick();
    ASSERT_EQ(List().Rows().size(), 5U);
    const MemoryReportList::Row& blank = List().Rows()[3];
    const MemoryReportList::Row& marker = List().Rows()[4];
    EXPECT_EQ(blank.text + blank.sub_item1 + blank.sub_item2, "");
    EXPECT_EQ(marker.text, "Destroyed!");
    EXPECT_EQ(marker.sub_item1, "");
    EXPECT_EQ(marker.sub_item2, "This control or window does not exist any more.");
    EXPECT_EQ(marker.fore_color, Rgb(255, 0, 0));
    EXPECT_EQ(marker.sub_item2_fore_color, Rgb(64, 0, 0));
    EXPECT_FALSE(marker.bold);
    EXPECT_EQ(List().LastEnsuredVisible(), 5);
    EXPECT_FALSE(AnyBarVisible());
}

TEST_F(InspectionCycleTest, FirstTickListsTheWindowUnderThePointerAtOnce) {
    PointAtAndTick(scene.lone_window);
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("SampleToolWindow", std::to_string(scene.lone_window), "Lone")));
    EXPECT_TRUE(List().Rows()[0].bold);
}

TEST_F(InspectionCycleTest, WindowVanishingWhileRunningIsMarkedThenTheWindowBeneathIsInspected) {
    PointAtAndTick(scene.lone_window);
    // It closes between the tick's pointer query and its rectangle query.
    windows.before_call = [&](std::string_view operation) {
        if (operation == "GetWindowRect" && windows.Find(scene.lone_window) != nullptr) {
            windows.Destroy(scene.lone_window);
        }
    };
    toolkit.Tick();
    ASSERT_EQ(List().Rows().size(), 3U);
    EXPECT_EQ(List().Rows()[2].text, "Destroyed!");
    EXPECT_FALSE(AnyBarVisible());

    toolkit.Tick();
    EXPECT_THAT(ListedRows(), ElementsAre(ElementsAre("#32769", std::to_string(scene.desktop), "")));
    EXPECT_TRUE(AnyBarVisible());
}

TEST_F(InspectionCycleTest, WindowClosedWhilePausedIsMarkedOnceAndNothingMoreHappens) {
    PointAtAndTick(scene.ok_button);
    Press(kVkPause);
    windows.Destroy(scene.ok_button);
    toolkit.Tick();
    ASSERT_EQ(List().Rows().size(), 5U);
    EXPECT_EQ(List().Rows()[4].text, "Destroyed!");
    EXPECT_FALSE(AnyBarVisible());

    journal.Clear();
    toolkit.Tick();
    toolkit.Tick();
    EXPECT_EQ(List().Rows().size(), 5U);
    EXPECT_TRUE(journal.Entries().empty()) << journal.ToString();
}

TEST_F(InspectionCycleTest, NoWindowUnderThePointerAtTheFirstTickIsMarkedAsVanished) {
    // Handle 0 equals the starting LastHandle, so nothing is listed; its rectangle cannot be read.
    windows.Destroy(scene.desktop);
    windows.SetPointer({1900, 1000});
    toolkit.Tick();
    EXPECT_THAT(ListedRows(),
                ElementsAre(ElementsAre("", "", ""), ElementsAre("Destroyed!", "", kDestroyedExplanation)));
}

TEST_F(InspectionCycleTest, FrameFollowsTheHeldWindowWhileItMoves) {
    PointAtAndTick(scene.lone_window);
    Press(kVkP);
    windows.SetRect(scene.lone_window, {10, 20, 110, 70});
    toolkit.Tick();
    EXPECT_EQ(windows.RectOf(BarHandles()[1]), (Rectangle{10, 68, 110, 70}));
}

TEST_F(InspectionCycleTest, PointerOnABarKeepsThePreviousWindow) {
    PointAtAndTick(scene.ok_button);
    const auto rows = ListedRows();
    windows.SetPointer({350, 301});  // on the top bar, over the button's top edge
    ASSERT_EQ(windows.WindowFromPoint({350, 301}), BarHandles()[0]);
    toolkit.Tick();
    EXPECT_EQ(ListedRows(), rows);
    EXPECT_EQ(program->Inspection().LastHandle, scene.ok_button);
    EXPECT_EQ(windows.RectOf(BarHandles()[0]), (Rectangle{300, 300, 398, 302}));
}

TEST_F(InspectionCycleTest, ChangedTextShowsOnlyAfterThePointerComesBack) {
    PointAtAndTick(scene.lone_window);
    windows.SetText(scene.lone_window, "Renamed");
    toolkit.Tick();
    EXPECT_EQ(List().Rows()[0].sub_item2, "Lone");
    PointAtAndTick(scene.app_window);
    PointAtAndTick(scene.lone_window);
    EXPECT_EQ(List().Rows()[0].sub_item2, "Renamed");
}

TEST_F(InspectionCycleTest, OwnMainWindowIsListedLikeAnyOther) {
    PointAtAndTick(Main().Handle());
    ASSERT_EQ(List().Rows().size(), 1U);
    EXPECT_EQ(List().Rows()[0].sub_item1, std::to_string(Main().Handle()));
    EXPECT_EQ(List().Rows()[0].sub_item2, "Hovermark 1.1");
}

TEST_F(InspectionCycleTest, NewWindowAfterAVanishedOneIsFramedAgainAndTheMainWindowGetsTheFocus) {
    PointAtAndTick(scene.lone_window);
    Press(kVkP);
    windows.Destroy(scene.lone_window);
    toolkit.Tick();
    Press(kVkP);
    journal.Clear();
    PointAtAndTick(scene.ok_button);
    EXPECT_EQ(List().Rows().size(), 3U);
    EXPECT_EQ(program->Inspection().DestroyedShown, kFalse);
    const auto [top, bottom, left, right] = BarHandles();
    EXPECT_THAT(
        JournalOf({"SetWindowPos", "Show", "Hide", "Focus"}),
        ElementsAre(BarPlacement(top, 300, 300, 98, 2), BarPlacement(bottom, 300, 328, 100, 2),
                    BarPlacement(left, 300, 300, 2, 28), BarPlacement(right, 398, 300, 2, 28), "Show Border Window#1",
                    "Show Border Window#2", "Show Border Window#3", "Show Border Window#4", "Focus Hovermark 1.1#1"));
}

}  // namespace
}  // namespace hovermark::testing
