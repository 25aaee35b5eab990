// 32-bit signed arithmetic that refuses to wrap. Coordinates, sizes and lengths from the window system are
// combined only through these, and a result outside the 32-bit range raises the Overflow run-time error
// instead of silently placing a window somewhere else.
#pragma once

#include <cstdint>
#include <limits>

#include "main_window/toolkit/runtime_error.h"

namespace hovermark {

inline std::int32_t NarrowOrOverflow(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        throw RuntimeError::Overflow();
    }
    return static_cast<std::int32_t>(value);
}

inline std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
    return NarrowOrOverflow(std::int64_t{a} + b);
}

inline std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
    return NarrowOrOverflow(std::int64_t{a} - b);
}

}  // namespace hovermark
