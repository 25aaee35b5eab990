// The element system's memory between ticks: the top-level element found for the last window, the elements
// found at the last point, and which applications are not asked for a while because they did not answer.
// With the pointer at rest it asks the deepest element two questions (where it is, and whether anything lies
// deeper there) instead of walking again.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/atspi/accessible_tree.h"
#include "platform/atspi/element_finder.h"
#include "platform/atspi/top_level_facts.h"
#include "window_inspection/element_system.h"

namespace hovermark::atspi {

// How long an application that did not answer in time is left alone.
inline constexpr std::chrono::seconds kHungApplicationPause{5};
// How long a window that no application stands for is taken as such, unless its place or title changes: an
// application that comes onto the bus later is found within that time, and searching every application's
// windows every tick meanwhile would cost a call per window.
inline constexpr std::chrono::seconds kUnmatchedPause{2};

class ElementLocator {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ElementLocator(AccessibleDesktop& desktop, TopLevelFacts& facts, Clock clock);

    // As ElementSystem::ElementsAt and GetElementRect.
    std::vector<Element> ElementsAt(WindowHandle window, Point pointer);
    bool GetElementRect(const std::string& id, Rectangle& rect);

    // Lets go of every element held; the next question walks afresh.
    void Forget();

  private:
    struct TopLevel {
        WindowHandle window = 0;  // the top-level window
        Rectangle window_rect{};  // where it stood when the offset was found
        TopLevelMatch match;
    };
    struct Held {
        WindowHandle window = 0;
        Point pointer;
        std::vector<Step> path;         // the deepest last
        std::vector<Element> elements;  // the deepest first
    };

    struct Unmatched {
        WindowHandle window = 0;
        Rectangle rect{};
        std::string title;
        std::chrono::steady_clock::time_point until;
    };

    std::vector<Element> Walk(WindowHandle window, Point pointer, const TopLevelWindow& facts);
    // Whether the elements held still stand, the deepest one's extents refreshed.
    bool Steady(const TopLevelWindow& facts, Point pointer);
    // The top-level element for the window, reusing the last one while it is the same window; refreshes the
    // offset when the window has moved. None: no application stands for it (this program's own windows
    // included), or its application is left alone.
    const TopLevel* TopLevelFor(const TopLevelWindow& facts, Budget& budget);
    // `complete`: false when an application was left out because it is left alone.
    std::vector<AccessibleApplication> Candidates(const TopLevelWindow& facts, Ownership& ownership, bool& complete);
    void LeaveAlone(const std::string& application);
    bool LeftAlone(const std::string& application) const;

    AccessibleDesktop& desktop_;
    TopLevelFacts& facts_;
    Clock clock_;
    std::map<std::string, std::chrono::steady_clock::time_point> left_alone_until_;
    std::uint32_t own_process_;
    std::optional<TopLevel> top_level_;
    std::optional<Unmatched> unmatched_;
    std::optional<Held> held_;
};

}  // namespace hovermark::atspi
