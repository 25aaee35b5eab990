// Where the four bars stand, when they show, and what the thickness does to them.
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/program_fixture.h"

namespace hovermark::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FrameTest : public ProgramTest {
  protected:
    void SetUp() override { Start(); }

    WindowHandle AddTarget(Rectangle rect) {
        return windows.AddWindow({.class_name = "Target", .text = "t", .rect = rect});
    }

    std::vector<std::string> Placements() { return JournalOf({"SetWindowPos", "Show", "Hide", "Focus"}); }
};

TEST_F(FrameTest, BarsCoverExactlyTheOutermostPixels) {
    const WindowHandle target = AddTarget({100, 50, 300, 200});
    journal.Clear();
    PointAtAndTick(target);
    const auto [top, bottom, left, right] = BarHandles();
    EXPECT_THAT(Placements(), ElementsAre(BarPlacement(top, 100, 50, 198, 2), BarPlacement(bottom, 100, 198, 200, 2),
                                          BarPlacement(left, 100, 50, 2, 148), BarPlacement(right, 298, 50, 2, 148)));
}

TEST_F(FrameTest, WindowSmallerThanTheThicknessGetsASquareAtItsCorner) {
    Type(kVkOemPlus, '+');
    ASSERT_EQ(program->Frame().BorderWidth, 3);
    const WindowHandle tiny = AddTarget({100, 50, 101, 51});
    journal.Clear();
    PointAtAndTick(tiny);
    const auto [top, bottom, left, right] = BarHandles();
    EXPECT_THAT(Placements(), ElementsAre(BarPlacement(top, 100, 50, 0, 3), BarPlacement(bottom, 100, 50, 3, 3),
                                          BarPlacement(left, 100, 50, 3, 0), BarPlacement(right, 100, 50, 3, 0)));
    EXPECT_FALSE(toolkit.Ended());
}

TEST_F(FrameTest, SwitchingOffHidesAllFourInOrderWithoutPlacingThem) {
    PointAtAndTick(AddTarget({10, 10, 50, 50}));
    journal.Clear();
    toolkit.ClickCheckBox(Main(), IndexOf(ControlId::chkBorder));
    EXPECT_THAT(Placements(), ElementsAre("Hide Border Window#1", "Hide Border Window#2", "Hide Border Window#3",
                                          "Hide Border Window#4"));
    journal.Clear();
    toolkit.Tick();
    EXPECT_THAT(Placements(), IsEmpty());
}

TEST_F(FrameTest, SwitchingBackOnPlacesThenShowsThenFocusesTheMainWindow) {
    const WindowHandle target = AddTarget({10, 10, 50, 50});
    PointAtAndTick(target);
    Press(kVkF9);
    journal.Clear();
    Press(kVkF9);
    const auto [top, bottom, left, right] = BarHandles();
    EXPECT_THAT(Placements(), ElementsAre(BarPlacement(top, 10, 10, 38, 2), BarPlacement(bottom, 10, 48, 40, 2),
                                          BarPlacement(left, 10, 10, 2, 38), BarPlacement(right, 48, 10, 2, 38),
                                          "Show Border Window#1", "Show Border Window#2", "Show Border Window#3",
                                          "Show Border Window#4", "Focus Hovermark 1.1#1"));
    // Already shown: placed again, nothing shown, the focus left alone.
    journal.Clear();
    toolkit.Tick();
    EXPECT_EQ(Placements().size(), 4U);
}

TEST_F(FrameTest, ThicknessChangedWhileOffResizesTheHiddenBarsWithoutPlacingThem) {
    Press(kVkF9);
    journal.Clear();
    Type(kVkAdd, '+');
    EXPECT_THAT(JournalOf({"SetWidth", "SetHeight", "SetWindowPos", "Show"}),
                ElementsAre("SetHeight Border Window#1 45", "SetHeight Border Window#2 45",
                            "SetWidth Border Window#3 45", "SetWidth Border Window#4 45"));
    EXPECT_FALSE(AnyBarVisible());
}

TEST_F(FrameTest, BarSizesFollowEachAxissOwnTwipsPerPixel) {
    toolkit.SetTwipsPerPixel(12, 15);
    journal.Clear();
    Type(kVkSubtract, '-');
    EXPECT_THAT(JournalOf({"SetWidth", "SetHeight"}),
                ElementsAre("SetHeight Border Window#1 15", "SetHeight Border Window#2 15",
                            "SetWidth Border Window#3 12", "SetWidth Border Window#4 12"));
}

TEST_F(FrameTest, EveryResizeLaysTheHatchOverTheWholeBarButAMoveDoesNot) {
    const WindowHandle target = AddTarget({0, 0, 100, 60});
    journal.Clear();
    PointAtAndTick(target);
    EXPECT_EQ(journal.CountStartingWith("DrawBox Border Window#1 0 0 1470 30"), 1U) << journal.ToString();
    EXPECT_EQ(journal.CountStartingWith("DrawBox Border Window#3 0 0 30 870"), 1U) << journal.ToString();

    windows.SetRect(target, {200, 300, 300, 360});  // same size, new place
    journal.Clear();
    PointAtAndTick(target);
    EXPECT_EQ(journal.CountStartingWith("SetWindowPos"), 4U);
    EXPECT_EQ(journal.CountStartingWith("DrawBox"), 0U);
}

TEST_F(FrameTest, StayOnTopPutsTheMainWindowAboveTheBarsUntilTheNextTick) {
    const WindowHandle target = AddTarget({0, 0, 100, 60});
    PointAtAndTick(target);
    Press(kVkF8);
    Press(kVkF8);
    const auto z_order = windows.ZOrderFrontToBack();
    EXPECT_EQ(z_order.front(), Main().Handle());
    toolkit.Tick();
    const auto after_tick = windows.ZOrderFrontToBack();
    const auto [top, bottom, left, right] = BarHandles();
    EXPECT_THAT(std::vector<WindowHandle>(after_tick.begin(), after_tick.begin() + 5),
                ElementsAre(right, left, bottom, top, Main().Handle()));
}

TEST_F(FrameTest, OverflowingPlacementEndsTheProgramWithTheBarsPlacedSoFar) {
    Type(kVkAdd, '+');
    Type(kVkAdd, '+');
    ASSERT_EQ(program->Frame().BorderWidth, 4);
    // The bottom bar's length, (R - w - L) + w, does not fit 32 bits.
    const WindowHandle huge = AddTarget({-1, 0, std::numeric_limits<std::int32_t>::max(), 100});
    journal.Clear();
    PointAtAndTick(huge);
    ASSERT_TRUE(toolkit.Ended());
    ASSERT_TRUE(toolkit.Error().has_value());
    EXPECT_EQ(toolkit.Error()->number(), 6);
    EXPECT_EQ(toolkit.Error()->Report(), "Run-time error '6':\r\n\r\nOverflow");
    EXPECT_THAT(JournalOf({"SetWindowPos"}),
                ElementsAre(BarPlacement(BarHandles()[0], -1, 0, std::numeric_limits<std::int32_t>::max() - 3, 4)));
    // Nothing more happens after the report.
    journal.Clear();
    toolkit.Tick();
    EXPECT_THAT(journal.Entries(), IsEmpty());
}

}  // namespace
}  // namespace hovermark::testing
