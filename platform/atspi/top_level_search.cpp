#include "platform/atspi/top_level_search.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <unistd.h>

namespace hovermark::atspi {

TopLevelSearch::TopLevelSearch(AccessibleDesktop& desktop, const LeftAloneApplications& left_alone, SteadyClock clock)
    : desktop_(desktop),
      left_alone_(left_alone),
      clock_(std::move(clock)),
      own_process_(static_cast<std::uint32_t>(getpid())) {}

void TopLevelSearch::Forget() {
    found_.reset();
    unmatched_.reset();
}

TopLevelSearch::Result TopLevelSearch::For(const TopLevelWindow& window, WalkBudget& budget) {
    if (!found_ || found_->window != window.top_level) {
        found_.reset();
        return Search(window, budget);
    }
    if (left_alone_.IsLeftAlone(found_->match.top_level->Application())) {
        return {.found = nullptr, .not_known = true};
    }
    if (found_->window_rect != window.rect) {
        const std::optional<Extents> extents =
            budget.Spend() ? found_->match.top_level->ReportedExtents() : std::nullopt;
        if (!extents) {
            found_.reset();
            return {};
        }
        found_->match.offset = CorrectionFor(*extents, window.rect);
        found_->window_rect = window.rect;
    }
    return {.found = &*found_, .not_known = false};
}

TopLevelSearch::Result TopLevelSearch::Search(const TopLevelWindow& window, WalkBudget& budget) {
    // A window that tells neither its process nor its title (a window manager's frame) can match nothing.
    if (!window.pid && window.title.empty()) {
        return {};
    }
    if (unmatched_ && unmatched_->window == window.top_level && unmatched_->pid == window.pid &&
        unmatched_->rect == window.rect && unmatched_->title == window.title && clock_() < unmatched_->until) {
        return {};
    }
    unmatched_.reset();
    Ownership ownership = Ownership::kAnyApplication;
    bool left_out = false;
    const std::vector<AccessibleApplication> candidates = Candidates(window, budget, ownership, left_out);
    if (std::optional<TopLevelMatch> match = FindTopLevel(candidates, window, ownership, budget)) {
        found_ = Found{window.top_level, window.rect, std::move(*match)};
        return {.found = &*found_, .not_known = false};
    }
    if (ownership == Ownership::kOwner && left_out) {
        return {.found = nullptr, .not_known = true};
    }
    unmatched_ = Unmatched{window.top_level, window.pid, window.rect, window.title, clock_() + kUnmatchedPause};
    return {};
}

// The applications that may own the window: the one with its process id when the window names one and the
// bus knows it, otherwise every application; never this program itself, nor one left alone (`left_out`).
std::vector<AccessibleApplication> TopLevelSearch::Candidates(const TopLevelWindow& window,
                                                              WalkBudget& budget,
                                                              Ownership& ownership,
                                                              bool& left_out) {
    ownership = Ownership::kAnyApplication;
    if (window.pid == own_process_) {
        return {};
    }
    std::vector<AccessibleApplication> applications = desktop_.Applications(budget);
    if (window.pid) {
        std::vector<AccessibleApplication> owners;
        std::copy_if(applications.begin(), applications.end(), std::back_inserter(owners),
                     [&](const AccessibleApplication& application) { return application.pid == window.pid; });
        if (!owners.empty()) {
            applications = std::move(owners);
            ownership = Ownership::kOwner;
        }
    }
    std::erase_if(applications, [this](const AccessibleApplication& application) {
        return application.root == nullptr || application.pid == own_process_;
    });
    const std::size_t asked = applications.size();
    std::erase_if(applications, [this](const AccessibleApplication& application) {
        return left_alone_.IsLeftAlone(application.root->Application());
    });
    left_out = applications.size() != asked;
    return applications;
}

}  // namespace hovermark::atspi
