// What one slice of a walk for the elements under the pointer may cost, and the clock the element engine reads:
// a test gives it a clock of its own.
#pragma once

#include <chrono>
#include <functional>

namespace hovermark {

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

inline std::chrono::steady_clock::time_point SteadyNow() {
    return std::chrono::steady_clock::now();
}

// A sound toolkit's walk costs a few calls a level, so one slice covers some fifty levels; deeper trees go on
// in the next slices while the pointer rests.
inline constexpr int kMaxCallsPerWalk = 256;

}  // namespace hovermark
