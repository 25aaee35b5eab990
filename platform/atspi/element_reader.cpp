#include "platform/atspi/element_reader.h"

#include <utility>
#include <vector>

#include "window_inspection/text_cleaning.h"

namespace hovermark::atspi {

ElementReader::ElementReader(AccessibleDesktop& desktop, TopLevelFacts& facts, const SteadyClock& clock)
    : facts_(facts), clock_(clock), left_alone_(clock), search_(desktop, left_alone_, clock) {}

void ElementReader::Forget() {
    walk_.reset();
    search_.Forget();
}

// Problem: a stopped or busy application answers nothing until each call gives up, so one tick that asked it
// many questions would freeze the window, and a late answer read as "nothing" would flip the list. Solution:
// the first call that gives up ends the tick's walk with "not known now", and the application is left alone
// for a while; what was found before stays held.
ElementsAnswer ElementReader::ElementsAt(WindowHandle window, Point pointer) {
    try {
        return Read(window, pointer);
    } catch (const ApplicationHung& hung) {
        left_alone_.LeaveAlone(hung.application);
        return {.elements = {}, .known = false, .hint = {}};
    }
}

ElementsAnswer ElementReader::Read(WindowHandle window, Point pointer) {
    const bool at_rest = walk_ && walk_->At(window, pointer);
    // At rest over a window that has drawn nothing, and neither moved nor changed size, since the last tick:
    // what was found then still stands, and nobody is asked, not even the window system.
    if (at_rest && walk_->Complete() && !hint_pending_ && !facts_.ChangedSinceLastAsked(walk_top_level_)) {
        return {.elements = walk_->Elements(), .known = true, .hint = hint_};
    }
    const std::optional<TopLevelWindow> facts = facts_.TopLevelOf(window);
    if (!facts) {
        Forget();
        return {};
    }
    WalkBudget budget(clock_);
    const TopLevelSearch::Result top_level = search_.For(*facts, budget);
    if (top_level.not_known) {
        // The walk stays: it holds what the rows show while the application is left alone.
        return {.elements = {}, .known = false, .hint = {}};
    }
    if (top_level.found == nullptr) {
        walk_.reset();
        return {};
    }
    const TopLevelSearch::Found& found = *top_level.found;
    const bool same_walk =
        at_rest && walk_->Top().element == found.match.top_level && walk_offset_ == found.match.offset;
    if (!same_walk || (walk_->Complete() && !Steady(found, pointer, budget))) {
        walk_.emplace(window, pointer, Step{found.match.top_level, std::nullopt}, found.match.top_level->Id());
        walk_top_level_ = found.window;
        walk_offset_ = found.match.offset;
        deepest_gone_ = false;
        top_childless_ = false;
    }
    GoOn(found, pointer, budget);
    UpdateHint(budget);
    return {.elements = walk_->Elements(), .known = true, .hint = hint_};
}

void ElementReader::GoOn(const TopLevelSearch::Found& found, Point pointer, WalkBudget& budget) {
    const Offset offset = found.match.offset;
    walk_->Continue(
        budget,
        [&](const Step& from, WalkBudget& spend) {
            bool childless = false;
            std::vector<Walk::Step> level = LevelBelow(*walk_, from, pointer, offset, spend, &childless);
            if (from.element == walk_->Top().element) {
                top_childless_ = childless;
            }
            return level;
        },
        [](const Step& step) { return ElementTextRead(step.element->RoleName()); },
        [](const Step& step) { return ElementTextRead(step.element->Name()); });
}

// Problem: Chromium, and Chrome and the Electron applications built on it, describe nothing inside their
// windows unless started with --force-renderer-accessibility, and the window rows alone do not tell the user
// why. Solution: where a walk ended at a top level that gave no child at all, and its application's toolkit
// is Chromium, the user is told. The toolkit is asked once per application, at the first such walk.
void ElementReader::UpdateHint(WalkBudget& budget) {
    hint_.clear();
    hint_pending_ = false;
    if (!walk_->Complete() || !walk_->Path().empty() || !top_childless_) {
        return;
    }
    const std::string& application = walk_->Top().element->Application();
    auto toolkit = toolkits_.find(application);
    if (toolkit == toolkits_.end()) {
        if (!budget.Spend()) {
            hint_pending_ = true;
            return;
        }
        toolkit = toolkits_.emplace(application, walk_->Top().element->ToolkitName()).first;
    }
    if (toolkit->second == kChromiumToolkit) {
        hint_ = kRendererAccessibilityHint;
    }
}

// Out of time before it could tell, the walk held stands: the next tick asks again.
bool ElementReader::Steady(const TopLevelSearch::Found& found, Point pointer, WalkBudget& budget) {
    const Offset offset = found.match.offset;
    Walk::Step* deepest = walk_->Deepest();
    // Where nothing was found below the top level, only whether something has come there is asked.
    const AccessiblePtr& asked_element = deepest != nullptr ? deepest->node.element : found.match.top_level;
    std::optional<Extents> extents;
    if (deepest != nullptr) {
        if (!budget.Spend()) {
            return true;
        }
        extents = asked_element->ReportedExtents();
        if (!extents || !Holds(*extents, offset, pointer)) {
            return false;
        }
    }
    const std::optional<Point> asked = Reported(pointer, offset);
    if (!asked) {
        return false;
    }
    if (!budget.Spend()) {
        return true;
    }
    const AccessiblePtr deeper = asked_element->ChildAtPoint(asked->x, asked->y);
    if (IsListedDeeper(asked_element, deeper, budget)) {
        return false;
    }
    if (extents) {
        deepest->node.extents = extents;
        deepest->element.extents = OnScreen(*extents, offset);
    }
    return true;
}

ElementPresence ElementReader::GetElementRect(const std::string& id, Rectangle& rect) {
    if (!walk_) {
        return ElementPresence::kGone;
    }
    // Its application left alone: whatever the walk holds now, nothing can be told of the element held.
    if (left_alone_.IsLeftAlone(walk_->Top().element->Application())) {
        return ElementPresence::kNotKnownNow;
    }
    Walk::Step* deepest = walk_->Deepest();
    // What has gone does not come back, whatever its window shows meanwhile.
    if (deepest == nullptr || deepest->element.id != id || deepest_gone_) {
        return ElementPresence::kGone;
    }
    const ElementPresence presence = Recheck(*deepest, rect);
    deepest_gone_ = presence == ElementPresence::kGone;
    return presence;
}

ElementPresence ElementReader::Recheck(Walk::Step& deepest, Rectangle& rect) {
    const auto last_known = [&] {
        if (deepest.element.extents) {
            rect = *deepest.element.extents;
        }
        return ElementPresence::kPresent;
    };
    try {
        const std::optional<TopLevelWindow> facts = facts_.TopLevelOf(walk_->Window());
        if (!facts) {
            return ElementPresence::kGone;
        }
        // While its window shows nothing new, the element stands where it was.
        if (!facts_.ChangedSinceLastAsked(facts->top_level)) {
            return last_known();
        }
        WalkBudget budget(clock_);
        const TopLevelSearch::Result top_level = search_.For(*facts, budget);
        if (top_level.not_known) {
            return ElementPresence::kNotKnownNow;
        }
        if (top_level.found == nullptr) {
            return ElementPresence::kGone;
        }
        // Gone: no longer an object that answers, or defunct by an answer. An element that merely shows nowhere
        // for now (empty extents: hidden, or scrolled away) still exists, and stays where it was last seen.
        if (!budget.Spend()) {
            return ElementPresence::kNotKnownNow;
        }
        const std::optional<Extents> extents = deepest.node.element->ReportedExtents();
        // Out of time for its state, the extents just read tell enough: it has answered for itself.
        if (!extents || (budget.Spend() && deepest.node.element->States().defunct)) {
            return ElementPresence::kGone;
        }
        const std::optional<Rectangle> on_screen = OnScreen(*extents, top_level.found->match.offset);
        if (!on_screen) {
            return last_known();
        }
        deepest.node.extents = extents;
        deepest.element.extents = on_screen;
        rect = *on_screen;
        return ElementPresence::kPresent;
    } catch (const ApplicationHung& hung) {
        left_alone_.LeaveAlone(hung.application);
        return ElementPresence::kNotKnownNow;
    }
}

}  // namespace hovermark::atspi
