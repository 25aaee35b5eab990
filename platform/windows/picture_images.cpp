// Pixel art to bitmaps: a 32-bit colour image with alpha and a monochrome mask, enlarged by whole pixels.
#include "platform/windows/picture_images.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "main_window/pictures.h"

namespace hovermark::windows {
namespace {

// The picture enlarged, as 32-bit top-down BGRA with alpha, and which pixels let the background through.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> bgra{};
    std::vector<bool> transparent{};
};

std::uint32_t OpaqueBgra(ColorValue color) {
    const RgbParts rgb = UnpackRgb(color);
    return 0xFF000000U | (std::uint32_t{rgb.red} << 16U) | (std::uint32_t{rgb.green} << 8U) | rgb.blue;
}

std::optional<Raster> Rasterize(std::string_view picture, std::optional<ColorValue> mask_color, int scale) {
    const PixelArt* art = FindPicture(picture);
    if (art == nullptr || art->Width() == 0 || art->Height() == 0) {
        return std::nullopt;
    }
    const std::optional<std::vector<Pixel>> pixels = DecodePixels(*art);
    if (!pixels) {
        return std::nullopt;
    }
    Raster raster{.width = art->Width() * scale, .height = art->Height() * scale};
    const auto count = static_cast<std::size_t>(raster.width) * static_cast<std::size_t>(raster.height);
    raster.bgra.reserve(count);
    raster.transparent.reserve(count);
    for (int y = 0; y < raster.height; ++y) {
        for (int x = 0; x < raster.width; ++x) {
            const auto source = static_cast<std::size_t>((y / scale) * art->Width() + x / scale);
            const Pixel& pixel = (*pixels)[source];
            const bool transparent = pixel.transparent || (mask_color && pixel.color == *mask_color);
            raster.transparent.push_back(transparent);
            // Transparent pixels are black with no alpha: what both masked and alpha drawing expect.
            raster.bgra.push_back(transparent ? 0U : OpaqueBgra(pixel.color));
        }
    }
    return raster;
}

UniqueBitmap ColorBitmap(const Raster& raster) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = raster.width;
    info.bmiHeader.biHeight = -raster.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap && bits != nullptr) {
        std::memcpy(bits, raster.bgra.data(), raster.bgra.size() * sizeof(std::uint32_t));
    }
    return bitmap;
}

// Monochrome, 1 where the background shows through; each row padded to a 16-bit boundary as CreateBitmap
// requires.
UniqueBitmap MaskBitmap(const Raster& raster) {
    const int stride = (raster.width + 15) / 16 * 2;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * static_cast<std::size_t>(raster.height), 0);
    for (int y = 0; y < raster.height; ++y) {
        for (int x = 0; x < raster.width; ++x) {
            if (raster.transparent[static_cast<std::size_t>(y * raster.width + x)]) {
                bits[static_cast<std::size_t>(y * stride + x / 8)] |= static_cast<std::uint8_t>(0x80U >> (x % 8));
            }
        }
    }
    return UniqueBitmap(CreateBitmap(raster.width, raster.height, 1, 1, bits.data()));
}

}  // namespace

UniqueIcon CreatePictureIcon(std::string_view picture) {
    const std::optional<Raster> raster = Rasterize(picture, std::nullopt, 1);
    if (!raster) {
        return {};
    }
    const UniqueBitmap color = ColorBitmap(*raster);
    const UniqueBitmap mask = MaskBitmap(*raster);
    if (!color || !mask) {
        return {};
    }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask.get();
    info.hbmColor = color.get();
    return UniqueIcon(CreateIconIndirect(&info));
}

UniqueImageList CreateButtonImageList(std::string_view picture, ColorValue mask_color, int scale) {
    const std::optional<Raster> raster = Rasterize(picture, mask_color, scale);
    if (!raster) {
        return {};
    }
    const UniqueBitmap color = ColorBitmap(*raster);
    const UniqueBitmap mask = MaskBitmap(*raster);
    UniqueImageList list(ImageList_Create(raster->width, raster->height, ILC_COLOR32 | ILC_MASK, 1, 0));
    if (!list || !color || !mask || ImageList_Add(list.get(), color.get(), mask.get()) < 0) {
        return {};
    }
    return list;
}

}  // namespace hovermark::windows
