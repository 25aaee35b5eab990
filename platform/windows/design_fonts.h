// GDI fonts made from the design's font descriptions, at a pixel height the form's layout has worked out.
#pragma once

#include <windows.h>

#include "main_window/toolkit/form_design.h"
#include "platform/windows/unique_handles.h"

namespace hovermark::windows {

enum class FontEmphasis { AsDesigned, Bold };

// `height` as LOGFONT's lfHeight (see ControlGeometry::font_height).
UniqueFont CreateDesignFont(const FontDesign& font, int height, FontEmphasis emphasis = FontEmphasis::AsDesigned);

}  // namespace hovermark::windows
