// What one look for the elements under the pointer may cost: a number of calls to other programs and a span
// of time. Any element system that asks other programs walks within it, so a tick's element work ends within
// kMaxWalkTime plus the wait of the one call started last, however slowly or widely the other side answers.
#pragma once

#include <chrono>
#include <functional>

namespace hovermark {

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

inline std::chrono::steady_clock::time_point SteadyNow() {
    return std::chrono::steady_clock::now();
}

// A sound toolkit's walk costs a few calls a level, so the calls allow some fifty levels at one tick; deeper
// trees go on at the next ticks while the pointer rests. The time keeps a tick over a slow application, its
// last call included, within half a second.
inline constexpr int kMaxCallsPerWalk = 256;
inline constexpr std::chrono::milliseconds kMaxWalkTime{250};

class WalkBudget {
  public:
    explicit WalkBudget(SteadyClock clock = SteadyNow,
                        int calls = kMaxCallsPerWalk,
                        std::chrono::milliseconds time = kMaxWalkTime);

    // Takes one call from the budget, to be made right away: false, and nothing taken, when none is left or
    // the time is up. Once false, always false.
    bool Spend();
    bool Spent() const { return spent_; }
    // Nothing has been spent yet.
    bool Untouched() const { return left_ == calls_; }

  private:
    SteadyClock clock_;
    int calls_;
    int left_;
    std::chrono::steady_clock::time_point deadline_;
    bool spent_ = false;
};

}  // namespace hovermark
