// Pixel art to ARGB images, enlarged by whole pixels where the screen's scale asks for it.
#include "platform/qt/picture_images.h"

#include <QPixmap>

namespace hovermark::qt {

QImage ImageFromPixelArt(const PixelArt& art, std::optional<ColorValue> mask_color) {
    const std::optional<std::vector<Pixel>> pixels = DecodePixels(art);
    if (!pixels || art.Width() == 0 || art.Height() == 0) {
        return {};
    }
    QImage image(art.Width(), art.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < art.Height(); ++y) {
        for (int x = 0; x < art.Width(); ++x) {
            const Pixel& pixel = (*pixels)[static_cast<std::size_t>(y) * static_cast<std::size_t>(art.Width()) +
                                           static_cast<std::size_t>(x)];
            const bool transparent = pixel.transparent || (mask_color && pixel.color == *mask_color);
            const RgbParts rgb = UnpackRgb(pixel.color);
            image.setPixel(x, y, transparent ? qRgba(0, 0, 0, 0) : qRgb(rgb.red, rgb.green, rgb.blue));
        }
    }
    return image;
}

QImage PictureImage(std::string_view picture, std::optional<ColorValue> mask_color, int scale) {
    const PixelArt* art = FindPicture(picture);
    if (art == nullptr) {
        return {};
    }
    QImage image = ImageFromPixelArt(*art, mask_color);
    if (image.isNull() || scale <= 1) {
        return image;
    }
    // Whole pixels, no smoothing: the art stays crisp at any scale.
    return image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QIcon WindowIcon(std::string_view big_picture, std::string_view small_picture) {
    QIcon icon;
    for (const std::string_view picture : {big_picture, small_picture}) {
        const QImage image = PictureImage(picture, std::nullopt, 1);
        if (!image.isNull()) {
            icon.addPixmap(QPixmap::fromImage(image));
        }
    }
    return icon;
}

}  // namespace hovermark::qt
