// The rules every toolkit gets from the logic's own controls: program-made changes run the user's handler,
// ranges are refused, option buttons exclude each other; and the guard around every call into a handler.
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "main_window/toolkit/controls.h"
#include "main_window/toolkit/handler_guard.h"

namespace hovermark {
namespace {

struct FakeCheckBox : CheckBoxPeer {
    std::int16_t value = kUnchecked;
    std::int16_t Value() override { return value; }
    void SetValue(std::int16_t v) override { value = v; }
};

struct FakeSlider : SliderPeer {
    std::int32_t value = 2;
    std::int32_t Value() override { return value; }
    void SetValue(std::int32_t v) override { value = v; }
    std::int32_t Min() override { return 1; }
    std::int32_t Max() override { return 4; }
};

struct FakeOption : OptionButtonPeer {
    bool value = false;
    bool Value() override { return value; }
    void SetValue(bool v) override { value = v; }
};

TEST(CheckBox, ProgramChangeRunsClickHandlerOncePerChange) {
    FakeCheckBox peer;
    int clicks = 0;
    CheckBox box(peer, [&] { ++clicks; });

    box.SetValue(kChecked);
    EXPECT_EQ(peer.value, kChecked);
    EXPECT_EQ(clicks, 1);

    box.SetValue(kChecked);  // no change, no click
    EXPECT_EQ(clicks, 1);

    box.SetValue(kGrayed);
    EXPECT_EQ(clicks, 2);

    box.ChangedByUser();
    EXPECT_EQ(clicks, 3);
}

TEST(CheckBox, HandlerSeesTheNewValue) {
    FakeCheckBox peer;
    std::int16_t seen = -99;
    CheckBox* self = nullptr;
    CheckBox box(peer, [&] { seen = self->Value(); });
    self = &box;
    box.SetValue(kChecked);
    EXPECT_EQ(seen, kChecked);
}

TEST(CheckBox, RefusesValuesOutsideItsThreeStates) {
    FakeCheckBox peer;
    int clicks = 0;
    CheckBox box(peer, [&] { ++clicks; });
    EXPECT_THROW(box.SetValue(3), RuntimeError);
    EXPECT_THROW(box.SetValue(-1), RuntimeError);
    EXPECT_EQ(peer.value, kUnchecked);
    EXPECT_EQ(clicks, 0);
}

TEST(Slider, ChangesWithinRangeRunTheChangeHandler) {
    FakeSlider peer;
    int changes = 0;
    Slider slider(peer, [&] { ++changes; });

    slider.SetValue(4);
    slider.SetValue(4);
    slider.SetValue(1);
    EXPECT_EQ(peer.value, 1);
    EXPECT_EQ(changes, 2);
}

TEST(Slider, ValuesOutsideMinMaxRaiseInvalidPropertyValue) {
    FakeSlider peer;
    int changes = 0;
    Slider slider(peer, [&] { ++changes; });
    try {
        slider.SetValue(5);
        FAIL() << "no error raised";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 380);
    }
    EXPECT_THROW(slider.SetValue(0), RuntimeError);
    EXPECT_EQ(peer.value, 2);
    EXPECT_EQ(changes, 0);
}

TEST(OptionGroup, SelectingOneClearsTheOthers) {
    FakeOption play_peer;
    FakeOption pause_peer;
    play_peer.value = true;
    OptionGroup group;
    OptionButton play(play_peer, group);
    OptionButton pause(pause_peer, group);

    pause.SetValue(kTrue);
    EXPECT_EQ(pause.Value(), kTrue);
    EXPECT_EQ(play.Value(), kFalse);

    pause.SetValue(kTrue);  // selecting the selected one changes nothing
    EXPECT_EQ(pause.Value(), kTrue);
    EXPECT_EQ(play.Value(), kFalse);

    play.SetValue(kTrue);
    EXPECT_EQ(play.Value(), kTrue);
    EXPECT_EQ(pause.Value(), kFalse);

    play.SetValue(kFalse);  // clearing one leaves the group with none selected
    EXPECT_EQ(play.Value(), kFalse);
    EXPECT_EQ(pause.Value(), kFalse);
}

TEST(RuntimeError, ReportNamesNumberAndDescription) {
    EXPECT_EQ(RuntimeError::Overflow().Report(), "Run-time error '6':\r\n\r\nOverflow");
}

// Whatever a handler throws past the program's events reaches the toolkit as one report; what it returns
// passes through.
TEST(HandlerGuard, AnythingThrownEndsTheProgramWithOneReport) {
    struct Ended {};
    struct EndingToolkit {
        std::vector<std::string> reports;
        [[noreturn]] void EndWithReport(const std::string& report) {
            reports.push_back(report);
            throw Ended{};
        }
    } toolkit;
    EXPECT_EQ(CallGuarded(toolkit, [] { return 7; }), 7);
    EXPECT_THROW(CallGuarded(toolkit, [] { throw std::logic_error("a broken promise"); }), Ended);
    EXPECT_THROW(CallGuarded(toolkit, [] { throw 42; }), Ended);
    EXPECT_EQ(toolkit.reports, (std::vector<std::string>{"Hovermark has to stop: a broken promise",
                                                         "Hovermark has to stop: an unknown exception"}));
}

}  // namespace
}  // namespace hovermark
