// The rule that turns a window and a pointer into the elements under it: which application and which of its
// top-level elements stand for the window, how far that toolkit's coordinates are off, and the descent to the
// deepest element at the point. It works on any accessible tree, hostile ones included, and always ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/atspi/accessible_tree.h"
#include "platform/atspi/top_level_facts.h"

namespace hovermark::atspi {

// How deep a descent goes at most, and how many children of one element the fallback looks at (the last ones,
// where the toolkits put what is drawn on top).
inline constexpr int kMaxDescent = 256;
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

struct TopLevelMatch {
    AccessiblePtr top_level;
    Offset offset;
};

// Whether the applications searched are known to own the window (by its process id), or are merely all of
// them.
enum class Ownership { kOwner, kAnyApplication };

// Among the applications' top-level elements, the one that stands for `window`: by extents first, by title
// where several (or none) fit. Searching every application, extents alone cannot tell a window from another
// program's that it overlaps, so a fitting element must then carry the window's title too (when it has one).
std::optional<TopLevelMatch> FindTopLevel(const std::vector<AccessibleApplication>& applications,
                                          const TopLevelWindow& window,
                                          Ownership ownership = Ownership::kOwner);

// One element passed on the way down, with the extents it reported when it was passed (none: it has none).
struct Step {
    AccessiblePtr element;
    std::optional<Extents> extents;
};

// The elements from the top level's child at the point down to the deepest one, the deepest last; the top
// level itself is not part of it. Stops when nothing is deeper, at an element already passed, at an element
// of another application, and after kMaxDescent levels.
std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset);

// Problem: some toolkits (GTK 4 at its top level) answer the child-at-point question with the deepest element
// at once, so the descent passes over the containers in between. Solution: the rows list the deepest
// element's real parents, up to the top level. Where that chain does not soundly reach the top level (a loop,
// a missing or foreign parent, more than kMaxDescent levels), the descent's own path is kept. Returns the
// path to list, the deepest last.
std::vector<Step> WithRealParents(std::vector<Step> descent, const AccessiblePtr& top_level);

}  // namespace hovermark::atspi
