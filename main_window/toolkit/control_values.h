// Value types the toolkit's controls and forms exchange with the logic, with the widths the logic relies on.
#pragma once

#include <cstdint>

namespace hovermark {

// A 16-bit Boolean: True is -1 and False is 0; any non-zero value reads as true only where a test says so.
using Boolean = std::int16_t;
inline constexpr Boolean kTrue = -1;
inline constexpr Boolean kFalse = 0;

// A check box's Value. The logic acts only on kChecked and treats every other value as unchecked.
inline constexpr std::int16_t kUnchecked = 0;
inline constexpr std::int16_t kChecked = 1;
inline constexpr std::int16_t kGrayed = 2;

// 0x00BBGGRR; a value with the high bit set names a system colour by the index in its low bits.
using ColorValue = std::uint32_t;
inline constexpr ColorValue kSystemColorFlag = 0x80000000U;
inline constexpr ColorValue SystemColor(std::uint32_t index) {
    return kSystemColorFlag | index;
}
inline constexpr ColorValue Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return red | (green << 8U) | (blue << 16U);
}
inline constexpr bool IsSystemColor(ColorValue color) {
    return (color & kSystemColorFlag) != 0;
}
inline constexpr std::uint32_t SystemColorIndex(ColorValue color) {
    return color & ~kSystemColorFlag;
}

// The system colours the designs name, by their indexes.
inline constexpr std::uint32_t kColorWindow = 5;
inline constexpr std::uint32_t kColorWindowText = 8;
inline constexpr std::uint32_t kColorButtonFace = 15;
inline constexpr std::uint32_t kColorButtonText = 18;

// A plain colour's three 8-bit parts.
struct RgbParts {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};
inline constexpr RgbParts UnpackRgb(ColorValue color) {
    return {static_cast<std::uint8_t>(color & 0xFFU), static_cast<std::uint8_t>((color >> 8U) & 0xFFU),
            static_cast<std::uint8_t>((color >> 16U) & 0xFFU)};
}

// Modifier bits as the keyboard handlers receive them.
inline constexpr std::int16_t kShiftMask = 1;
inline constexpr std::int16_t kCtrlMask = 2;
inline constexpr std::int16_t kAltMask = 4;

// Virtual-key codes as the keyboard handlers receive them: the Windows numbering on every desktop. The keys
// of the letters and digits are their upper-case ASCII codes ('A' to 'Z', '0' to '9'), F1 to F24 follow on
// from kVkF1, and the keypad's digits from kVkNumpad0.
inline constexpr std::int16_t kVkBack = 8;
inline constexpr std::int16_t kVkTab = 9;
inline constexpr std::int16_t kVkReturn = 13;
inline constexpr std::int16_t kVkShift = 16;
inline constexpr std::int16_t kVkControl = 17;
inline constexpr std::int16_t kVkMenu = 18;  // Alt
inline constexpr std::int16_t kVkPause = 19;
inline constexpr std::int16_t kVkCapital = 20;
inline constexpr std::int16_t kVkEscape = 27;
inline constexpr std::int16_t kVkSpace = 32;
inline constexpr std::int16_t kVkPrior = 33;
inline constexpr std::int16_t kVkNext = 34;
inline constexpr std::int16_t kVkEnd = 35;
inline constexpr std::int16_t kVkHome = 36;
inline constexpr std::int16_t kVkLeft = 37;
inline constexpr std::int16_t kVkUp = 38;
inline constexpr std::int16_t kVkRight = 39;
inline constexpr std::int16_t kVkDown = 40;
inline constexpr std::int16_t kVkSnapshot = 44;
inline constexpr std::int16_t kVkInsert = 45;
inline constexpr std::int16_t kVkDelete = 46;
inline constexpr std::int16_t kVkC = 'C';
inline constexpr std::int16_t kVkL = 'L';
inline constexpr std::int16_t kVkP = 'P';
inline constexpr std::int16_t kVkLeftWindows = 91;
inline constexpr std::int16_t kVkApps = 93;
inline constexpr std::int16_t kVkNumpad0 = 96;
inline constexpr std::int16_t kVkMultiply = 106;
inline constexpr std::int16_t kVkAdd = 107;
inline constexpr std::int16_t kVkSubtract = 109;
inline constexpr std::int16_t kVkDecimal = 110;
inline constexpr std::int16_t kVkDivide = 111;
inline constexpr std::int16_t kVkF1 = 112;
inline constexpr std::int16_t kVkF7 = 118;
inline constexpr std::int16_t kVkF8 = 119;
inline constexpr std::int16_t kVkF9 = 120;
inline constexpr std::int16_t kVkNumLock = 144;
inline constexpr std::int16_t kVkScroll = 145;
inline constexpr std::int16_t kVkOemSemicolon = 186;  // the US keyboard's ;: key, and so on
inline constexpr std::int16_t kVkOemPlus = 187;
inline constexpr std::int16_t kVkOemComma = 188;
inline constexpr std::int16_t kVkOemMinus = 189;
inline constexpr std::int16_t kVkOemPeriod = 190;
inline constexpr std::int16_t kVkOemSlash = 191;
inline constexpr std::int16_t kVkOemTilde = 192;
inline constexpr std::int16_t kVkOemOpenBracket = 219;
inline constexpr std::int16_t kVkOemBackslash = 220;
inline constexpr std::int16_t kVkOemCloseBracket = 221;
inline constexpr std::int16_t kVkOemQuote = 222;

}  // namespace hovermark
