#include "platform/atspi/top_level_match.h"

#include <algorithm>
#include <limits>

namespace hovermark::atspi {
namespace {

std::int32_t Saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// A window manager's frame, or a toolkit's own shadow and resize border, is no wider than this on any side.
constexpr std::int64_t kFrameMargin = 64;

std::int64_t WidthOf(const Rectangle& rect) {
    return std::int64_t{rect.Right} - rect.Left;
}

std::int64_t HeightOf(const Rectangle& rect) {
    return std::int64_t{rect.Bottom} - rect.Top;
}

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

bool ReportsCorrectly(const Extents& extents, const Rectangle& window) {
    return Contains(extents, window) || Inside(extents, window);
}

// Where a relative toolkit's content begins inside the window: where the margins it says it draws end; where it
// says nothing, the content of the top-level element's size centred in the window (GTK 4 draws an even resize
// border round a window with a header bar). None when the element's size cannot be the window's content.
std::optional<Offset> ContentInset(const Extents& extents, const TopLevelWindow& window) {
    const std::int64_t spare_width = WidthOf(window.rect) - extents.width;
    const std::int64_t spare_height = HeightOf(window.rect) - extents.height;
    if (window.drawn_margins) {
        const Insets& margins = *window.drawn_margins;
        if (spare_width == std::int64_t{margins.left} + margins.right &&
            spare_height == std::int64_t{margins.top} + margins.bottom) {
            return Offset{margins.left, margins.top};
        }
    }
    if (spare_width < 0 || spare_height < 0 || spare_width > 2 * kFrameMargin || spare_height > 2 * kFrameMargin ||
        spare_width % 2 != 0 || spare_height % 2 != 0 || spare_width != spare_height) {
        return std::nullopt;
    }
    return Offset{spare_width / 2, spare_height / 2};
}

// How a top-level element's reported rectangle fits the window: where it lies, seen by a correct toolkit, or
// only its size, as a toolkit that reports relative to the window sees it.
enum class Fit { kNone, kSize, kPosition };

Fit FitOf(const Extents& extents, const TopLevelWindow& window) {
    if (ReportsCorrectly(extents, window.rect)) {
        return Fit::kPosition;
    }
    return extents.width > 0 && extents.height > 0 && ContentInset(extents, window) ? Fit::kSize : Fit::kNone;
}

}  // namespace

Placement PlacementFor(const Extents& top_level, const TopLevelWindow& window) {
    if (ReportsCorrectly(top_level, window.rect)) {
        return {};
    }
    const Offset inset = ContentInset(top_level, window).value_or(Offset{});
    // Measured from where the top level says it begins, which a relative toolkit puts at its content's origin.
    return {.relative = true, .inner = {inset.dx - top_level.x, inset.dy - top_level.y}};
}

Offset OffsetFor(const Placement& placement, const Rectangle& window_rect) {
    if (!placement.relative) {
        return {};
    }
    return {window_rect.Left + placement.inner.dx, window_rect.Top + placement.inner.dy};
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

std::optional<std::size_t> FindTopLevel(const std::vector<TopLevelCandidate>& candidates,
                                        const TopLevelWindow& window,
                                        Ownership ownership,
                                        const TopLevelName& name_of) {
    std::vector<std::optional<std::optional<std::string>>> names(candidates.size());  // asked once, when needed
    const auto has_title = [&](std::size_t at) {
        if (!names[at]) {
            names[at] = name_of(candidates[at]);
        }
        return !window.title.empty() && *names[at] == window.title;
    };
    // The best fit any element reaches, then the elements that reach it.
    std::vector<Fit> fits;
    fits.reserve(candidates.size());
    for (std::size_t at = 0; at < candidates.size(); ++at) {
        Fit by_extents = candidates[at].extents ? FitOf(*candidates[at].extents, window) : Fit::kNone;
        // Another program's window of the same size and title is as likely as this one: among every
        // application's, only where it lies can tell.
        if (ownership == Ownership::kAnyApplication && by_extents == Fit::kSize) {
            by_extents = Fit::kNone;
        }
        fits.push_back(by_extents == Fit::kNone || ownership == Ownership::kOwner || has_title(at) ? by_extents
                                                                                                   : Fit::kNone);
    }
    const Fit best = fits.empty() ? Fit::kNone : *std::max_element(fits.begin(), fits.end());
    std::vector<std::size_t> among;
    for (std::size_t at = 0; at < candidates.size(); ++at) {
        if (best == Fit::kNone ? ownership == Ownership::kOwner : fits[at] == best) {
            among.push_back(at);
        }
    }
    // One that fits alone needs no title: its name is not asked.
    if (best != Fit::kNone && among.size() == 1) {
        return candidates[among.front()].index;
    }
    const auto titled = std::find_if(among.begin(), among.end(), has_title);
    if (titled != among.end()) {
        return candidates[*titled].index;
    }
    if (best != Fit::kNone && !among.empty()) {
        return candidates[among.front()].index;
    }
    return std::nullopt;
}

}  // namespace hovermark::atspi
