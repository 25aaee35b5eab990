#include "window_inspection/walk_budget.h"

#include <utility>

namespace hovermark {

WalkBudget::WalkBudget(SteadyClock clock, int calls, std::chrono::milliseconds time)
    : clock_(std::move(clock)), calls_(calls), left_(calls), deadline_(clock_() + time) {}

bool WalkBudget::Spend() {
    if (spent_ || left_ == 0 || clock_() >= deadline_) {
        spent_ = true;
        return false;
    }
    --left_;
    return true;
}

}  // namespace hovermark
