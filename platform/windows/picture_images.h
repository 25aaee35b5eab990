// The program's pixel art as Windows images: the window icons, and the button pictures as image lists in
// which the button's mask colour lets the button face show through, whatever the face looks like under the
// current theme.
#pragma once

#include <windows.h>

#include <string_view>

#include "main_window/toolkit/control_values.h"
#include "platform/windows/unique_handles.h"

namespace hovermark::windows {

// The named picture's transparent pixels are the icon's. An empty handle when there is no such picture.
UniqueIcon CreatePictureIcon(std::string_view picture);

// One image: the picture with each pixel drawn `scale` pixels square, and pixels of `mask_color` transparent.
// An empty handle when there is no such picture.
UniqueImageList CreateButtonImageList(std::string_view picture, ColorValue mask_color, int scale);

}  // namespace hovermark::windows
