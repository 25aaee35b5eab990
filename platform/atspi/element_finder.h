// The rule that turns a window and a pointer into the elements under it: which application and which of its
// top-level elements stand for the window, how far that toolkit's coordinates are off, and the descent to the
// deepest element at the point. It works on any accessible tree, hostile ones included, and always ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/atspi/accessible_tree.h"
#include "platform/atspi/top_level_facts.h"
#include "window_inspection/element_walk.h"
#include "window_inspection/walk_budget.h"

namespace hovermark::atspi {

// How many children one fallback looks at, those of the elements without extents that stand for their
// children included (the last ones, where the toolkits put what is drawn on top).
inline constexpr std::int32_t kMaxChildrenExamined = 256;
// How many levels of elements without extents stand for their children, one inside the other.
inline constexpr int kMaxStandInDepth = 4;
inline constexpr std::int32_t kMaxTopLevels = 256;

// What is added to a reported position to give a screen position.
struct Offset {
    std::int64_t dx = 0;
    std::int64_t dy = 0;
    friend bool operator==(const Offset&, const Offset&) = default;
};

// Problem: some toolkits report "screen" extents relative to their own window. Solution: the top-level
// element's reported rectangle is compared with the real one. A toolkit that reports correctly gives a
// rectangle that contains the window (its window manager's frame included) or lies inside it (without the
// window's invisible borders); anything else is taken as relative, and the real origin tells by how much.
Offset CorrectionFor(const Extents& top_level, const Rectangle& real);

// The extents on the screen, saturated to 32 bits; none when they hold no pixel.
std::optional<Rectangle> OnScreen(const Extents& extents, Offset offset);
bool Holds(const Extents& extents, Offset offset, Point point);
// A screen point in the toolkit's own coordinates; none when it does not fit its 32 bits.
std::optional<Point> Reported(Point pointer, Offset offset);

struct TopLevelMatch {
    AccessiblePtr top_level;
    Offset offset;
};

// Whether the applications searched are known to own the window (by its process id), or are merely all of
// them.
enum class Ownership { kOwner, kAnyApplication };

// Among the applications' top-level elements, the one that stands for `window`: by extents first (where it
// lies beats its size alone, which is all a toolkit that reports relative extents can show), by title where
// several fit. Among the owner's elements, the title alone decides where none fits. Searching every
// application, extents alone cannot tell a window from another program's that it overlaps, so an element
// must both fit and carry the window's title, and a window without a title has none.
// A top-level element that another application lists is not taken.
std::optional<TopLevelMatch> FindTopLevel(const std::vector<AccessibleApplication>& applications,
                                          const TopLevelWindow& window,
                                          Ownership ownership,
                                          WalkBudget& budget);

// One element passed on the way down, with the extents it reported when it was passed (none: it has none).
struct Step {
    AccessiblePtr element;
    std::optional<Extents> extents;
};

// One level down: the steps from `parent`'s child at the point down to the element found there, the deepest
// last; empty when nothing lies deeper, or when the budget ran out first. Elements already `passed`, and
// elements of another application, are never taken.
//
// Problem: some toolkits (GTK 4 at its top level) answer the child-at-point question with the deepest element
// at once, passing over the containers in between, and a hostile one may answer with an element outside the
// window altogether. Solution: an answer is followed only when its real parents lead back to the element
// asked, and those parents become the steps in between; otherwise the children are looked at instead.
// `childless`, given, tells whether nothing was found because `parent` gave no child at all.
std::vector<Step> StepsBelow(const AccessiblePtr& parent,
                             Point pointer,
                             Offset offset,
                             const std::function<bool(const std::string&)>& passed,
                             WalkBudget& budget,
                             bool* childless = nullptr);

// Whether `answer`, what `asked` gave for the child at a point, lies deeper: another element, listed by its
// parent (see the .cpp); false as well when the budget cannot pay for telling.
bool IsListedDeeper(const AccessiblePtr& asked, const AccessiblePtr& answer, WalkBudget& budget);

using FinderWalk = ElementWalk<Step>;

// One level down as a walk goes it: StepsBelow's steps below `from`, never one the walk has passed, each with
// its id and its extents on the screen, for the walk to describe later.
std::vector<FinderWalk::Step> LevelBelow(const FinderWalk& walk,
                                         const Step& from,
                                         Point pointer,
                                         Offset offset,
                                         WalkBudget& budget,
                                         bool* childless = nullptr);

// The whole descent from the top level at once, as a tick's walk makes it over as many ticks as its budget
// needs; the top level itself is not part of it.
std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset, WalkBudget& budget);
std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset);

}  // namespace hovermark::atspi
