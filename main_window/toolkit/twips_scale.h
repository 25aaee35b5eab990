// Twips, the unit of every design value, against screen pixels. A toolkit front end hands out one scale, taken
// from its screen's DPI, and every conversion in the front end goes through it, so a length the program sets
// as N pixels' worth of twips always comes out as exactly N pixels.
#pragma once

#include <climits>
#include <cmath>

#include "main_window/toolkit/runtime_error.h"

namespace hovermark {

inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kTwipsPerPoint = 20.0;

struct TwipsScale {
    float twips_per_pixel_x = 0;
    float twips_per_pixel_y = 0;

    static TwipsScale ForDpi(double dpi_x, double dpi_y) {
        return {static_cast<float>(kTwipsPerInch / dpi_x), static_cast<float>(kTwipsPerInch / dpi_y)};
    }

    int ToPixelsX(double twips) const { return NearestPixel(twips / static_cast<double>(twips_per_pixel_x)); }
    int ToPixelsY(double twips) const { return NearestPixel(twips / static_cast<double>(twips_per_pixel_y)); }
    float ToTwipsX(int pixels) const { return static_cast<float>(pixels * static_cast<double>(twips_per_pixel_x)); }
    float ToTwipsY(int pixels) const { return static_cast<float>(pixels * static_cast<double>(twips_per_pixel_y)); }

  private:
    // A length no window can measure is the program's overflow, as any other arithmetic one.
    static int NearestPixel(double pixels) {
        const double rounded = std::round(pixels);
        if (!std::isfinite(rounded) || rounded > static_cast<double>(INT_MAX) ||
            rounded < static_cast<double>(INT_MIN)) {
            throw RuntimeError::Overflow();
        }
        return static_cast<int>(rounded);
    }
};

}  // namespace hovermark
