// The elements under the pointer, read from the accessibility bus at each tick: the walk kept while the
// pointer rests, the applications left alone because they did not answer in time, and the top-level search,
// put together. With the pointer at rest over a window that shows nothing new it asks nobody; over one that
// has drawn, it asks the deepest element two questions (where it is, and whether anything lies deeper there)
// instead of walking again.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/atspi/accessible_tree.h"
#include "platform/atspi/element_finder.h"
#include "platform/atspi/top_level_facts.h"
#include "platform/atspi/top_level_search.h"
#include "window_inspection/element_system.h"
#include "window_inspection/element_walk.h"
#include "window_inspection/left_alone_applications.h"
#include "window_inspection/walk_budget.h"

namespace hovermark::atspi {

// The toolkit name Chromium gives, and Chrome and Electron applications with it.
inline constexpr std::string_view kChromiumToolkit = "Chromium";
// What the user is told over such an application's window when it describes nothing inside it.
inline constexpr std::string_view kRendererAccessibilityHint =
    "This application describes its controls only when it is started with --force-renderer-accessibility, "
    "for example: chromium --force-renderer-accessibility, or code --force-renderer-accessibility";

class ElementReader {
  public:
    ElementReader(AccessibleDesktop& desktop, TopLevelFacts& facts, const SteadyClock& clock);

    // As ElementSystem::ElementsAt and GetElementRect.
    ElementsAnswer ElementsAt(WindowHandle window, Point pointer);
    ElementPresence GetElementRect(const std::string& id, Rectangle& rect);

    // Lets go of every element held; the next question walks afresh.
    void Forget();

  private:
    using Walk = FinderWalk;

    ElementsAnswer Read(WindowHandle window, Point pointer);
    // Whether the complete walk held still stands at its point, the deepest element's extents refreshed.
    bool Steady(const TopLevelSearch::Found& found, Point pointer, WalkBudget& budget);
    void GoOn(const TopLevelSearch::Found& found, Point pointer, WalkBudget& budget);
    void UpdateHint(WalkBudget& budget);
    // Whether the deepest element held is still there, and where.
    ElementPresence Recheck(Walk::Step& deepest, Rectangle& rect);

    TopLevelFacts& facts_;
    SteadyClock clock_;
    LeftAloneApplications left_alone_;
    TopLevelSearch search_;
    std::optional<Walk> walk_;
    // The top-level window the walk is in, and the correction its extents were read with.
    WindowHandle walk_top_level_ = 0;
    Offset walk_offset_;
    // The walk's deepest element has been found gone.
    bool deepest_gone_ = false;
    // The walk's top level gave no child at all.
    bool top_childless_ = false;
    // What the user is told of the walk's window; pending: its toolkit is still to be asked.
    std::string hint_;
    bool hint_pending_ = false;
    // Each application's toolkit name, by bus name (a bus never gives a name twice).
    std::map<std::string, std::string> toolkits_;
};

}  // namespace hovermark::atspi
