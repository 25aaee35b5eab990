#include "platform/atspi/element_finder.h"

#include <algorithm>
#include <limits>
#include <set>
#include <string>
#include <utility>

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

// How a top-level element's reported rectangle fits the window: where it lies, seen by a correct toolkit
// (containing or inside it), or only its size, as a toolkit that reports relative to the window sees it.
enum class Fit { kNone, kSize, kPosition };

Fit FitOf(const Extents& extents, const Rectangle& window) {
    if (Contains(extents, window) || Inside(extents, window)) {
        return Fit::kPosition;
    }
    const std::int64_t width = std::int64_t{window.Right} - window.Left;
    const std::int64_t height = std::int64_t{window.Bottom} - window.Top;
    return extents.width == width && extents.height == height && width > 0 && height > 0 ? Fit::kSize : Fit::kNone;
}

struct Walk {
    Point pointer;
    Offset offset;
    const std::function<bool(const std::string&)>& passed;
    WalkBudget& budget;
    std::int32_t children_examined = 0;
    // The element the fallback looked at first gave no child at all, every index asked.
    bool childless = false;
};

std::optional<Step> ChildHolding(const AccessiblePtr& parent, Walk& walk, int stand_in_depth);

// A child holds the point when its extents do; a child without extents of its own stands for its children.
std::optional<Step> HoldingPoint(const AccessiblePtr& child, Walk& walk, int stand_in_depth) {
    if (!walk.budget.Spend()) {
        return std::nullopt;
    }
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
// the point. The children looked at count against one allowance for the whole fallback, the children of
// the elements that stand for theirs included.
std::optional<Step> ChildHolding(const AccessiblePtr& parent, Walk& walk, int stand_in_depth) {
    if (stand_in_depth == 0) {
        walk.children_examined = 0;
    }
    if (!walk.budget.Spend()) {
        return std::nullopt;
    }
    const std::int32_t count = parent->ChildCount();
    const std::int32_t first = std::max<std::int32_t>(0, count - kMaxChildrenExamined);
    std::vector<std::pair<AccessiblePtr, ElementStates>> children;
    bool any_showing = false;
    bool any_child = false;
    bool cut = false;
    for (std::int32_t index = count - 1; index >= first && walk.children_examined < kMaxChildrenExamined; --index) {
        ++walk.children_examined;
        if (!walk.budget.Spend()) {
            cut = true;
            break;
        }
        AccessiblePtr child = parent->ChildAt(index);
        any_child = any_child || child != nullptr;
        if (child == nullptr || child->Application() != parent->Application() || walk.passed(child->Id())) {
            continue;
        }
        if (!walk.budget.Spend()) {
            cut = true;
            break;
        }
        const ElementStates states = child->States();
        any_showing = any_showing || states.showing;
        children.emplace_back(std::move(child), states);
    }
    // Chromium, started without its renderer's accessibility, counts a child it never gives.
    if (stand_in_depth == 0) {
        walk.childless = !cut && !any_child && first == 0;
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

// Problem: Chromium answers the child-at-point question, while its own hit test is still on its way, with an
// element its parent does not list (a button's text, which the button keeps to itself), one that no walk
// through the children ever meets. Solution: an answer is followed only when its parent lists it. Out of
// budget, it is not followed either.
bool ListedByParent(Accessible& answer, WalkBudget& budget) {
    return budget.Spend() && answer.IndexInParent() >= 0;
}

// The toolkit's own answer, when it is a sound one: another element of the same application, not passed
// before, that holds the point (or has no extents to say otherwise), and whose real parents lead back to
// `parent` within `levels`. Returns the steps from `parent`'s child down to the answer; none otherwise.
std::vector<Step> AnsweredSteps(const AccessiblePtr& parent, Walk& walk, std::size_t levels) {
    const std::optional<Point> asked = Reported(walk.pointer, walk.offset);
    if (!asked || !walk.budget.Spend()) {
        return {};
    }
    AccessiblePtr child = parent->ChildAtPoint(asked->x, asked->y);
    if (child == nullptr || child->Id() == parent->Id() || child->Application() != parent->Application() ||
        walk.passed(child->Id()) || !walk.budget.Spend()) {
        return {};
    }
    std::optional<Extents> extents = child->ReportedExtents();
    if ((extents && !Holds(*extents, walk.offset, walk.pointer)) || !ListedByParent(*child, walk.budget)) {
        return {};
    }
    std::vector<Step> steps{{std::move(child), extents}};
    std::set<std::string> chain{steps.back().element->Id()};
    while (steps.size() <= levels && walk.budget.Spend()) {
        AccessiblePtr up = steps.back().element->Parent();
        if (up == nullptr || up->Application() != parent->Application()) {
            return {};
        }
        if (up->Id() == parent->Id()) {
            std::reverse(steps.begin(), steps.end());
            return steps;
        }
        // A loop, an element already passed (outside `parent`), or no budget left for what it would cost.
        if (chain.contains(up->Id()) || walk.passed(up->Id()) || !walk.budget.Spend()) {
            return {};
        }
        chain.insert(up->Id());
        std::optional<Extents> up_extents = up->ReportedExtents();
        steps.push_back({std::move(up), up_extents});
    }
    return {};
}

}  // namespace

bool IsListedDeeper(const AccessiblePtr& asked, const AccessiblePtr& answer, WalkBudget& budget) {
    return answer != nullptr && answer->Id() != asked->Id() && ListedByParent(*answer, budget);
}

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

std::optional<Point> Reported(Point pointer, Offset offset) {
    const std::int64_t x = pointer.x - offset.dx;
    const std::int64_t y = pointer.y - offset.dy;
    if (x != Saturate(x) || y != Saturate(y)) {
        return std::nullopt;
    }
    return Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

std::optional<TopLevelMatch> FindTopLevel(const std::vector<AccessibleApplication>& applications,
                                          const TopLevelWindow& window,
                                          Ownership ownership,
                                          WalkBudget& budget) {
    struct Candidate {
        AccessiblePtr top_level;
        std::optional<Extents> extents;
        std::optional<std::string> name;  // asked once, when needed
    };
    std::vector<Candidate> all;
    for (const AccessibleApplication& application : applications) {
        const std::int32_t count = budget.Spend() ? std::min(application.root->ChildCount(), kMaxTopLevels) : 0;
        for (std::int32_t index = 0; index < count && budget.Spend(); ++index) {
            AccessiblePtr top_level = application.root->ChildAt(index);
            if (top_level == nullptr || top_level->Application() != application.root->Application() ||
                !budget.Spend()) {
                continue;
            }
            std::optional<Extents> extents = top_level->ReportedExtents();
            all.push_back({std::move(top_level), extents, std::nullopt});
        }
    }
    const auto has_title = [&](Candidate& candidate) {
        if (!candidate.name && budget.Spend()) {
            candidate.name = candidate.top_level->Name();
        }
        return !window.title.empty() && candidate.name == window.title;
    };
    // The best fit any element reaches, then the elements that reach it.
    const auto fit = [&](Candidate& candidate) {
        const Fit by_extents = candidate.extents ? FitOf(*candidate.extents, window.rect) : Fit::kNone;
        return by_extents == Fit::kNone || ownership == Ownership::kOwner || has_title(candidate) ? by_extents
                                                                                                  : Fit::kNone;
    };
    std::vector<Fit> fits;
    fits.reserve(all.size());
    for (Candidate& candidate : all) {
        fits.push_back(fit(candidate));
    }
    const Fit best = fits.empty() ? Fit::kNone : *std::max_element(fits.begin(), fits.end());
    std::vector<Candidate*> among;
    for (std::size_t index = 0; index < all.size(); ++index) {
        if (best == Fit::kNone ? ownership == Ownership::kOwner : fits[index] == best) {
            among.push_back(&all[index]);
        }
    }
    // One that fits alone needs no title: its name is not asked.
    const auto titled =
        best != Fit::kNone && among.size() == 1
            ? among.begin()
            : std::find_if(among.begin(), among.end(), [&](Candidate* candidate) { return has_title(*candidate); });
    Candidate* chosen = nullptr;
    if (titled != among.end()) {
        chosen = *titled;
    } else if (best != Fit::kNone && !among.empty()) {
        chosen = among.front();
    }
    if (chosen == nullptr) {
        return std::nullopt;
    }
    return TopLevelMatch{chosen->top_level, chosen->extents ? CorrectionFor(*chosen->extents, window.rect) : Offset{}};
}

std::vector<Step> StepsBelow(const AccessiblePtr& parent,
                             Point pointer,
                             Offset offset,
                             const std::function<bool(const std::string&)>& passed,
                             WalkBudget& budget,
                             bool* childless) {
    Walk walk{pointer, offset, passed, budget};
    std::vector<Step> steps = AnsweredSteps(parent, walk, kMaxDescent);
    if (steps.empty()) {
        if (std::optional<Step> child = ChildHolding(parent, walk, 0)) {
            steps.push_back(std::move(*child));
        }
    }
    if (childless != nullptr) {
        *childless = steps.empty() && walk.childless;
    }
    return steps;
}

std::vector<FinderWalk::Step> LevelBelow(const FinderWalk& walk,
                                         const Step& from,
                                         Point pointer,
                                         Offset offset,
                                         WalkBudget& budget,
                                         bool* childless) {
    const auto passed = [&](const std::string& id) { return walk.Passed(id); };
    std::vector<FinderWalk::Step> level;
    for (Step& step : StepsBelow(from.element, pointer, offset, passed, budget, childless)) {
        Element element{.id = step.element->Id(),
                        .role = {},
                        .name = {},
                        .extents = step.extents ? OnScreen(*step.extents, offset) : std::nullopt};
        level.push_back({std::move(step), std::move(element)});
    }
    return level;
}

std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset, WalkBudget& budget) {
    FinderWalk walk(0, pointer, Step{top_level, std::nullopt}, top_level->Id());
    walk.Descend(budget,
                 [&](const Step& from, WalkBudget& spend) { return LevelBelow(walk, from, pointer, offset, spend); });
    std::vector<Step> path;
    for (const FinderWalk::Step& step : walk.Path()) {
        path.push_back(step.node);
    }
    return path;
}

std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset) {
    WalkBudget budget;
    return Descend(top_level, pointer, offset, budget);
}

}  // namespace hovermark::atspi
