// The rule that turns a window and a pointer into the elements under it: which application and which of its
// top-level elements stand for the window, how far that toolkit's coordinates are off, and the descent to the
// deepest element at the point. It works on any accessible tree, hostile ones included, and always ends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/atspi/accessible_tree.h"
#include "platform/atspi/top_level_facts.h"

namespace hovermark::atspi {

// How deep a descent goes at most, and how many children of one element the fallback looks at (the last ones,
// where the toolkits put what is drawn on top).
inline constexpr int kMaxDescent = 256;
// How many children one fallback looks at, those of the elements without extents that stand for their
// children included.
inline constexpr std::int32_t kMaxChildrenExamined = 256;
// How many levels of elements without extents stand for their children, one inside the other.
inline constexpr int kMaxStandInDepth = 4;
inline constexpr std::int32_t kMaxTopLevels = 256;

// Problem: the level and child limits alone still allow millions of calls on a wide hostile tree, and an
// application that answers each call just within the bound is never judged hung. Solution: one walk (the
// search for the window's top-level element, the descent, and the roles and names of what it found) asks at
// most kMaxCallsPerWalk questions and starts none after kMaxWalkTime; then it ends with what it has found.
// A sound toolkit's walk costs about five calls a level (the GTK 3 fixture's button: about a dozen), so the
// calls allow some fifty levels; the time keeps a walk over a slow application, its last call included,
// within half a second.
inline constexpr int kMaxCallsPerWalk = 256;
inline constexpr std::chrono::milliseconds kMaxWalkTime{250};

class Budget {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit Budget(
        Clock clock = [] { return std::chrono::steady_clock::now(); },
        int calls = kMaxCallsPerWalk,
        std::chrono::milliseconds time = kMaxWalkTime);

    // Takes `calls` questions from the budget: false, and nothing taken, when they are not left or the time is
    // up.
    bool Spend(int calls = 1);
    bool Spent() const { return spent_; }

  private:
    Clock clock_;
    int left_;
    std::chrono::steady_clock::time_point deadline_;
    bool spent_ = false;
};

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
std::optional<TopLevelMatch> FindTopLevel(const std::vector<AccessibleApplication>& applications,
                                          const TopLevelWindow& window,
                                          Ownership ownership,
                                          Budget& budget);

// One element passed on the way down, with the extents it reported when it was passed (none: it has none).
struct Step {
    AccessiblePtr element;
    std::optional<Extents> extents;
};

// The elements from the top level's child at the point down to the deepest one, the deepest last; the top
// level itself is not part of it. Stops when nothing is deeper, at an element already passed, at an element
// of another application, after kMaxDescent levels, and when the budget is spent; the budget is charged in
// advance for each element's role and name.
//
// Problem: some toolkits (GTK 4 at its top level) answer the child-at-point question with the deepest element
// at once, passing over the containers in between, and a hostile one may answer with an element outside the
// window altogether. Solution: an answer is followed only when its real parents lead back to the element
// asked, and those parents become the steps in between; otherwise the children are looked at instead.
std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset, Budget& budget);
std::vector<Step> Descend(const AccessiblePtr& top_level, Point pointer, Offset offset);

}  // namespace hovermark::atspi
