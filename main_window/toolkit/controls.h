// The logic's view of the controls it reads and sets. These wrappers hold the rules every toolkit must
// keep, so that no front end has to: a change of Value made by the program runs the same handler as a change
// made by the user, values outside a control's range are refused, and selecting one option button of a
// group clears the others.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "main_window/toolkit/control_values.h"
#include "main_window/toolkit/form_toolkit.h"

namespace hovermark {

class CheckBox {
  public:
    CheckBox(CheckBoxPeer& peer, std::function<void()> click) : peer_(peer), click_(std::move(click)) {}

    std::int16_t Value() { return peer_.Value(); }
    // Values other than unchecked, checked and grayed raise InvalidPropertyValue. A change runs the click
    // handler, exactly as a user's click does; setting the value it already has runs nothing.
    void SetValue(std::int16_t value);
    // The front end reports that the user changed the value.
    void ChangedByUser() { click_(); }

  private:
    CheckBoxPeer& peer_;
    std::function<void()> click_;
};

class Slider {
  public:
    Slider(SliderPeer& peer, std::function<void()> change) : peer_(peer), change_(std::move(change)) {}

    std::int32_t Value() { return peer_.Value(); }
    std::int32_t Min() { return peer_.Min(); }
    std::int32_t Max() { return peer_.Max(); }
    // Values outside Min..Max raise InvalidPropertyValue; a change runs the change handler.
    void SetValue(std::int32_t value);
    void ChangedByUser() { change_(); }

  private:
    SliderPeer& peer_;
    std::function<void()> change_;
};

class OptionButton;

// The option buttons of one form: at most one of them is selected.
class OptionGroup {
  public:
    void Add(OptionButton& button) { members_.push_back(&button); }
    void Select(const OptionButton& selected);

  private:
    std::vector<OptionButton*> members_;
};

class OptionButton {
  public:
    OptionButton(OptionButtonPeer& peer, OptionGroup& group) : peer_(peer), group_(group) { group_.Add(*this); }

    Boolean Value() { return peer_.Value() ? kTrue : kFalse; }
    // Setting True clears the other buttons of the group; setting False clears only this one.
    void SetValue(Boolean value);

  private:
    friend class OptionGroup;
    OptionButtonPeer& peer_;
    OptionGroup& group_;
};

}  // namespace hovermark
