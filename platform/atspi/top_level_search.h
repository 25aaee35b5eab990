// Which application's top-level element stands for a window, remembered from one tick to the next: found
// again only when the pointer goes to another window, and a window that nobody stands for is not searched for
// again at every tick.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/atspi/accessible_tree.h"
#include "platform/atspi/element_finder.h"
#include "platform/atspi/top_level_facts.h"
#include "window_inspection/left_alone_applications.h"
#include "window_inspection/walk_budget.h"

namespace hovermark::atspi {

// How long a window that no application was found for is taken as such, unless its place or title changes,
// however the search ended (nothing found, or the budget spent): an application that comes onto the bus later
// is found within that time, and searching every application's windows every tick meanwhile would cost a call
// per window.
inline constexpr std::chrono::seconds kUnmatchedPause{2};

class TopLevelSearch {
  public:
    struct Found {
        WindowHandle window = 0;  // the top-level window
        Rectangle window_rect{};  // where it stood when the offset was found
        TopLevelMatch match;
    };
    struct Result {
        // None: no application stands for the window (or none could be found within the budget).
        const Found* found = nullptr;
        // The application that may stand for it is left alone: nothing can be told now.
        bool not_known = false;
    };

    TopLevelSearch(AccessibleDesktop& desktop, const LeftAloneApplications& left_alone, SteadyClock clock);

    // The top-level element for the window, the one found before while it is the same window, its offset
    // refreshed when the window has moved. This program's own windows are never searched: their elements
    // could be read only by calls it would have to answer itself.
    Result For(const TopLevelWindow& window, WalkBudget& budget);
    void Forget();

  private:
    struct Unmatched {
        WindowHandle window = 0;
        std::optional<std::uint32_t> pid;
        Rectangle rect{};
        std::string title;
        std::chrono::steady_clock::time_point until;
    };
    Result Search(const TopLevelWindow& window, WalkBudget& budget);
    std::vector<AccessibleApplication> Candidates(const TopLevelWindow& window,
                                                  WalkBudget& budget,
                                                  Ownership& ownership,
                                                  bool& left_out);

    AccessibleDesktop& desktop_;
    const LeftAloneApplications& left_alone_;
    SteadyClock clock_;
    std::uint32_t own_process_;
    std::optional<Found> found_;
    std::optional<Unmatched> unmatched_;
};

}  // namespace hovermark::atspi
