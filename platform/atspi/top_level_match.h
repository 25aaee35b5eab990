// Which of the applications' top-level elements stands for a window, and how far that toolkit's coordinates are
// off: the rules alone, on what the bus reported, so that they are tested headless on hostile reports.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window_inspection/top_level_window.h"
#include "window_inspection/window_system.h"

namespace hovermark::atspi {

// An element's extents as its toolkit reports them: in screen pixels for most toolkits, relative to the
// top-level window's content for some. Wide integers, so that no sum of two reported values can overflow.
struct Extents {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    friend bool operator==(const Extents&, const Extents&) = default;
};

// What is added to a reported position to give a screen position.
struct Offset {
    std::int64_t dx = 0;
    std::int64_t dy = 0;
    friend bool operator==(const Offset&, const Offset&) = default;
};

// How a window's elements report their place, found once from its top-level element: correctly, or relative
// to the window's content, which begins `inner` pixels inside the window's own rectangle (a toolkit that draws
// its own shadow and resize border). Kept while the window moves: the offset follows its rectangle.
struct Placement {
    bool relative = false;
    Offset inner;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// Problem: some toolkits (GTK 4) report "screen" extents relative to their own content. Solution: the top-level
// element's reported rectangle is compared with the real one. A toolkit that reports correctly gives a
// rectangle that contains the window (its window manager's frame included) or lies inside it (without the
// window's invisible borders); anything else is taken as relative, to a content that begins where the toolkit
// says its drawn margins end, or, where it says nothing, centred in the window.
Placement PlacementFor(const Extents& top_level, const TopLevelWindow& window);
Offset OffsetFor(const Placement& placement, const Rectangle& window_rect);

// The extents on the screen, saturated to 32 bits; none when they hold no pixel.
std::optional<Rectangle> OnScreen(const Extents& extents, Offset offset);
bool Holds(const Extents& extents, Offset offset, Point point);
// A screen point in the toolkit's own coordinates; none when it does not fit its 32 bits.
std::optional<Point> Reported(Point pointer, Offset offset);

// One application's top-level element, with what the bus reported of it.
struct TopLevelCandidate {
    std::size_t index = 0;  // the caller's own, to tell which was chosen
    std::optional<Extents> extents;
};

// Whether the candidates are known to belong to the window's owner (by its process id), or are merely every
// application's.
enum class Ownership { kOwner, kAnyApplication };

// Asks a candidate's name, once at most; none when it could not be asked.
using TopLevelName = std::function<std::optional<std::string>(const TopLevelCandidate&)>;

// The index of the top-level element that stands for `window`: by extents first (where it lies beats its size
// alone, which is all a toolkit that reports relative extents can show), by title where several fit. Among
// the owner's elements, the title alone decides where none fits. Searching every application, extents alone
// cannot tell a window from another program's that it overlaps, so an element must both lie where the window
// is and carry its title (its size alone would match another program's window of that size and title), and a
// window without a title has none.
std::optional<std::size_t> FindTopLevel(const std::vector<TopLevelCandidate>& candidates,
                                        const TopLevelWindow& window,
                                        Ownership ownership,
                                        const TopLevelName& name_of);

}  // namespace hovermark::atspi
