// A form's tool tips: one tool tip window for all its controls, showing each control's design text as it is,
// ampersands and runs of blanks included.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/windows/unique_handles.h"

namespace hovermark::windows {

class FormToolTips {
  public:
    FormToolTips(HWND form, HINSTANCE instance);
    void Add(HWND control, std::string_view text);

  private:
    HWND form_;
    UniqueWindow window_;
};

}  // namespace hovermark::windows
