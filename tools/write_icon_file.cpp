// Writes the program's icon, drawn as pixel art in the core, as a Windows .ico file (16 × 16 and 32 × 32,
// 32-bit colour with a transparency mask), so that the executable's icon resource is made from the same
// readable source as the window's icon and never kept as an opaque binary.
//
//   hovermark_write_icon_file OUT.ico
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "main_window/pictures.h"

namespace {

constexpr std::uint16_t kIconResourceType = 1;
constexpr std::uint32_t kDirectorySize = 6;
constexpr std::uint32_t kDirectoryEntrySize = 16;
constexpr std::uint32_t kBitmapHeaderSize = 40;
constexpr std::uint16_t kBitsPerPixel = 32;

class ByteWriter {
  public:
    void U8(std::uint8_t value) { bytes_.push_back(value); }
    void U16(std::uint16_t value) {
        U8(static_cast<std::uint8_t>(value & 0xFFU));
        U8(static_cast<std::uint8_t>(value >> 8U));
    }
    void U32(std::uint32_t value) {
        U16(static_cast<std::uint16_t>(value & 0xFFFFU));
        U16(static_cast<std::uint16_t>(value >> 16U));
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// One icon image: a bitmap header of twice the height (colour plus mask), the colour rows bottom-up as
// BGRA, then the 1-bit mask rows bottom-up, each padded to 32 bits; a set mask bit is transparent.
std::vector<std::uint8_t> IconImage(const hovermark::PixelArt& art, const std::vector<hovermark::Pixel>& pixels) {
    const auto width = static_cast<std::uint32_t>(art.Width());
    const auto height = static_cast<std::uint32_t>(art.Height());
    const std::uint32_t mask_stride = ((width + 31U) / 32U) * 4U;
    ByteWriter out;
    out.U32(kBitmapHeaderSize);
    out.U32(width);
    out.U32(height * 2U);
    out.U16(1);
    out.U16(kBitsPerPixel);
    out.U32(0);
    out.U32(width * height * 4U + mask_stride * height);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    for (std::uint32_t y = height; y-- > 0;) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const hovermark::Pixel& pixel = pixels[y * width + x];
            const hovermark::RgbParts rgb = hovermark::UnpackRgb(pixel.color);
            out.U8(rgb.blue);
            out.U8(rgb.green);
            out.U8(rgb.red);
            out.U8(pixel.transparent ? 0 : 0xFF);
        }
    }
    for (std::uint32_t y = height; y-- > 0;) {
        std::vector<std::uint8_t> row(mask_stride, 0);
        for (std::uint32_t x = 0; x < width; ++x) {
            if (pixels[y * width + x].transparent) {
                row[x / 8U] = static_cast<std::uint8_t>(row[x / 8U] | (0x80U >> (x % 8U)));
            }
        }
        for (const std::uint8_t byte : row) {
            out.U8(byte);
        }
    }
    return out.Bytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.ico\n", argv[0]);
        return 2;
    }
    const std::string_view names[] = {hovermark::pictures::kAppIcon16, hovermark::pictures::kAppIcon32};
    std::vector<const hovermark::PixelArt*> arts;
    std::vector<std::vector<std::uint8_t>> images;
    for (const std::string_view name : names) {
        const hovermark::PixelArt* art = hovermark::FindPicture(name);
        const std::optional<std::vector<hovermark::Pixel>> pixels =
            art != nullptr ? hovermark::DecodePixels(*art) : std::nullopt;
        if (!pixels) {
            std::fprintf(stderr, "%.*s: missing or does not decode\n", static_cast<int>(name.size()), name.data());
            return 1;
        }
        arts.push_back(art);
        images.push_back(IconImage(*art, *pixels));
    }

    ByteWriter directory;
    directory.U16(0);
    directory.U16(kIconResourceType);
    directory.U16(static_cast<std::uint16_t>(images.size()));
    auto offset = static_cast<std::uint32_t>(kDirectorySize + kDirectoryEntrySize * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        directory.U8(static_cast<std::uint8_t>(arts[i]->Width()));
        directory.U8(static_cast<std::uint8_t>(arts[i]->Height()));
        directory.U8(0);  // a true-colour image has no palette
        directory.U8(0);
        directory.U16(1);
        directory.U16(kBitsPerPixel);
        directory.U32(static_cast<std::uint32_t>(images[i].size()));
        directory.U32(offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }

    std::ofstream file(argv[1], std::ios::binary);
    const auto write = [&file](const std::vector<std::uint8_t>& bytes) {
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    write(directory.Bytes());
    for (const std::vector<std::uint8_t>& image : images) {
        write(image);
    }
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write\n", argv[1]);
        return 1;
    }
    return 0;
}
