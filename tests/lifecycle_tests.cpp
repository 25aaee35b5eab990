// How the program comes up, how it goes, and the stay-on-top setting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/run_hovermark.h"
#include "tests/program_fixture.h"

namespace hovermark::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class LifecycleTest : public ProgramTest {};

TEST_F(LifecycleTest, StartUpMakesTheWindowTopmostThenShowsTheBarsThenAppliesTheThickness) {
    Start();
    const auto [top, bottom, left, right] = BarHandles();
    const WindowHandle main = Main().Handle();
    constexpr std::uint32_t kShowTopmostUnactivated = 83;
    EXPECT_THAT(
        JournalOf({"SetWindowPos", "Show", "Hide", "Focus", "SetWidth", "SetHeight", "Create"}),
        ElementsAre("Create Hovermark 1.1#1", SetWindowPosEntry(main, -1, 0, 0, 0, 0, 3), "Create Border Window#1",
                    SetWindowPosEntry(top, -1, 0, 0, 0, 0, kShowTopmostUnactivated), "Show Border Window#1",
                    "Create Border Window#2", SetWindowPosEntry(bottom, -1, 0, 0, 0, 0, kShowTopmostUnactivated),
                    "Show Border Window#2", "Create Border Window#3",
                    SetWindowPosEntry(left, -1, 0, 0, 0, 0, kShowTopmostUnactivated), "Show Border Window#3",
                    "Create Border Window#4", SetWindowPosEntry(right, -1, 0, 0, 0, 0, kShowTopmostUnactivated),
                    "Show Border Window#4", "SetHeight Border Window#1 30", "SetHeight Border Window#2 30",
                    "SetWidth Border Window#3 30", "SetWidth Border Window#4 30", BarPlacement(top, 0, 0, 0, 2),
                    BarPlacement(bottom, 0, 0, 2, 2), BarPlacement(left, 0, 0, 2, 0), BarPlacement(right, 0, 0, 2, 0),
                    "Show Hovermark 1.1#1"));
    // Until the first tick the frame is a 2 x 2 square at the screen's top-left corner.
    EXPECT_EQ(windows.RectOf(bottom), (Rectangle{0, 0, 2, 2}));
    EXPECT_TRUE(windows.IsTopmost(main));
    EXPECT_EQ(program->Frame().BorderWidth, 2);
    EXPECT_EQ(SliderValue(), 2);
}

TEST_F(LifecycleTest, BarsFirstShowAtTheirDesignSizeRedWithTheHatch) {
    Start();
    EXPECT_EQ(journal.CountStartingWith("Resize Border Window#1 178 90"), 1U) << journal.ToString();
    EXPECT_EQ(journal.CountStartingWith("DrawBox Border Window#1 0 0 2670 1350"), 1U) << journal.ToString();
    // Shrunk to its thickness: drawn again over its new, empty-width area.
    EXPECT_EQ(journal.CountStartingWith("DrawBox Border Window#1 0 0 0 30"), 1U) << journal.ToString();
    EXPECT_FALSE(toolkit.Ended());
}

TEST_F(LifecycleTest, ControlsStartWithTheirDesignValues) {
    Start();
    EXPECT_EQ(CheckValue(ControlId::chkOnTop), kChecked);
    EXPECT_EQ(CheckValue(ControlId::chkBorder), kChecked);
    EXPECT_TRUE(OptionValue(ControlId::optPlay));
    EXPECT_FALSE(OptionValue(ControlId::optPause));
    EXPECT_THAT(List().Rows(), IsEmpty());
}

TEST_F(LifecycleTest, DesignWithTheFrameOffShowsNoBarAfterStartUp) {
    Start([](MemoryForm& main) { main.CheckBoxAt(IndexOf(ControlId::chkBorder)).SetValue(kUnchecked); });
    EXPECT_FALSE(AnyBarVisible());
    EXPECT_EQ(toolkit.FocusedForm(), nullptr);
}

TEST_F(LifecycleTest, GrayedFrameSwitchCountsAsOff) {
    Start([](MemoryForm& main) { main.CheckBoxAt(IndexOf(ControlId::chkBorder)).SetValue(kGrayed); });
    EXPECT_FALSE(AnyBarVisible());
    toolkit.Tick();
    EXPECT_FALSE(AnyBarVisible());
}

