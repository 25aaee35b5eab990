// Checking a locator of the item in the list's first row: the element or window inspected. The tree a
// framework would search is read in the background (an element's by the element system's workers, the
// windows by a thread of the check's own), the shortest locator that finds the item alone is built from it,
// and its matches are counted. The whole check is bounded: past its time, what it has is not checked.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "locator/dialect.h"
#include "main_window/window_tree_read.h"
#include "window_inspection/element_system.h"
#include "window_inspection/walk_budget.h"
#include "window_inspection/window_enumeration.h"
#include "window_inspection/window_system.h"

namespace hovermark {

// From the key to the clipboard, however slowly the application answers, or not at all.
inline constexpr std::chrono::milliseconds kLocatorAnswerTime{1000};
// How long a check may read: its outcome is taken at the timer's next tick, a tenth of a second at most later,
// so that it is on the clipboard within the answer's time.
inline constexpr std::chrono::milliseconds kLocatorCheckTime{850};

inline constexpr std::string_view kOneMatchText = "1 match";
inline constexpr std::string_view kIndexedMatchesText = " matches: the index picks this one";
inline constexpr std::string_view kNoMatchText = "no match: the framework would not find this one";
inline constexpr std::string_view kNotCheckedText = "not checked: the application did not answer in time";

// The framework of each kind of row on this system; none: no locator for that kind.
struct LocatorDialects {
    const locator::Dialect* elements = nullptr;
    const locator::Dialect* windows = nullptr;
};

struct LocatorOutcome {
    std::string locator;
    // What the check found, for the user.
    std::string finding;
};

class LocatorCheck {
  public:
    LocatorCheck(LocatorDialects dialects,
                 WindowSystem& window_system,
                 WindowEnumeration* enumeration,
                 ElementSystem* element_system,
                 SteadyClock clock = SteadyNow);
    LocatorCheck(const LocatorCheck&) = delete;
    LocatorCheck& operator=(const LocatorCheck&) = delete;
    LocatorCheck(LocatorCheck&&) = delete;
    LocatorCheck& operator=(LocatorCheck&&) = delete;
    ~LocatorCheck() = default;

    // Starts checking the element `element_id` of the first row (when not empty) or else its window. False
    // when a check is still going on or there is nothing to check.
    bool Start(const std::string& element_id, WindowHandle window);
    // The outcome, once the check has ended or its time is up; none before, and none when no check is going on.
    std::optional<LocatorOutcome> Poll();

  private:
    // The window alone, by what the eight operations tell of it, where nothing better was read.
    LocatorOutcome WindowAlone() const;
    LocatorOutcome Outcome(const locator::LiveTree& tree, std::size_t item, const locator::Dialect& dialect) const;

    LocatorDialects dialects_;
    WindowSystem& window_system_;
    WindowEnumeration* enumeration_;
    ElementSystem* element_system_;
    SteadyClock clock_;
    enum class Reading { kNothing, kElement, kWindows } reading_ = Reading::kNothing;
    std::chrono::steady_clock::time_point deadline_{};
    WindowHandle window_ = 0;
    std::unique_ptr<WindowTreeRead> window_read_;
};

}  // namespace hovermark
