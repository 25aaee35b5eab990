#include "platform/atspi/element_finder.h"

#include <algorithm>
#include <limits>
#include <set>
#include <string>

namespace hovermark::atspi {
namespace {

std::int32_t Saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// A window manager's frame is no wider than this on any side.
constexpr std::int64_t kFrameMargin = 64;

bool Contains(const Extents& outer, const Rectangle& inner) {
    const std::int64_t right = outer.x + outer.width;
    const std::int64_t bottom = outer.y + outer.height;
    return outer.x <= inner.Left && outer.y <= inner.Top && right >= inner.Right && bottom >= inner.Bottom &&
           inner.Left - outer.x <= kFrameMargin && inner.Top - outer.y <= kFrameMargin &&
           right - inner.Right <= kFrameMargin && bottom - inner.Bottom <= kFrameMargin;
}

bool Inside(const Extents& inner, const Rectangle& outer) {
    return inner.width > 0 && inner.height > 0 && inner.x >= outer.Left && inner.y >= outer.Top &&
           inner.x + inner.width <= outer.Right && inner.y + inner.height <= outer.Bottom;
}

// A top-level element stands for the window when its reported rectangle is the window's, seen by a correct
// toolkit (containing or inside it) or by one that reports relative to the window (the same size).
bool StandsFor(const Extents& extents, const Rectangle& window) {
    const std::int64_t width = std::int64_t{window.Right} - window.Left;
    const std::int64_t height = std::int64_t{window.Bottom} - window.Top;
    return Contains(extents, window) || Inside(extents, window) ||
           (extents.width == width && extents.height == height && width > 0 && height > 0);
}

struct Walk {
    Point pointer;
    Offset offset;
    std::set<std::string> seen;
};

// A point the toolkit understands, in its own coordinates; none when it does not fit its 32 bits.
std::optional<Point> Reported(Point pointer, Offset offset) {
    const std::int64_t x = pointer.x - offset.dx;
    const std::int64_t y = pointer.y - offset.dy;
    if (x != Saturate(x) || y != Saturate(y)) {
        return std::nullopt;
    }
    return Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

std::optional<Step> ChildHolding(const AccessiblePtr& parent, const Walk& walk, int stand_in_depth);

// A child holds the point when its extents do; a child without extents of its own stands for its children.
std::optional<Step> HoldingPoint(const AccessiblePtr& child, const Walk& walk, int stand_in_depth) {
    if (std::optional<Extents> extents = child->ReportedExtents()) {
        return Holds(*extents, walk.offset, walk.pointer) ? std::optional<Step>(Step{child, extents}) : std::nullopt;
    }
    if (stand_in_depth < kMaxStandInDepth && ChildHolding(child, walk, stand_in_depth + 1)) {
        return Step{child, std::nullopt};
    }
    return std::nullopt;
}

// Problem: some toolkits (GTK 4.8) answer "nothing" or the element itself when asked for the child at a point,
// although one of its children holds it. Solution: look at the children as screen readers do: the last one
// (in child order) that is visible, showing where the toolkit marks children as showing at all, and holds
// the point.
std::optional<Step> ChildHolding(const AccessiblePtr& parent, const Walk& walk, int stand_in_depth) {
    const std::int32_t count = parent->ChildCount();
    const std::int32_t first = std::max<std::int32_t>(0, count - kMaxChildrenExamined);
    std::vector<std::pair<AccessiblePtr, ElementStates>> children;
    bool any_showing = false;
    for (std::int32_t index = count - 1; index >= first; --index) {
        AccessiblePtr child = parent->ChildAt(index);
        if (child == nullptr || child->Application() != parent->Application() || walk.seen.contains(child->Id())) {
            continue;
        }
        const ElementStates states = child->States();
        any_showing = any_showing || states.showing;
        children.emplace_back(std::move(child), states);
    }
    for (const auto& [child, states] : children) {
        if (states.visible && !states.defunct && (!any_showing || states.showing)) {
            if (std::optional<Step> step = HoldingPoint(child, walk, stand_in_depth)) {
                return step;
            }
        }
    }
    return std::nullopt;
}

// The toolkit's own answer, when it is a sound one: another element of the same application, not passed
// before, that holds the point (or has no extents to say otherwise).
std::optional<Step> AnsweredChild(const AccessiblePtr& parent, const Walk& walk) {
    const std::optional<Point> asked = Reported(walk.pointer, walk.offset);
    if (!asked) {
        return std::nullopt;
    }
    AccessiblePtr child = parent->ChildAtPoint(asked->x, asked->y);
    if (child == nullptr || child->Id() == parent->Id() || child->Application() != parent->Application() ||
        walk.seen.contains(child->Id())) {
        return std::nullopt;
    }
    std::optional<Extents> extents = child->ReportedExtents();
    if (extents && !Holds(*extents, walk.offset, walk.pointer)) {
        return std::nullopt;
    }
    return Step{std::move(child), extents};
}

}  // namespace

Offset CorrectionFor(const Extents& top_level, const Rectangle& real) {
    if (Contains(top_level, real) || Inside(top_level, real)) {
        return {};
    }
    return {real.Left - top_level.x, real.Top - top_level.y};
}

std::optional<Rectangle> OnScreen(const Extents& extents, Offset offset) {
    if (extents.width <= 0 || extents.height <= 0) {
        return std::nullopt;
    }
    const std::int64_t left = extents.x + offset.dx;
    const std::int64_t top = extents.y + offset.dy;
    return Rectangle{Saturate(left), Saturate(top), Saturate(left + extents.width), Saturate(top + extents.height)};
}

bool Holds(const Extents& extents, Offset offset, Point point) {
    const std::int64_t left = extents.x + offset.dx;
    const std::int64_t top = extents.y + offset.dy;
    return extents.width > 0 && extents.height > 0 && left <= point.x && point.x < left + extents.width &&
           top <= point.y && point.y < top + extents.height;
}

std::optional<TopLevelMatch> FindTopLevel(const std::vector<AccessibleApplication>& applications,
                                          const TopLevelWindow& window,
                                          Ownership ownership) {
    struct Candidate {
        AccessiblePtr top_level;
        std::optional<Extents> extents;
    };
    std::vector<Candidate> all;
    for (const AccessibleApplication& application : applications) {
        const std::int32_t count = std::min(application.root->ChildCount(), kMaxTopLevels);
        for (std::int32_t index = 0; index < count; ++index) {
            if (AccessiblePtr top_level = application.root->ChildAt(index)) {
                std::optional<Extents> extents = top_level->ReportedExtents();
                all.push_back({std::move(top_level), extents});
            }
        }
    }
    std::vector<const Candidate*> fitting;
    for (const Candidate& candidate : all) {
        const bool title_fits =
            ownership == Ownership::kOwner || window.title.empty() || candidate.top_level->Name() == window.title;
        if (candidate.extents && StandsFor(*candidate.extents, window.rect) && title_fits) {
            fitting.push_back(&candidate);
        }
    }
    const auto by_title = [&](const std::vector<const Candidate*>& among) -> const Candidate* {
        const auto found = std::find_if(among.begin(), among.end(), [&](const Candidate* candidate) {
            return candidate->top_level->Name() == window.title;
        });
        return found == among.end() ? nullptr : *found;
    };
    const Candidate* chosen = nullptr;
    if (fitting.size() == 1) {
        chosen = fitting.front();
    } else if (fitting.size() > 1) {
        chosen = by_title(fitting);
        chosen = chosen != nullptr ? chosen : fitting.front();
    } else {
        std::vector<const Candidate*> every;
        every.reserve(all.size());
        for (const Candidate& candidate : all) {
            every.push_back(&candidate);
        }
        chosen = by_title(every);
    }
    if (chosen == nullptr) {
        return std::nullopt;
    }
    return TopLevelMatch{chosen->top_level, chosen->extents ? CorrectionFor(*chosen->extents, window.rect) : Offset{}};
}

std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset) {
    Walk walk{pointer, offset, {top_level->Id()}};
    std::vector<Step> path;
    AccessiblePtr current = top_level;
    while (path.size() < static_cast<std::size_t>(kMaxDescent)) {
        std::optional<Step> next = AnsweredChild(current, walk);
        if (!next) {
            next = ChildHolding(current, walk, 0);
        }
        if (!next) {
            break;
        }
        walk.seen.insert(next->element->Id());
        current = next->element;
        path.push_back(std::move(*next));
    }
    return path;
}

std::vector<Step> WithRealParents(std::vector<Step> descent, const AccessiblePtr& top_level) {
    if (descent.empty()) {
        return descent;
    }
    std::vector<Step> parents;
    std::set<std::string> seen{descent.back().element->Id()};
    AccessiblePtr current = descent.back().element;
    while (parents.size() < static_cast<std::size_t>(kMaxDescent)) {
        AccessiblePtr parent = current->Parent();
        if (parent == nullptr || parent->Application() != top_level->Application() || seen.contains(parent->Id())) {
            return descent;
        }
        if (parent->Id() == top_level->Id()) {
            std::vector<Step> path(parents.rbegin(), parents.rend());
            path.push_back(std::move(descent.back()));
            return path;
        }
        seen.insert(parent->Id());
        std::optional<Extents> extents = parent->ReportedExtents();
        parents.push_back({parent, extents});
        current = std::move(parent);
    }
    return descent;
}

}  // namespace hovermark::atspi
