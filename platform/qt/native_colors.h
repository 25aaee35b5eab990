// The design's colour values as Qt colours: a plain value is 0x00BBGGRR, one with the high bit set names a
// system colour, which on this desktop is the matching role of the application's palette.
#pragma once

#include <QColor>
#include <QPalette>
#include <optional>

#include "main_window/toolkit/control_values.h"

namespace hovermark::qt {

// The palette role a system colour stands for; nothing for a plain colour.
std::optional<QPalette::ColorRole> SystemColorRole(ColorValue color);

QColor ToQColor(ColorValue color, const QPalette& palette);

}  // namespace hovermark::qt
