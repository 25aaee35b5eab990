// Design font descriptions turned into LOGFONTs.
#include "platform/windows/design_fonts.h"

#include <string>

#include "platform/windows/text_conversion.h"

namespace hovermark::windows {

UniqueFont CreateDesignFont(const FontDesign& font, int height, FontEmphasis emphasis) {
    LOGFONTW description{};
    description.lfHeight = height;
    description.lfWeight = font.bold || emphasis == FontEmphasis::Bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_DEFAULT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    description.lfQuality = DEFAULT_QUALITY;
    description.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = Utf8ToWide(font.name);
    face.copy(description.lfFaceName, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&description));
}

}  // namespace hovermark::windows
