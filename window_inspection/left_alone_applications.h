// The applications that did not answer in time, and are not asked again for a while. A stopped or busy
// application answers nothing until each call gives up, so asking it again at every tick would freeze
// Hovermark's window; meanwhile its windows are listed as windows.
#pragma once

#include <chrono>
#include <map>
#include <string>

#include "window_inspection/walk_budget.h"

namespace hovermark {

inline constexpr std::chrono::seconds kHungApplicationPause{5};

class LeftAloneApplications {
  public:
    explicit LeftAloneApplications(SteadyClock clock = SteadyNow) : clock_(std::move(clock)) {}

    // `application` names its process, in whatever way the element system knows it by.
    void LeaveAlone(const std::string& application);
    bool IsLeftAlone(const std::string& application) const;

  private:
    SteadyClock clock_;
    std::map<std::string, std::chrono::steady_clock::time_point> until_;
};

}  // namespace hovermark
