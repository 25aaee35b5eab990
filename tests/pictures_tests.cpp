// The pictures are hand-drawn data: these checks catch a mistyped row or symbol, and drawings that no
// longer show what the buttons and the window rely on.
#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "main_window/pictures.h"

namespace hovermark {
namespace {

constexpr ColorValue kWhite = Rgb(255, 255, 255);
constexpr ColorValue kLightGreyMask = Rgb(192, 192, 192);
constexpr ColorValue kCyanMask = Rgb(0, 255, 255);
constexpr ColorValue kRed = Rgb(255, 0, 0);

constexpr std::array<std::string_view, 13> kAllNames{
    pictures::kAppIcon16, pictures::kAppIcon32, pictures::kCopy,     pictures::kHelp,    pictures::kLocator,
    pictures::kPlay,      pictures::kPause,     pictures::kFrameOff, pictures::kFrameOn, pictures::kPinSide,
    pictures::kPinTop,    pictures::kInsideOff, pictures::kInsideOn,
};

struct Decoded {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Pixel> pixels;

    const Pixel& At(std::int32_t x, std::int32_t y) const {
        return pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
    }
    ColorValue ColorAt(std::int32_t x, std::int32_t y) const { return At(x, y).color; }
};

// Fails the calling test (and returns an empty picture) when the picture is missing or does not decode.
Decoded Decode(std::string_view name) {
    const PixelArt* art = FindPicture(name);
    if (art == nullptr) {
        ADD_FAILURE() << "no picture " << name;
        return {};
    }
    std::optional<std::vector<Pixel>> pixels = DecodePixels(*art);
    if (!pixels) {
        ADD_FAILURE() << name << " does not decode";
        return {};
    }
    return {art->Width(), art->Height(), std::move(*pixels)};
}

// The smallest rectangle holding every pixel of a colour: left, top, width, height.
struct Box {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
};
Box BoundsOf(const Decoded& picture, ColorValue color) {
    std::int32_t left = picture.width, top = picture.height, right = -1, bottom = -1;
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            if (picture.ColorAt(x, y) == color) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

TEST(PicturesCatalogue, EveryNamedPictureIsFoundUnderItsName) {
    for (std::string_view name : kAllNames) {
        const PixelArt* art = FindPicture(name);
        ASSERT_NE(art, nullptr) << name;
        EXPECT_EQ(art->name, name);
    }
    EXPECT_EQ(AllPictures().size(), kAllNames.size());
    EXPECT_EQ(FindPicture("no_such_picture"), nullptr);
    EXPECT_EQ(FindPicture(""), nullptr);
}

TEST(PicturesCatalogue, EveryPictureDecodesAtItsSize) {
    struct Size {
        std::string_view name;
        std::int32_t width, height;
    };
    constexpr std::array<Size, 13> kSizes{{
        {pictures::kAppIcon16, 16, 16},
        {pictures::kAppIcon32, 32, 32},
        {pictures::kCopy, 13, 11},
        {pictures::kHelp, 10, 10},
        {pictures::kLocator, 13, 11},
        {pictures::kPlay, 11, 11},
        {pictures::kPause, 11, 11},
        {pictures::kFrameOff, 20, 11},
        {pictures::kFrameOn, 20, 11},
        {pictures::kPinSide, 20, 11},
        {pictures::kPinTop, 20, 11},
        {pictures::kInsideOff, 20, 11},
        {pictures::kInsideOn, 20, 11},
    }};
    for (const Size& size : kSizes) {
        SCOPED_TRACE(std::string(size.name));
        const Decoded picture = Decode(size.name);
        EXPECT_EQ(picture.width, size.width);
        EXPECT_EQ(picture.height, size.height);
        EXPECT_EQ(picture.pixels.size(), static_cast<std::size_t>(size.width * size.height));
    }
}

constexpr std::array<PaletteEntry, 3> kTestPalette{{
    {'.', 0, true},
    {'r', Rgb(255, 0, 0)},
    {'b', Rgb(0, 0, 255)},
}};

TEST(DecodePixels, ReadsRowsTopToBottomAndLeftToRight) {
    constexpr std::array<std::string_view, 2> kRows{"r.b", "bbr"};
    const PixelArt art{"test", kTestPalette, kRows};
    const std::optional<std::vector<Pixel>> pixels = DecodePixels(art);
    ASSERT_TRUE(pixels.has_value());
    const Pixel red{Rgb(255, 0, 0), false};
    const Pixel blue{Rgb(0, 0, 255), false};
    const Pixel clear{0, true};
    EXPECT_EQ(*pixels, (std::vector<Pixel>{red, clear, blue, blue, blue, red}));
}

TEST(DecodePixels, RejectsARowOfAnotherLength) {
    constexpr std::array<std::string_view, 3> kLonger{"rb", "rbr", "rb"};
    constexpr std::array<std::string_view, 2> kShorter{"rbr", "rb"};
    EXPECT_FALSE(DecodePixels({"longer", kTestPalette, kLonger}).has_value());
    EXPECT_FALSE(DecodePixels({"shorter", kTestPalette, kShorter}).has_value());
}

TEST(DecodePixels, RejectsASymbolMissingFromThePalette) {
    constexpr std::array<std::string_view, 2> kRows{"rb", "rx"};
    EXPECT_FALSE(DecodePixels({"unknown", kTestPalette, kRows}).has_value());
}

TEST(ButtonPictures, CornersShowTheButtonsMaskColourAndNothingIsFlaggedTransparent) {
    struct Masked {
        std::string_view name;
        ColorValue mask;
    };
    constexpr std::array<Masked, 10> kButtons{{
        {pictures::kCopy, kCyanMask},
        {pictures::kHelp, kLightGreyMask},
        {pictures::kPlay, kWhite},
        {pictures::kPause, kWhite},
        {pictures::kFrameOff, kLightGreyMask},
        {pictures::kFrameOn, kLightGreyMask},
        {pictures::kPinSide, kWhite},
        {pictures::kPinTop, kWhite},
        {pictures::kInsideOff, kLightGreyMask},
        {pictures::kInsideOn, kLightGreyMask},
    }};
    for (const Masked& button : kButtons) {
        SCOPED_TRACE(std::string(button.name));
        const Decoded picture = Decode(button.name);
        ASSERT_FALSE(picture.pixels.empty());
        const std::int32_t right = picture.width - 1;
        const std::int32_t bottom = picture.height - 1;
        EXPECT_EQ(picture.ColorAt(right, 0), button.mask);
        EXPECT_EQ(picture.ColorAt(0, bottom), button.mask);
        // The two copy sheets fill the other two corners.
        if (button.name != pictures::kCopy) {
            EXPECT_EQ(picture.ColorAt(0, 0), button.mask);
            EXPECT_EQ(picture.ColorAt(right, bottom), button.mask);
        }
        // Buttons only know the mask colour; a transparent flag would be ignored.
        EXPECT_TRUE(std::ranges::none_of(picture.pixels, &Pixel::transparent));
    }
}

TEST(ButtonPictures, CopyBackgroundIsExactlyTheMaskOutsideBothSheets) {
    const Decoded copy = Decode(pictures::kCopy);
    ASSERT_FALSE(copy.pixels.empty());
    // The back sheet takes the upper left 8 x 8 pixels, the front sheet the lower right 8 x 8.
    const auto on_a_sheet = [](std::int32_t x, std::int32_t y) { return (x < 8 && y < 8) || (x >= 5 && y >= 3); };
    for (std::int32_t y = 0; y < copy.height; ++y) {
        for (std::int32_t x = 0; x < copy.width; ++x) {
            EXPECT_EQ(copy.ColorAt(x, y) == kCyanMask, !on_a_sheet(x, y)) << "at " << x << ',' << y;
        }
    }
}

TEST(ButtonPictures, HelpUsesAtMostThreeColoursIncludingTheYellowMark) {
    const Decoded help = Decode(pictures::kHelp);
    std::set<ColorValue> colours;
    for (const Pixel& pixel : help.pixels) {
        colours.insert(pixel.color);
    }
    EXPECT_LE(colours.size(), 3U);
    EXPECT_TRUE(colours.contains(Rgb(255, 217, 1)));
    EXPECT_TRUE(colours.contains(Rgb(0, 0, 0)));
}

TEST(ButtonPictures, PlayIsASolidRightPointingTriangle) {
    const Decoded play = Decode(pictures::kPlay);
    constexpr ColorValue kDarkGreen = Rgb(0, 128, 0);
    const Box box = BoundsOf(play, kDarkGreen);
    EXPECT_EQ(box.width, 6);
    EXPECT_EQ(box.height, 11);
    // Each row is one run from the flat left edge, growing to the middle row and shrinking after it.
    for (std::int32_t y = 0; y < box.height; ++y) {
        const std::int32_t expected = std::min(y, box.height - 1 - y) + 1;
        for (std::int32_t x = 0; x < play.width; ++x) {
            const bool inside = x >= box.left && x < box.left + expected;
            EXPECT_EQ(play.ColorAt(x, box.top + y), inside ? kDarkGreen : kWhite) << "at " << x << ',' << y;
        }
    }
}

TEST(ButtonPictures, PauseIsTwoBarsThreePixelsApart) {
    const Decoded pause = Decode(pictures::kPause);
    constexpr ColorValue kDarkBlue = Rgb(0, 0, 128);
    const Box box = BoundsOf(pause, kDarkBlue);
    ASSERT_EQ(box.width, 2 + 3 + 2);
    EXPECT_EQ(box.height, 9);
    for (std::int32_t y = 0; y < pause.height; ++y) {
        for (std::int32_t x = 0; x < pause.width; ++x) {
            const std::int32_t column = x - box.left;
            const bool in_rows = y >= box.top && y < box.top + box.height;
            const bool in_bar = column == 0 || column == 1 || column == 5 || column == 6;
            EXPECT_EQ(pause.ColorAt(x, y), in_rows && in_bar ? kDarkBlue : kWhite) << "at " << x << ',' << y;
        }
    }
}

// The frame switch and the look-inside switch tell their state the same way: checked, the thing they act on
// wears a one-pixel red outline, and nothing else changes.
TEST(ButtonPictures, CheckedPicturesAddOnlyAOnePixelRedOutline) {
    for (const auto& [off_name, on_name] :
         {std::pair{pictures::kFrameOff, pictures::kFrameOn}, std::pair{pictures::kInsideOff, pictures::kInsideOn}}) {
        SCOPED_TRACE(std::string(on_name));
        const Decoded off = Decode(off_name);
        const Decoded on = Decode(on_name);
        ASSERT_EQ(off.pixels.size(), on.pixels.size());
        ASSERT_FALSE(on.pixels.empty());
        EXPECT_EQ(BoundsOf(off, kRed).width, 0);

        const Box outline = BoundsOf(on, kRed);
        ASSERT_GE(outline.width, 3);
        ASSERT_GE(outline.height, 3);
        for (std::int32_t y = 0; y < on.height; ++y) {
            for (std::int32_t x = 0; x < on.width; ++x) {
                const bool inside = x >= outline.left && x < outline.left + outline.width && y >= outline.top &&
                                    y < outline.top + outline.height;
                const bool on_border = inside && (x == outline.left || x == outline.left + outline.width - 1 ||
                                                  y == outline.top || y == outline.top + outline.height - 1);
                EXPECT_EQ(on.ColorAt(x, y), on_border ? kRed : off.ColorAt(x, y)) << "at " << x << ',' << y;
            }
        }
        // What the outline surrounds is drawn, not left to the button face.
        const std::int32_t centre_x = outline.left + outline.width / 2;
        const std::int32_t centre_y = outline.top + outline.height / 2;
        EXPECT_NE(off.ColorAt(centre_x, centre_y), kLightGreyMask);
        EXPECT_NE(off.ColorAt(centre_x, centre_y), kWhite);
    }
}

// Everything of the pin that is not the white mask.
Box PinBounds(const Decoded& pin) {
    std::int32_t left = pin.width, top = pin.height, right = -1, bottom = -1;
    for (std::int32_t y = 0; y < pin.height; ++y) {
        for (std::int32_t x = 0; x < pin.width; ++x) {
            if (pin.ColorAt(x, y) != kWhite) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? Box{} : Box{left, top, right - left + 1, bottom - top + 1};
}

TEST(ButtonPictures, PinLiesWithItsPointLeftAndShowsARoundHeadFromAbove) {
    const Decoded side = Decode(pictures::kPinSide);
    const Box side_box = PinBounds(side);
    ASSERT_GT(side_box.width, 0);
    EXPECT_GT(side_box.width, side_box.height);
    std::int32_t point_pixels = 0;
    for (std::int32_t y = 0; y < side.height; ++y) {
        point_pixels += side.ColorAt(side_box.left, y) != kWhite ? 1 : 0;
    }
    EXPECT_EQ(point_pixels, 1) << "the point is a single pixel";
    EXPECT_NE(side.ColorAt(side_box.left, side.height / 2), kWhite) << "the point is at mid height";

    const Decoded top = Decode(pictures::kPinTop);
    const Box top_box = PinBounds(top);
    EXPECT_EQ(top_box.width, top_box.height);
    EXPECT_EQ(top.ColorAt(top_box.left, top_box.top), kWhite) << "a round head leaves its corners to the mask";
    EXPECT_EQ(top.ColorAt(top_box.left + top_box.width - 1, top_box.top + top_box.height - 1), kWhite);
}

TEST(AppIcons, AreOpaqueDrawingsOnATransparentSurround) {
    for (std::string_view name : {pictures::kAppIcon16, pictures::kAppIcon32}) {
        SCOPED_TRACE(std::string(name));
        const Decoded icon = Decode(name);
        ASSERT_FALSE(icon.pixels.empty());
        // Top right is beside the window, bottom left beneath it and clear of the handle.
        EXPECT_TRUE(icon.At(icon.width - 1, 0).transparent);
        EXPECT_TRUE(icon.At(0, icon.height - 1).transparent);
        const auto opaque = std::ranges::count_if(icon.pixels, [](const Pixel& pixel) { return !pixel.transparent; });
        EXPECT_GT(opaque, static_cast<std::ptrdiff_t>(icon.pixels.size() / 2));
        // The magnifier's rim.
        EXPECT_TRUE(std::ranges::any_of(
            icon.pixels, [](const Pixel& pixel) { return !pixel.transparent && pixel.color == Rgb(128, 0, 0); }));
    }
}

}  // namespace
}  // namespace hovermark
