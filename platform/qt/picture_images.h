// The program's pixel art as Qt images, for the window icons and the button pictures here, and for the
// packaging step, which writes the desktop icons from the same art.
#pragma once

#include <QIcon>
#include <QImage>
#include <optional>
#include <string_view>

#include "main_window/pictures.h"

namespace hovermark::qt {

// ARGB32: opaque pixels in their colour; transparent where the art says so or the pixel has `mask_color`.
// A null image when the art does not decode.
QImage ImageFromPixelArt(const PixelArt& art, std::optional<ColorValue> mask_color = std::nullopt);

// The named picture with each pixel drawn `scale` pixels square; a null image when there is no such picture.
QImage PictureImage(std::string_view picture, std::optional<ColorValue> mask_color, int scale);

// A window icon from the named pictures (the sizes a window manager picks from); empty when there are none.
QIcon WindowIcon(std::string_view big_picture, std::string_view small_picture);

}  // namespace hovermark::qt
