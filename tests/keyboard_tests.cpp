// The shortcuts, whichever control has the focus, and the help message.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "main_window/help_text.h"
#include "tests/program_fixture.h"

namespace hovermark::testing {
namespace {

using ::testing::ElementsAre;

class KeyboardTest : public ProgramTest {
  protected:
    void SetUp() override { Start(); }
    bool Paused() { return OptionValue(ControlId::optPause) && !OptionValue(ControlId::optPlay); }
    bool Running() { return OptionValue(ControlId::optPlay) && !OptionValue(ControlId::optPause); }
};

TEST_F(KeyboardTest, PauseAndPToggleWithAnyModifierAndOnEveryRepeat) {
    ASSERT_TRUE(Running());
    Press(kVkP);
    EXPECT_TRUE(Paused());
    Press(kVkPause);
    EXPECT_TRUE(Running());
    Press(kVkP, kShiftMask);
    EXPECT_TRUE(Paused());
    Press(kVkP, kCtrlMask | kAltMask);
    EXPECT_TRUE(Running());
    for (int repeat = 0; repeat < 3; ++repeat) {
        Press(kVkP);
    }
    EXPECT_TRUE(Paused());
}

TEST_F(KeyboardTest, PauseWithNeitherOptionSelectedPauses) {
    Main().OptionButtonAt(IndexOf(ControlId::optPlay)).SetValue(false);
    Press(kVkP);
    EXPECT_TRUE(Paused());
}

TEST_F(KeyboardTest, ClickingTheOptionButtonsSwitchesBetweenThem) {
    toolkit.ClickOptionButton(Main(), IndexOf(ControlId::optPause));
    EXPECT_TRUE(Paused());
    toolkit.ClickOptionButton(Main(), IndexOf(ControlId::optPause));
    EXPECT_TRUE(Paused());
    toolkit.ClickOptionButton(Main(), IndexOf(ControlId::optPlay));
    EXPECT_TRUE(Running());
}

TEST_F(KeyboardTest, F8TogglesStayOnTopAndGrayedBecomesChecked) {
    const WindowHandle main = Main().Handle();
    journal.Clear();
    Press(kVkF8, kCtrlMask);
    EXPECT_EQ(CheckValue(ControlId::chkOnTop), kUnchecked);
    Main().CheckBoxAt(IndexOf(ControlId::chkOnTop)).SetValue(kGrayed);
    Press(kVkF8);
    EXPECT_EQ(CheckValue(ControlId::chkOnTop), kChecked);
    EXPECT_THAT(JournalOf({"SetWindowPos"}),
                ElementsAre(SetWindowPosEntry(main, -2, 0, 0, 0, 0, 3), SetWindowPosEntry(main, -1, 0, 0, 0, 0, 3)));
    EXPECT_TRUE(windows.IsTopmost(main));
}

TEST_F(KeyboardTest, F9OnAGrayedFrameSwitchTurnsTheFrameOn) {
    Press(kVkF9);
    ASSERT_FALSE(AnyBarVisible());
    Main().CheckBoxAt(IndexOf(ControlId::chkBorder)).SetValue(kGrayed);
    Press(kVkF9);
    EXPECT_EQ(CheckValue(ControlId::chkBorder), kChecked);
    EXPECT_TRUE(AnyBarVisible());
    EXPECT_EQ(toolkit.FocusedForm(), &Main());
}

TEST_F(KeyboardTest, CopyNeedsCtrlAndIgnoresTheOtherModifiers) {
    Press(kVkC);
    Press(kVkC, kShiftMask);
    EXPECT_EQ(journal.CountStartingWith("ClearClipboard"), 0U);
    Press(kVkC, kCtrlMask);
    Press(kVkC, kCtrlMask | kShiftMask);
    EXPECT_EQ(journal.CountStartingWith("ClearClipboard"), 2U);
    EXPECT_EQ(journal.CountStartingWith("SetClipboardText"), 2U);
}

TEST_F(KeyboardTest, PlusAndMinusStepTheThicknessWithinTheSlidersRange) {
    Type(kVkAdd, '+');
    Type(kVkOemPlus, '+');
    EXPECT_EQ(SliderValue(), 4);
    EXPECT_EQ(program->Frame().BorderWidth, 4);
    journal.Clear();
    Type(kVkAdd, '+');
    EXPECT_EQ(SliderValue(), 4);
    EXPECT_EQ(journal.CountStartingWith("SetHeight"), 0U) << "no change handling at Max";

    for (int step = 0; step < 3; ++step) {
        Type(kVkSubtract, '-');
    }
    EXPECT_EQ(SliderValue(), 1);
    journal.Clear();
    Type(kVkOemMinus, '-');
    EXPECT_EQ(SliderValue(), 1);
    EXPECT_EQ(journal.CountStartingWith("SetHeight"), 0U) << "no change handling at Min";
    EXPECT_EQ(program->Frame().BorderWidth, 1);
}

TEST_F(KeyboardTest, SliderMovedByTheUserSetsTheThickness) {
    toolkit.SetSliderByUser(Main(), IndexOf(ControlId::sldBorderWidth), 3);
    EXPECT_EQ(program->Frame().BorderWidth, 3);
    EXPECT_EQ(windows.RectOf(BarHandles()[1]), (Rectangle{0, 0, 3, 3}));
}

TEST_F(KeyboardTest, OtherKeysAndCharactersDoNothing) {
    journal.Clear();
    for (const std::int16_t key :
         {std::int16_t{13}, std::int16_t{27}, std::int16_t{9}, std::int16_t{65}, std::int16_t{113}}) {
        Press(key);
    }
    Type(0x31, '1');
    Type(0x3D, '=');
    EXPECT_TRUE(journal.Entries().empty()) << journal.ToString();
    EXPECT_TRUE(Running());
    EXPECT_EQ(SliderValue(), 2);
}

TEST_F(KeyboardTest, F1AndTheHelpButtonShowTheSameMessage) {
    Press(kVkF1, kShiftMask);
    toolkit.ClickButton(Main(), IndexOf(ControlId::cmdHelp));
    ASSERT_EQ(toolkit.MessageBoxes().size(), 2U);
    const auto& box = toolkit.MessageBoxes()[0];
    EXPECT_EQ(box.style, 64);
    EXPECT_EQ(box.title, "Hovermark - Help");
    EXPECT_EQ(toolkit.MessageBoxes()[1].prompt, box.prompt);
    EXPECT_EQ(box.prompt,
              "Hovermark is a simple tool to find out the type of window or control at the mouse pointer "
              "position.\r\n"
              "It displays the class name, window handle and window text of the window or control\r\n"
              "and of all of its parents (containers) up to the main window.\r\n"
              "\r\n"
              "This can be used by software developers in order to reveal the structure of a graphical user "
              "interface.\r\n"
              "\r\n"
              "Optionally the window or control can be highlighted by a red rectangular frame.\r\n"
              "\r\n"
              "Press the 'P' or 'Pause' key to lock or unlock the current window or control (when Hovermark has "
              "the focus).\r\n"
              "\r\n"
              "Press 'Ctrl + L' to copy a locator for UI tests: a line a test framework finds the first listed "
              "control or window by, checked against the running program; what the check found shows below the "
              "list.\r\n"
              "\r\n"
              "Note that this program does not make any changes to other programs. It does only read "
              "information.\r\n"
              "\r\n"
              "Hovermark was written by the Hovermark developers.\r\n");
}

// A Linux program in a Wayland session says in its help, in one more paragraph before the closing note, what it
// cannot see there; without that session the help is the same text less that paragraph.
TEST_F(ProgramTest, InAWaylandSessionTheHelpSaysWhatHovermarkCannotSee) {
    can_look_inside = true;
    wayland_session = true;
    Start();
    Press(kVkF1);
    const std::string help = toolkit.MessageBoxes().back().prompt;
    const std::string paragraph =
        "In a Wayland session Hovermark sees the windows of X11 programs (XWayland) only: the windows of native "
        "Wayland programs, and anything inside them, are invisible to it.\r\n\r\n";
    ASSERT_NE(help.find("focus).\r\n\r\n" + paragraph + "Press 'Ctrl + L'"), std::string::npos) << help;
    std::string without = help;
    without.erase(help.find(paragraph), paragraph.size());
    EXPECT_EQ(without, HelpPrompt({.can_look_inside = true}));
    EXPECT_EQ(HelpPrompt({.can_look_inside = true}).find("Wayland"), std::string::npos);
}

TEST_F(KeyboardTest, TicksArrivingWhileTheHelpBoxIsOpenDoNotRunInsideItsHandler) {
    const WindowHandle lone =
        windows.AddWindow({.class_name = "SampleToolWindow", .text = "Lone", .rect = {800, 100, 1000, 300}});
    windows.MovePointerTo(lone);
    toolkit.while_message_box_open = [this] { toolkit.Tick(); };
    Press(kVkF1);
    EXPECT_EQ(toolkit.MessageBoxes().size(), 1U);
    EXPECT_TRUE(List().Rows().empty());
    toolkit.while_message_box_open = nullptr;
    toolkit.Tick();
    EXPECT_EQ(List().Rows().size(), 1U);
}

TEST_F(KeyboardTest, TheFocusedControlStillGetsEveryKey) {
    const int before = Main().KeysDeliveredToFocusedControl();
    Press(kVkP);
    Press(kVkF9);
    Type(kVkAdd, '+');
    EXPECT_EQ(Main().KeysDeliveredToFocusedControl(), before + 3);
}

}  // namespace
}  // namespace hovermark::testing
