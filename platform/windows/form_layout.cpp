// Twips to pixels for a form and its controls, at one scale.
#include "platform/windows/form_layout.h"

#include <algorithm>
#include <cmath>

namespace hovermark::windows {
namespace {

constexpr double kPictureTwipsPerPixel = kTwipsPerInch / USER_DEFAULT_SCREEN_DPI;

int FontHeight(const FontDesign& font, const TwipsScale& scale) {
    if (font.name.empty()) {
        return 0;
    }
    return -scale.ToPixelsY(static_cast<double>(font.points) * kTwipsPerPoint);
}

int PictureScale(const TwipsScale& scale) {
    const long factor = std::lround(kPictureTwipsPerPixel / static_cast<double>(scale.twips_per_pixel_y));
    return static_cast<int>(std::max(1L, factor));
}

// Edges rather than sizes are rounded, so controls that touch in twips still touch in pixels.
RECT Bounds(const ControlDesign& control, const TwipsScale& scale) {
    return RECT{scale.ToPixelsX(control.left), scale.ToPixelsY(control.top),
                scale.ToPixelsX(static_cast<double>(control.left) + control.width),
                scale.ToPixelsY(static_cast<double>(control.top) + control.height)};
}

}  // namespace

FormLayout LayOutForm(const FormDesign& design, const TwipsScale& scale) {
    FormLayout layout;
    layout.client = SIZE{scale.ToPixelsX(design.client_width), scale.ToPixelsY(design.client_height)};
    const int picture_scale = PictureScale(scale);
    layout.controls.reserve(design.controls.size());
    for (const ControlDesign& control : design.controls) {
        ControlGeometry& geometry = layout.controls.emplace_back();
        geometry.bounds = Bounds(control, scale);
        geometry.font_height = FontHeight(control.font, scale);
        geometry.picture_scale = picture_scale;
        for (const ColumnDesign& column : control.columns) {
            geometry.column_widths.push_back(scale.ToPixelsX(column.width));
        }
    }
    return layout;
}

}  // namespace hovermark::windows
