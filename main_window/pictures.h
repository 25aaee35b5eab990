// The icon and the button pictures as readable pixel art: one string per row, one character per pixel, a
// small palette per picture. Each front end turns them into its own image type once, at start.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "main_window/toolkit/control_values.h"

namespace hovermark {

struct PaletteEntry {
    char symbol = ' ';
    ColorValue color = 0;
    bool transparent = false;  // icons only: the pixel lets the background show through
};

struct PixelArt {
    std::string_view name;
    std::span<const PaletteEntry> palette;
    std::span<const std::string_view> rows;

    std::int32_t Width() const { return rows.empty() ? 0 : static_cast<std::int32_t>(rows.front().size()); }
    std::int32_t Height() const { return static_cast<std::int32_t>(rows.size()); }
};

// One decoded pixel.
struct Pixel {
    ColorValue color = 0;
    bool transparent = false;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

namespace pictures {
inline constexpr std::string_view kAppIcon16 = "app_icon_16";
inline constexpr std::string_view kAppIcon32 = "app_icon_32";
inline constexpr std::string_view kCopy = "copy";
inline constexpr std::string_view kHelp = "help";
inline constexpr std::string_view kLocator = "locator";
inline constexpr std::string_view kPlay = "play";
inline constexpr std::string_view kPause = "pause";
inline constexpr std::string_view kFrameOff = "frame_off";
inline constexpr std::string_view kFrameOn = "frame_on";
inline constexpr std::string_view kPinSide = "pin_side";
inline constexpr std::string_view kPinTop = "pin_top";
inline constexpr std::string_view kInsideOff = "inside_off";
inline constexpr std::string_view kInsideOn = "inside_on";
}  // namespace pictures

std::span<const PixelArt> AllPictures();
// The picture of that name, or nothing.
const PixelArt* FindPicture(std::string_view name);
// Row by row, top to bottom. Nothing when a row's length differs from the first row's or a character is
// not in the palette.
std::optional<std::vector<Pixel>> DecodePixels(const PixelArt& art);

}  // namespace hovermark
