#include "main_window/toolkit/controls.h"

namespace hovermark {

void CheckBox::SetValue(std::int16_t value) {
    if (value != kUnchecked && value != kChecked && value != kGrayed) {
        throw RuntimeError::InvalidPropertyValue();
    }
    if (peer_.Value() == value) {
        return;
    }
    peer_.SetValue(value);
    click_();
}

void Slider::SetValue(std::int32_t value) {
    if (value < peer_.Min() || value > peer_.Max()) {
        throw RuntimeError::InvalidPropertyValue();
    }
    if (peer_.Value() == value) {
        return;
    }
    peer_.SetValue(value);
    change_();
}

void OptionGroup::Select(const OptionButton& selected) {
    for (OptionButton* member : members_) {
        member->peer_.SetValue(member == &selected);
    }
}

void OptionButton::SetValue(Boolean value) {
    if (value != kFalse) {
        group_.Select(*this);
    } else {
        peer_.SetValue(false);
    }
}

}  // namespace hovermark
