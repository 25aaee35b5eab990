// Writes every picture as an enlarged PPM file so that the pixel art can be checked by eye after an edit.
// Built with the core as build/<preset>/tools/hovermark_render_pictures:
//
//   hovermark_render_pictures OUT_DIR [--scale N] [--grid] [--face RRGGBB]
//
// Pixels that will not be drawn (the button's mask colour, or an icon's transparent entries) show as a
// checkerboard, or as the --face colour to preview a picture on a button face.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "main_window/main_window_layout.h"
#include "main_window/pictures.h"

namespace {

using hovermark::ColorValue;

struct Options {
    std::string out_dir;
    int scale = 8;
    bool grid = false;
    std::optional<ColorValue> face;
};

// Button pictures take their mask colour from the control that shows them.
std::optional<ColorValue> MaskColorOf(std::string_view picture) {
    for (const hovermark::ControlDesign& control : hovermark::kMainWindowControls) {
        if (control.graphical && (control.picture == picture || control.down_picture == picture)) {
            return control.mask_color;
        }
    }
    return std::nullopt;
}

using Rgb8 = hovermark::RgbParts;

bool WritePicture(const hovermark::PixelArt& art, const Options& options) {
    const std::optional<std::vector<hovermark::Pixel>> pixels = hovermark::DecodePixels(art);
    if (!pixels) {
        std::fprintf(stderr, "%.*s: does not decode\n", static_cast<int>(art.name.size()), art.name.data());
        return false;
    }
    const std::optional<ColorValue> mask = MaskColorOf(art.name);
    const int scale = options.scale;
    const int width = art.Width() * scale;
    const int height = art.Height() * scale;
    std::vector<Rgb8> image(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto art_row = static_cast<std::size_t>(y / scale);
            const auto art_column = static_cast<std::size_t>(x / scale);
            const hovermark::Pixel& pixel = (*pixels)[art_row * static_cast<std::size_t>(art.Width()) + art_column];
            Rgb8 out = hovermark::UnpackRgb(pixel.color);
            if (pixel.transparent || (mask && pixel.color == *mask)) {
                if (options.face) {
                    out = hovermark::UnpackRgb(*options.face);
                } else {
                    // Cells of half a picture pixel, so each see-through pixel shows its own little check.
                    const int cell = std::max(1, scale / 2);
                    const bool dark = ((x / cell) + (y / cell)) % 2 == 0;
                    out = dark ? Rgb8{150, 150, 150} : Rgb8{230, 230, 230};
                }
            }
            if (options.grid && scale >= 4 && (x % scale == 0 || y % scale == 0)) {
                out = {static_cast<std::uint8_t>(out.red * 3 / 4), static_cast<std::uint8_t>(out.green * 3 / 4),
                       static_cast<std::uint8_t>(out.blue * 3 / 4)};
            }
            image[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = out;
        }
    }
    const std::string path = options.out_dir + "/" + std::string(art.name) + ".ppm";
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << width << ' ' << height << "\n255\n";
    file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size() * 3));
    if (!file) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return false;
    }
    std::printf("%s  %dx%d\n", path.c_str(), art.Width(), art.Height());
    return true;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--grid") {
            options.grid = true;
        } else if (arg == "--scale" && has_value) {
            const std::string_view value = argv[++i];
            const auto result = std::from_chars(value.data(), value.data() + value.size(), options.scale);
            if (result.ec != std::errc{} || options.scale < 1 || options.scale > 64) {
                return std::nullopt;
            }
        } else if (arg == "--face" && has_value) {
            const std::string_view value = argv[++i];
            std::uint32_t rrggbb = 0;
            const auto result = std::from_chars(value.data(), value.data() + value.size(), rrggbb, 16);
            if (result.ec != std::errc{} || value.size() != 6) {
                return std::nullopt;
            }
            options.face = hovermark::Rgb(rrggbb >> 16U, (rrggbb >> 8U) & 0xFFU, rrggbb & 0xFFU);
        } else if (options.out_dir.empty() && !arg.starts_with("--")) {
            options.out_dir = arg;
        } else {
            return std::nullopt;
        }
    }
    if (options.out_dir.empty()) {
        return std::nullopt;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: %s OUT_DIR [--scale N] [--grid] [--face RRGGBB]\n", argv[0]);
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(options->out_dir, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", options->out_dir.c_str(), error.message().c_str());
        return 1;
    }
    bool ok = true;
    for (const hovermark::PixelArt& art : hovermark::AllPictures()) {
        ok = WritePicture(art, *options) && ok;
    }
    return ok ? 0 : 1;
}
