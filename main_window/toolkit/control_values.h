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

// Key codes and modifier bits as the keyboard handlers receive them.
inline constexpr std::int16_t kShiftMask = 1;
inline constexpr std::int16_t kCtrlMask = 2;
inline constexpr std::int16_t kAltMask = 4;

}  // namespace hovermark
