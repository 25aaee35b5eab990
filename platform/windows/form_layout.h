// Where a form and its controls go, in pixels, for one scale. Creating a window and moving it to a screen of
// another DPI both lay the form out through LayOutForm, so the two can never disagree.
#pragma once

#include <windows.h>

#include <vector>

#include "main_window/toolkit/form_design.h"
#include "main_window/toolkit/twips_scale.h"

namespace hovermark::windows {

struct ControlGeometry {
    RECT bounds{};  // in the form's client area
    // As LOGFONT's lfHeight: minus the character height in pixels; 0 when the design names no font.
    int font_height = 0;
    // The pixel art is drawn for 96 DPI; at this scale each of its pixels becomes a square this wide.
    int picture_scale = 1;
    std::vector<int> column_widths{};
};

struct FormLayout {
    SIZE client{};
    std::vector<ControlGeometry> controls{};  // one per control, in the design's order
};

FormLayout LayOutForm(const FormDesign& design, const TwipsScale& scale);

}  // namespace hovermark::windows