TEST_F(LifecycleTest, SliderDesignedAtAnotherValueIsSetToTwo) {
    Start([](MemoryForm& main) { main.SliderAt(IndexOf(ControlId::sldBorderWidth)).SetValue(4); });
    EXPECT_EQ(SliderValue(), 2);
    EXPECT_EQ(program->Frame().BorderWidth, 2);
    EXPECT_EQ(windows.RectOf(BarHandles()[1]), (Rectangle{0, 0, 2, 2}));
    EXPECT_EQ(journal.CountStartingWith("SetHeight Border Window#1 30"), 2U);
}

TEST_F(LifecycleTest, DesignWithoutStayOnTopStartsNotTopmost) {
    Start([](MemoryForm& main) { main.CheckBoxAt(IndexOf(ControlId::chkOnTop)).SetValue(kUnchecked); });
    EXPECT_EQ(journal.Entries().at(1), SetWindowPosEntry(Main().Handle(), -2, 0, 0, 0, 0, 3));
    EXPECT_FALSE(windows.IsTopmost(Main().Handle()));
}

TEST_F(LifecycleTest, NoFocusIsGivenWhileLoading) {
    Start();
    EXPECT_EQ(journal.CountStartingWith("Focus"), 0U);
}

TEST_F(LifecycleTest, UncheckingStayOnTopKeepsPositionAndSize) {
    Start();
    const Rectangle before = windows.RectOf(Main().Handle());
    journal.Clear();
    toolkit.ClickCheckBox(Main(), IndexOf(ControlId::chkOnTop));
    EXPECT_THAT(journal.Entries(), ElementsAre(SetWindowPosEntry(Main().Handle(), -2, 0, 0, 0, 0, 3)));
    EXPECT_FALSE(windows.IsTopmost(Main().Handle()));
    EXPECT_EQ(windows.RectOf(Main().Handle()), before);
}

class OrderlyEndTest : public ProgramTest {
  protected:
    void ExpectOrderlyEnd(const std::function<void()>& close) {
        Start();
        toolkit.Tick();
        journal.Clear();
        close();
        EXPECT_THAT(JournalOf({"Destroy"}),
                    ElementsAre("Destroy Border Window#1", "Destroy Border Window#2", "Destroy Border Window#3",
                                "Destroy Border Window#4", "Destroy Hovermark 1.1#1"));
        EXPECT_FALSE(toolkit.AnyFormAlive());
        EXPECT_FALSE(toolkit.Ended()) << "no error on the way out";
        // The timer went with the window.
        journal.Clear();
        toolkit.Tick();
        EXPECT_THAT(journal.Entries(), IsEmpty());
    }
};

TEST_F(OrderlyEndTest, ExitButtonUnloadsTheBarsBeforeTheMainWindow) {
    ExpectOrderlyEnd([this] { toolkit.ClickButton(Main(), IndexOf(ControlId::cmdClose)); });
}

TEST_F(OrderlyEndTest, CloseThroughTheWindowSystemTakesTheSamePath) {
    ExpectOrderlyEnd([this] { toolkit.RequestClose(Main()); });
}

TEST_F(LifecycleTest, RunHovermarkLoadsShowsRunsAndReturnsWhenTheWindowHasGone) {
    const SampleScene scene = AddSampleScene();
    bool shown_before_loop = false;
    toolkit.during_event_loop = [&] {
        MemoryForm& main = *toolkit.FindForm("Hovermark 1.1");
        shown_before_loop = main.Visible();
        windows.MovePointerTo(scene.lone_window);
        toolkit.Tick();
        EXPECT_EQ(main.ReportListAt(IndexOf(ControlId::lstInfo)).Rows().size(), 1U);
        toolkit.PressKey(main, kVkF1);
        toolkit.ClickButton(main, IndexOf(ControlId::cmdClose));
    };
    EXPECT_EQ(RunHovermark(toolkit, windows), 0);
    EXPECT_TRUE(shown_before_loop);
    EXPECT_EQ(toolkit.MessageBoxes().size(), 1U);
    EXPECT_FALSE(toolkit.AnyFormAlive());
}

}  // namespace
}  // namespace hovermark::testing
