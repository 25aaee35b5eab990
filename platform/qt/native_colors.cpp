// System colour indexes to the palette roles of the application's style.
#include "platform/qt/native_colors.h"

namespace hovermark::qt {

std::optional<QPalette::ColorRole> SystemColorRole(ColorValue color) {
    if (!IsSystemColor(color)) {
        return std::nullopt;
    }
    switch (SystemColorIndex(color)) {
        case kColorWindow:
            return QPalette::Base;
        case kColorWindowText:
            return QPalette::Text;
        case kColorButtonFace:
            return QPalette::Button;
        case kColorButtonText:
            return QPalette::ButtonText;
        default:
            return QPalette::WindowText;
    }
}

QColor ToQColor(ColorValue color, const QPalette& palette) {
    if (const std::optional<QPalette::ColorRole> role = SystemColorRole(color)) {
        return palette.color(*role);
    }
    const RgbParts rgb = UnpackRgb(color);
    return QColor(rgb.red, rgb.green, rgb.blue);
}

}  // namespace hovermark::qt
