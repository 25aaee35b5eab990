#include "platform/atspi/element_locator.h"

#include <algorithm>
#include <utility>

#include <unistd.h>

#include "window_inspection/text_cleaning.h"

namespace hovermark::atspi {
namespace {

// Problem: a name may be megabytes long, yet a row shows at most kMaxElementTextBytes of it, and what is held
// is copied out every tick. Solution: only as much is kept as the rows' own cut reads: the bytes it may show
// and the rest of a character that starts among them. Whatever follows can change neither where that cut
// falls nor which bytes it replaces.
constexpr std::size_t kHeldTextBytes = kMaxElementTextBytes + 4;

std::string Kept(std::string text) {
    if (text.size() > kHeldTextBytes) {
        text.resize(kHeldTextBytes);
        text.shrink_to_fit();
    }
    return text;
}

std::vector<Element> ToElements(const std::vector<Step>& path, Offset offset) {
    std::vector<Element> elements;
    elements.reserve(path.size());
    for (auto step = path.rbegin(); step != path.rend(); ++step) {
        elements.push_back({step->element->Id(), Kept(step->element->RoleName()), Kept(step->element->Name()),
                            step->extents ? OnScreen(*step->extents, offset) : std::nullopt});
    }
    return elements;
}

}  // namespace

ElementLocator::ElementLocator(AccessibleDesktop& desktop, TopLevelFacts& facts, Clock clock)
    : desktop_(desktop), facts_(facts), clock_(std::move(clock)), own_process_(static_cast<std::uint32_t>(getpid())) {}

void ElementLocator::Forget() {
    held_.reset();
    top_level_.reset();
    unmatched_.reset();
}

void ElementLocator::LeaveAlone(const std::string& application) {
    left_alone_until_[application] = clock_() + kHungApplicationPause;
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
    const bool at_rest = held_ && held_->window == window && held_->pointer == pointer;
    if (at_rest && top_level_ && !facts_.ChangedSinceLastAsked(top_level_->window)) {
        return held_->elements;
    }
    const std::optional<TopLevelWindow> facts = facts_.TopLevelOf(window);
    if (!facts) {
        Forget();
        return {};
    }
    try {
        if (at_rest && Steady(*facts, pointer)) {
            return held_->elements;
        }
        return Walk(window, pointer, *facts);
    } catch (const ApplicationHung& hung) {
        LeaveAlone(hung.application);
        Forget();
        return {};
    }
}

bool ElementLocator::Steady(const TopLevelWindow& facts, Point pointer) {
    if (!top_level_ || top_level_->window != facts.top_level || top_level_->window_rect != facts.rect ||
        LeftAlone(top_level_->match.top_level->Application())) {
        return false;
    }
    const Offset offset = top_level_->match.offset;
    // Where nothing was found below the top level, only whether something has come there is asked.
    const AccessiblePtr& deepest = held_->path.empty() ? top_level_->match.top_level : held_->path.back().element;
    std::optional<Extents> extents;
    if (!held_->path.empty()) {
        extents = deepest->ReportedExtents();
        if (!extents || !Holds(*extents, offset, pointer)) {
            return false;
        }
    }
    const std::optional<Point> asked = Reported(pointer, offset);
    if (!asked) {
        return false;
    }
    const AccessiblePtr deeper = deepest->ChildAtPoint(asked->x, asked->y);
    if (deeper != nullptr && deeper->Id() != deepest->Id()) {
        return false;
    }
    if (extents) {
        held_->path.back().extents = extents;
        held_->elements.front().extents = OnScreen(*extents, offset);
    }
    return true;
}

std::vector<Element> ElementLocator::Walk(WindowHandle window, Point pointer, const TopLevelWindow& facts) {
    held_.reset();
    Budget budget(clock_);
    const TopLevel* top_level = TopLevelFor(facts, budget);
    if (top_level == nullptr) {
        return {};
    }
    std::vector<Step> path = Descend(top_level->match.top_level, pointer, top_level->match.offset, budget);
    std::vector<Element> elements = ToElements(path, top_level->match.offset);
    held_ = Held{window, pointer, std::move(path), elements};
    return elements;
}

const ElementLocator::TopLevel* ElementLocator::TopLevelFor(const TopLevelWindow& facts, Budget& budget) {
    // This program's own windows: its own elements could be read only by calls it would have to answer itself.
    if (facts.pid == own_process_) {
        return nullptr;
    }
    if (top_level_ && top_level_->window == facts.top_level) {
        if (LeftAlone(top_level_->match.top_level->Application())) {
            return nullptr;
        }
        if (top_level_->window_rect != facts.rect) {
            const std::optional<Extents> extents =
                budget.Spend() ? top_level_->match.top_level->ReportedExtents() : std::nullopt;
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
    if (unmatched_ && unmatched_->window == facts.top_level && unmatched_->rect == facts.rect &&
        unmatched_->title == facts.title && clock_() < unmatched_->until) {
        return nullptr;
    }
    unmatched_.reset();
    Ownership ownership = Ownership::kAnyApplication;
    bool complete = true;
    std::vector<AccessibleApplication> candidates = Candidates(facts, ownership, complete);
    if (std::optional<TopLevelMatch> match = FindTopLevel(candidates, facts, ownership, budget)) {
        top_level_ = TopLevel{facts.top_level, facts.rect, std::move(*match)};
        return &*top_level_;
    }
    // Asked in full, nobody stands for it: that stands for a while. Not so when the budget cut the search
    // short, or an application that may own the window was left alone.
    if (complete && !budget.Spent()) {
        unmatched_ = Unmatched{facts.top_level, facts.rect, facts.title, clock_() + kUnmatchedPause};
    }
    return nullptr;
}

// The applications that may own the window, never this program itself: the one with its process id when the
// window names one and the bus knows it (none while that one is left alone), otherwise every application not
// left alone.
std::vector<AccessibleApplication> ElementLocator::Candidates(const TopLevelWindow& facts,
                                                              Ownership& ownership,
                                                              bool& complete) {
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
        return application.root == nullptr || application.pid == own_process_;
    });
    const std::size_t asked = applications.size();
    std::erase_if(applications, [this](const AccessibleApplication& application) {
        return LeftAlone(application.root->Application());
    });
    complete = applications.size() == asked;
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
        Budget budget(clock_);
        if (!facts || TopLevelFor(*facts, budget) == nullptr) {
            return false;
        }
        // Gone: no longer an object that answers, or defunct. An element that merely shows nowhere for now
        // (empty extents: hidden, or scrolled away) still exists, and stays where it was last seen.
        const std::optional<Extents> extents = step->element->ReportedExtents();
        if (!extents || step->element->States().defunct) {
            return false;
        }
        const std::optional<Rectangle> on_screen = OnScreen(*extents, top_level_->match.offset);
        if (!on_screen) {
            return last_known();
        }
        step->extents = extents;
        rect = *on_screen;
        return true;
    } catch (const ApplicationHung& hung) {
        LeaveAlone(hung.application);
        return last_known();
    }
}

}  // namespace hovermark::atspi
