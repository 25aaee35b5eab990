// The pictures themselves. Each one is drawn in its rows below so that it can be read and edited in place;
// the button pictures keep their mask colour wherever the button face should show through.
#include "main_window/pictures.h"

#include <algorithm>
#include <array>

namespace hovermark {
namespace {

constexpr ColorValue kBlack = Rgb(0, 0, 0);
constexpr ColorValue kWhite = Rgb(255, 255, 255);
constexpr ColorValue kLightGrey = Rgb(192, 192, 192);
constexpr ColorValue kCyan = Rgb(0, 255, 255);

// Hand-laid so that every picture stays one pixel row per source line.
// clang-format off

// Copy: two sheets of paper, the copy in front.
constexpr std::array<PaletteEntry, 5> kCopyPalette{{
    {'.', kCyan},
    {'K', kBlack},
    {'W', kWhite},
    {'g', Rgb(128, 128, 128)},
    {'P', Rgb(128, 0, 128)},
}};
constexpr std::array<std::string_view, 11> kCopyRows{
    "KKKKKKKK.....",
    "KWWWWWWK.....",
    "KWggggWK.....",
    "KWWWWPPPPPPPP",
    "KWgggPWWWWWWP",
    "KWWWWPWPPPPWP",
    "KWgggPWWWWWWP",
    "KKKKKPWPPPPWP",
    ".....PWWWWWWP",
    ".....PWPPPPWP",
    ".....PPPPPPPP",
};

// Locator: cross hairs on a target, a copy's cyan where the face shows through.
constexpr std::array<PaletteEntry, 4> kLocatorPalette{{
    {'.', kCyan},
    {'K', kBlack},
    {'R', Rgb(192, 0, 0)},
    {'W', kWhite},
}};
constexpr std::array<std::string_view, 11> kLocatorRows{
    "......K......",
    "....RRKRR....",
    "..RR..K..RR..",
    ".R....K....R.",
    ".R...RRR...R.",
    "KKKKKRWRKKKKK",
    ".R...RRR...R.",
    ".R....K....R.",
    "..RR..K..RR..",
    "....RRKRR....",
    "......K......",
};

constexpr std::array<PaletteEntry, 3> kHelpPalette{{
    {'.', kLightGrey},
    {'K', kBlack},
    {'Y', Rgb(255, 217, 1)},
}};
constexpr std::array<std::string_view, 10> kHelpRows{
    "..KKKKKK..",
    ".KYYYYYYK.",
    "KYYKKKKYYK",
    "KKK...KYYK",
    "....KKYYK.",
    "...KYYKK..",
    "...KYYK...",
    "...KKKK...",
    "...KYYK...",
    "...KKKK...",
};

constexpr std::array<PaletteEntry, 2> kPlayPalette{{
    {'.', kWhite},
    {'G', Rgb(0, 128, 0)},
}};
constexpr std::array<std::string_view, 11> kPlayRows{
    "...G.......",
    "...GG......",
    "...GGG.....",
    "...GGGG....",
    "...GGGGG...",
    "...GGGGGG..",
    "...GGGGG...",
    "...GGGG....",
    "...GGG.....",
    "...GG......",
    "...G.......",
};

constexpr std::array<PaletteEntry, 2> kPausePalette{{
    {'.', kWhite},
    {'B', Rgb(0, 0, 128)},
}};
constexpr std::array<std::string_view, 11> kPauseRows{
    "...........",
    "..BB...BB..",
    "..BB...BB..",
    "..BB...BB..",
    "..BB...BB..",
    "..BB...BB..",
    "..BB...BB..",
    "..BB...BB..",
    "..BB...BB..",
    "..BB...BB..",
    "...........",
};

// The window body must not be the mask colour, or the button face would show through it.
constexpr std::array<PaletteEntry, 5> kFramePalette{{
    {'.', kLightGrey},
    {'W', kWhite},
    {'L', Rgb(212, 208, 200)},
    {'S', Rgb(128, 128, 128)},
    {'R', Rgb(255, 0, 0)},
}};
constexpr std::array<std::string_view, 11> kFrameOffRows{
    ".WWWWWWWWWWWWWWWWWW.",
    "WWWWWWWWWWWWWWWWWWWW",
    "WWWWLLLLLLLLLLLWWWWW",
    "WWWWLLLLLLLLLLLSWWWW",
    "WWWWLLLLLLLLLLLSWWWW",
    "WWWWLLLLLLLLLLLSWWWW",
    "WWWWLLLLLLLLLLLSWWWW",
    "WWWWLLLLLLLLLLLSWWWW",
    "WWWWWSSSSSSSSSSSWWWW",
    "WWWWWWWWWWWWWWWWWWWW",
    ".WWWWWWWWWWWWWWWWWW.",
};
constexpr std::array<std::string_view, 11> kFrameOnRows{
    ".WWWWWWWWWWWWWWWWWW.",
    "WWWRRRRRRRRRRRRRRWWW",
    "WWWRLLLLLLLLLLLWRWWW",
    "WWWRLLLLLLLLLLLSRWWW",
    "WWWRLLLLLLLLLLLSRWWW",
    "WWWRLLLLLLLLLLLSRWWW",
    "WWWRLLLLLLLLLLLSRWWW",
    "WWWRLLLLLLLLLLLSRWWW",
    "WWWRWSSSSSSSSSSSRWWW",
    "WWWRRRRRRRRRRRRRRWWW",
    ".WWWWWWWWWWWWWWWWWW.",
};

// A window of another program with a button inside it; switched on, the button inside wears the frame.
constexpr std::array<PaletteEntry, 7> kInsidePalette{{
    {'.', kLightGrey},
    {'K', Rgb(64, 64, 64)},
    {'B', Rgb(0, 0, 168)},
    {'W', kWhite},
    {'S', Rgb(128, 128, 128)},
    {'L', Rgb(212, 208, 200)},
    {'R', Rgb(255, 0, 0)},
}};
constexpr std::array<std::string_view, 11> kInsideOffRows{
    ".KKKKKKKKKKKKKKKKKK.",
    ".KBBBBBBBBBBBBBBBBK.",
    ".KWWWWWWWWWWWWWWWWK.",
    ".KWSSSSSSWWWWWWWWWK.",
    ".KWWWWWWWWWWWWWWWWK.",
    ".KWSSSSWWWWWWWWWWWK.",
    ".KWWWWWWWWLLLLLSWWK.",
    ".KWWWWWWWWLLLLLSWWK.",
    ".KWWWWWWWWSSSSSSWWK.",
    ".KWWWWWWWWWWWWWWWWK.",
    ".KKKKKKKKKKKKKKKKKK.",
};
constexpr std::array<std::string_view, 11> kInsideOnRows{
    ".KKKKKKKKKKKKKKKKKK.",
    ".KBBBBBBBBBBBBBBBBK.",
    ".KWWWWWWWWWWWWWWWWK.",
    ".KWSSSSSSWWWWWWWWWK.",
    ".KWWWWWWWWWWWWWWWWK.",
    ".KWSSSSWWRRRRRRRRWK.",
    ".KWWWWWWWRLLLLLSRWK.",
    ".KWWWWWWWRLLLLLSRWK.",
    ".KWWWWWWWRSSSSSSRWK.",
    ".KWWWWWWWRRRRRRRRWK.",
    ".KKKKKKKKKKKKKKKKKK.",
};

// Both push-pin pictures share one palette so that the head has the same green in either state.
constexpr std::array<PaletteEntry, 6> kPinPalette{{
    {'.', kWhite},
    {'K', Rgb(0, 64, 0)},
    {'L', Rgb(128, 224, 128)},
    {'G', Rgb(0, 176, 0)},
    {'D', Rgb(0, 112, 0)},
    {'N', Rgb(96, 96, 96)},
}};
constexpr std::array<std::string_view, 11> kPinSideRows{
    "..............KKKK..",
    ".......KK....KLLLLK.",
    ".......KLK...KLLLLK.",
    ".......KLKKKKKGGGGK.",
    ".......KGLLLLLGGGGK.",
    "NNNNNNNKGGGGGGGGGGK.",
    ".......KGDDDDDGGGGK.",
    ".......KDKKKKKDDDDK.",
    ".......KDK...KDDDDK.",
    ".......KK....KDDDDK.",
    "..............KKKK..",
};
constexpr std::array<std::string_view, 11> kPinTopRows{
    ".......KKKKK........",
    ".....KKGGGGGKK......",
    ".....KGLLGGGGK......",
    "....KGLLLGGGGGK.....",
    "....KGLLGGGGGDK.....",
    "....KGGGGGGGGDK.....",
    "....KGGGGGGGDDK.....",
    "....KGGGGGGDDDK.....",
    ".....KGGGDDDDK......",
    ".....KKDDDDDKK......",
    ".......KKKKK........",
};

constexpr std::array<PaletteEntry, 10> kIconPalette{{
    {'.', 0, true},
    {'K', Rgb(64, 64, 64)},
    {'B', Rgb(0, 0, 168)},
    {'S', kLightGrey},
    {'W', kWhite},
    {'R', Rgb(128, 0, 0)},
    {'H', Rgb(96, 0, 0)},
    {'h', Rgb(176, 40, 40)},
    {'d', Rgb(48, 0, 0)},
    {'s', Rgb(160, 200, 232)},
}};
constexpr std::array<std::string_view, 16> kAppIcon16Rows{
    "KKKKKKKKKKKKKK..",
    "KBBBBBBBBBBBBK..",
    "KBBBBBBBBBBBBK..",
    "KSSSSSSSSSSSSK..",
    "KSSSSSRRRRRSSK..",
    "KSWWWRRWWWRRSK..",
    "KSSSRRsssssRRK..",
    "KSWWRWWWWWssRK..",
    "KSSSRsssssssRK..",
    "KSWWRWWWWWWsRK..",
    "KSSSRRsssssRRK..",
    "KSSSSRRsssRRhK..",
    "KKKKKKRRRRRHHh..",
    "............HHh.",
    ".............HHh",
    "..............HH",
};
constexpr std::array<std::string_view, 32> kAppIcon32Rows{
    "................................",
    "KKKKKKKKKKKKKKKKKKKKKKKKKKKK....",
    "KBBBBBBBBBBBBBBBBBBBBBBBBBBK....",
    "KBBBBBBBBBBBBBBBBBBBBBBBBBBK....",
    "KBBBBBBBBBBBBBBBBBBBBBBBBBBK....",
    "KBBBBBBBBBBBBBBBBBBBBBBBBBBK....",
    "KSSSSSSSSSSSSSSSSSSSSSSSSSSK....",
    "KSSSSSSSSSSSSSSSSSSSSSSSSSSK....",
    "KSSSSSSSSSSSSRRRRRRRSSSSSSSK....",
    "KSSWWWWWWWWRRRRRRRRRRRWWSSSK....",
    "KSSSSSSSSSRRRRsssssRRRRSSSSK....",
    "KSSSSSSSSRRRWWsssssssRRRSSSK....",
    "KSSWWWWWWRRWWsssssssssRRSSSK....",
    "KSSSSSSSRRRWssssssssssRRRSSK....",
    "KSSSSSSSRRWWWWWWWWWWWWWRRSSK....",
    "KSSWWWWWRRWWWWWWWWWWWWWRRSSK....",
    "KSSSSSSSRRsssssssssssssRRSSK....",
    "KSSSSSSSRRsssssssssssssRRSSK....",
    "KSSWWWWWRRsssssssssssssRRSSK....",
    "KSSSSSSSRRRWWWWWWWWsssRRRSSK....",
    "KSSSSSSSSRRWWWWWWWWsssRRSSSK....",
    "KSSWWWWWWRRRsssssssssRRRhSSK....",
    "KSSSSSSSSSRRRRsssssRRRRHHhSK....",
    "KSSSSSSSSSSRRRRRRRRRRRHHHHhK....",
    "KSSSSSSSSSSSSRRRRRRRSdHHHHHh....",
    "KKKKKKKKKKKKKKKKKKKKKKdHHHHHh...",
    ".......................dHHHHHh..",
    "........................dHHHHHh.",
    ".........................dHHHHHh",
    "..........................dHHHHh",
    "...........................ddHh.",
    "................................",
};

// clang-format on

constexpr std::array<PixelArt, 13> kPictures{{
    {pictures::kAppIcon16, kIconPalette, kAppIcon16Rows},
    {pictures::kAppIcon32, kIconPalette, kAppIcon32Rows},
    {pictures::kCopy, kCopyPalette, kCopyRows},
    {pictures::kHelp, kHelpPalette, kHelpRows},
    {pictures::kLocator, kLocatorPalette, kLocatorRows},
    {pictures::kPlay, kPlayPalette, kPlayRows},
    {pictures::kPause, kPausePalette, kPauseRows},
    {pictures::kFrameOff, kFramePalette, kFrameOffRows},
    {pictures::kFrameOn, kFramePalette, kFrameOnRows},
    {pictures::kPinSide, kPinPalette, kPinSideRows},
    {pictures::kPinTop, kPinPalette, kPinTopRows},
    {pictures::kInsideOff, kInsidePalette, kInsideOffRows},
    {pictures::kInsideOn, kInsidePalette, kInsideOnRows},
}};

}  // namespace

std::span<const PixelArt> AllPictures() {
    return kPictures;
}

const PixelArt* FindPicture(std::string_view name) {
    const auto found = std::ranges::find(kPictures, name, &PixelArt::name);
    return found == kPictures.end() ? nullptr : &*found;
}

std::optional<std::vector<Pixel>> DecodePixels(const PixelArt& art) {
    const std::size_t width = art.rows.empty() ? 0 : art.rows.front().size();
    std::vector<Pixel> pixels;
    pixels.reserve(width * art.rows.size());
    for (std::string_view row : art.rows) {
        if (row.size() != width) {
            return std::nullopt;
        }
        for (char symbol : row) {
            const auto entry = std::ranges::find(art.palette, symbol, &PaletteEntry::symbol);
            if (entry == art.palette.end()) {
                return std::nullopt;
            }
            pixels.push_back({entry->color, entry->transparent});
        }
    }
    return pixels;
}

}  // namespace hovermark
