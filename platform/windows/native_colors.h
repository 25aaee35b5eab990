// The design's colour values as GDI colours: a plain value is already a COLORREF, one with the high bit set
// names a system colour, read when it is used so that a change of the user's colours shows at once.
#pragma once

#include <windows.h>

#include "main_window/toolkit/control_values.h"

namespace hovermark::windows {

inline COLORREF ToColorRef(ColorValue color) {
    return IsSystemColor(color) ? GetSysColor(static_cast<int>(SystemColorIndex(color))) : static_cast<COLORREF>(color);
}

}  // namespace hovermark::windows
