// System colour indexes to the palette roles of the application's style.
#include "platform/qt/native_colors.h"

namespace hovermark::qt {
namespace {

// The system colour indexes the designs use.
constexpr ColorValue kWindowIndex = 5;
constexpr ColorValue kWindowTextIndex = 8;
constexpr ColorValue kButtonFaceIndex = 15;
constexpr ColorValue kButtonTextIndex = 18;

}  // namespace

std::optional<QPalette::ColorRole> SystemColorRole(ColorValue color) {
    if (!IsSystemColor(color)) {
        return std::nullopt;
    }
    switch (color & ~kSystemColorFlag) {
        case kWindowIndex:
            return QPalette::Base;
        case kWindowTextIndex:
            return QPalette::Text;
        case kButtonFaceIndex:
            return QPalette::Button;
        case kButtonTextIndex:
            return QPalette::ButtonText;
        default:
            return QPalette::WindowText;
    }
}

QColor ToQColor(ColorValue color, const QPalette& palette) {
    if (const std::optional<QPalette::ColorRole> role = SystemColorRole(color)) {
        return palette.color(*role);
    }
    return QColor(static_cast<int>(color & 0xFFU), static_cast<int>((color >> 8U) & 0xFFU),
                  static_cast<int>((color >> 16U) & 0xFFU));
}

}  // namespace hovermark::qt
