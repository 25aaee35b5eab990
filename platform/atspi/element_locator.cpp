#include "platform/atspi/element_locator.h"

#include <algorithm>
#include <utility>

namespace hovermark::atspi {
namespace {

std::vector<Element> ToElements(const std::vector<Step>& path, Offset offset) {
    std::vector<Element> elements;
    elements.reserve(path.size());
    for (auto step = path.rbegin(); step != path.rend(); ++step) {
        elements.push_back({step->element->Id(), step->element->RoleName(), step->element->Name(),
                            step->extents ? OnScreen(*step->extents, offset) : std::nullopt});
    }
    return elements;
}

}  // namespace

ElementLocator::ElementLocator(AccessibleDesktop& desktop, TopLevelFacts& facts, Clock clock)
    : desktop_(desktop), facts_(facts), clock_(std::move(clock)) {}

void ElementLocator::Forget() {
    held_.reset();
    top_level_.reset();
}

bool ElementLocator::LeftAlone(const std::string& application) const {
    const auto found = left_alone_until_.find(application);
    return found != left_alone_until_.end() && clock_() < found->second;
}

// Problem: a stopped or busy application answers nothing until each call gives up, so one tick that asked it
// many questions would freeze the window. Solution: the first call that gives up ends the tick's walk, and
// the application is not asked again for kHungApplicationPause; its windows show as windows meanwhile.
std::vector<Element> ElementLocator::ElementsAt(WindowHandle window, Point pointer) {
    // At rest over a window that has drawn nothing, and neither moved nor changed size, since the last tick:
    // what was found then still stands, and nobody is asked.
    if (held_ && top_level_ && held_->window == window && held_->pointer == pointer &&
        !facts_.ChangedSinceLastAsked(top_level_->window)) {
        return held_->elements;
    }
    const std::optional<TopLevelWindow> facts = facts_.TopLevelOf(window);
    if (!facts) {
        Forget();
        return {};
    }
    try {
        if (held_ && held_->window == window && held_->pointer == pointer) {
            if (std::optional<std::vector<Element>> same = Steady(*facts, pointer)) {
                return *same;
            }
        }
        return Walk(window, pointer, *facts);
    } catch (const ApplicationHung& hung) {
        left_alone_until_[hung.application] = clock_() + kHungApplicationPause;
        Forget();
        return {};
    }
}

std::optional<std::vector<Element>> ElementLocator::Steady(const TopLevelWindow& facts, Point pointer) {
    if (!top_level_ || top_level_->window != facts.top_level || top_level_->window_rect != facts.rect ||
        LeftAlone(top_level_->match.top_level->Application())) {
        return std::nullopt;
    }
    const Offset offset = top_level_->match.offset;
    // Where nothing was found below the top level, only whether something has come there is asked.
    const AccessiblePtr& deepest = held_->path.empty() ? top_level_->match.top_level : held_->path.back().element;
    std::optional<Extents> extents;
    if (!held_->path.empty()) {
        extents = deepest->ReportedExtents();
        if (!extents || !Holds(*extents, offset, pointer)) {
            return std::nullopt;
        }
    }
    const std::int64_t x = pointer.x - offset.dx;
    const std::int64_t y = pointer.y - offset.dy;
    if (x != static_cast<std::int32_t>(x) || y != static_cast<std::int32_t>(y)) {
        return std::nullopt;
    }
    const AccessiblePtr deeper = deepest->ChildAtPoint(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
    if (deeper != nullptr && deeper->Id() != deepest->Id()) {
        return std::nullopt;
    }
    if (extents) {
        held_->path.back().extents = extents;
        held_->elements.front().extents = OnScreen(*extents, offset);
    }
    return held_->elements;
}

std::vector<Element> ElementLocator::Walk(WindowHandle window, Point pointer, const TopLevelWindow& facts) {
    held_.reset();
    const TopLevel* top_level = TopLevelFor(facts);
    if (top_level == nullptr) {
        return {};
    }
    std::vector<Step> path = WithRealParents(Descend(top_level->match.top_level, pointer, top_level->match.offset),
                                             top_level->match.top_level);
    std::vector<Element> elements = ToElements(path, top_level->match.offset);
    held_ = Held{window, pointer, std::move(path), elements};
    return elements;
}

const ElementLocator::TopLevel* ElementLocator::TopLevelFor(const TopLevelWindow& facts) {
    if (top_level_ && top_level_->window == facts.top_level) {
        if (LeftAlone(top_level_->match.top_level->Application())) {
            return nullptr;
        }
        if (top_level_->window_rect != facts.rect) {
            const std::optional<Extents> extents = top_level_->match.top_level->ReportedExtents();
            if (!extents) {
                top_level_.reset();
                return nullptr;
            }
            top_level_->match.offset = CorrectionFor(*extents, facts.rect);
            top_level_->window_rect = facts.rect;
        }
        return &*top_level_;
    }
    top_level_.reset();
    Ownership ownership = Ownership::kAnyApplication;
    std::vector<AccessibleApplication> candidates = Candidates(facts, ownership);
    if (std::optional<TopLevelMatch> match = FindTopLevel(candidates, facts, ownership)) {
        top_level_ = TopLevel{facts.top_level, facts.rect, std::move(*match)};
        return &*top_level_;
    }
    return nullptr;
}

// The applications that may own the window: the one with its process id when the window names one and the
// bus knows it (none while that one is left alone), otherwise every application not left alone.
std::vector<AccessibleApplication> ElementLocator::Candidates(const TopLevelWindow& facts, Ownership& ownership) {
    std::vector<AccessibleApplication> applications = desktop_.Applications();
    ownership = Ownership::kAnyApplication;
    if (facts.pid) {
        std::vector<AccessibleApplication> owners;
        std::copy_if(applications.begin(), applications.end(), std::back_inserter(owners),
                     [&](const AccessibleApplication& application) { return application.pid == facts.pid; });
        if (!owners.empty()) {
            applications = std::move(owners);
            ownership = Ownership::kOwner;
        }
    }
    std::erase_if(applications, [this](const AccessibleApplication& application) {
        return application.root == nullptr || LeftAlone(application.root->Application());
    });
    return applications;
}

bool ElementLocator::GetElementRect(const std::string& id, Rectangle& rect) {
    if (!held_ || !top_level_) {
        return false;
    }
    const auto step = std::find_if(held_->path.begin(), held_->path.end(),
                                   [&](const Step& passed) { return passed.element->Id() == id; });
    if (step == held_->path.end()) {
        return false;
    }
    const Offset offset_before = top_level_->match.offset;
    const auto last_known = [&]() {
        const std::optional<Rectangle> known = step->extents ? OnScreen(*step->extents, offset_before) : std::nullopt;
        if (known) {
            rect = *known;
        }
        return known.has_value();
    };
    // An application left alone has not gone: its element stays where it was last seen.
    if (LeftAlone(step->element->Application())) {
        return last_known();
    }
    try {
        const std::optional<TopLevelWindow> facts = facts_.TopLevelOf(held_->window);
        if (!facts || TopLevelFor(*facts) == nullptr) {
            return false;
        }
        const std::optional<Extents> extents = step->element->ReportedExtents();
        const std::optional<Rectangle> on_screen =
            extents ? OnScreen(*extents, top_level_->match.offset) : std::nullopt;
        if (!on_screen || step->element->States().defunct) {
            return false;
        }
        step->extents = extents;
        rect = *on_screen;
        return true;
    } catch (const ApplicationHung& hung) {
        left_alone_until_[hung.application] = clock_() + kHungApplicationPause;
        return last_known();
    }
}

}  // namespace hovermark::atspi
