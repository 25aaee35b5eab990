// Which top-level element stands for a window, and how a toolkit's reported extents become screen pixels, on
// the reports real toolkits give and on hostile ones.
#include <gtest/gtest.h>

#include "platform/atspi/top_level_match.h"

namespace hovermark::atspi {
namespace {

TopLevelWindow Window(Rectangle rect, std::string title, std::optional<Insets> margins = std::nullopt) {
    return {.top_level = 7, .pid = 42, .rect = rect, .title = std::move(title), .drawn_margins = margins};
}

// Where a child reported at (17, 51) lands on the screen, for each way a toolkit reports.
TEST(TopLevelMatch, PlacementFollowsEachToolkitsCoordinates) {
    const Rectangle at = {440, 412, 840, 612};  // an X window of 400 x 200
    struct Case {
        const char* what;
        Extents top_level;
        std::optional<Insets> margins;
        Point child_on_screen;
    } cases[] = {
        {"screen coordinates, framed by a window manager", {430, 390, 420, 232}, std::nullopt, {17, 51}},
        {"screen coordinates, without invisible borders", {444, 416, 392, 192}, std::nullopt, {17, 51}},
        {"relative to the window", {0, 0, 400, 200}, std::nullopt, {457, 463}},
        {"relative to a content inside an even resize border", {0, 0, 390, 190}, std::nullopt, {462, 468}},
        {"relative to a content inside a shadow it tells of", {0, 0, 354, 144}, Insets{23, 23, 20, 36}, {480, 483}},
        {"relative, a shadow told wrong: the border guessed", {0, 0, 390, 190}, Insets{1, 2, 3, 4}, {462, 468}},
        {"relative, a top level that says it begins elsewhere", {3, 4, 400, 200}, std::nullopt, {454, 459}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const Placement placement = PlacementFor(test.top_level, Window(at, "W", test.margins));
        const Offset offset = OffsetFor(placement, at);
        const std::optional<Rectangle> child = OnScreen({17, 51, 10, 10}, offset);
        ASSERT_TRUE(child.has_value());
        EXPECT_EQ((Point{child->Left, child->Top}), test.child_on_screen);
        // A point asked goes back to the toolkit's own coordinates and holds the child it came from.
        EXPECT_EQ(Reported(test.child_on_screen, offset), (Point{17, 51}));
        EXPECT_TRUE(Holds({17, 51, 10, 10}, offset, test.child_on_screen));
        // The window moved: the same placement, the offset follows it.
        const Rectangle moved = {at.Left + 100, at.Top + 50, at.Right + 100, at.Bottom + 50};
        const Offset later = OffsetFor(placement, moved);
        EXPECT_EQ(later.dx - offset.dx, placement.relative ? 100 : 0);
    }
    // Hostile values never overflow: nothing shows, or it is saturated.
    EXPECT_EQ(OnScreen({INT32_MAX, 0, 10, 10}, {INT32_MAX, 0})->Left, INT32_MAX);
    EXPECT_FALSE(OnScreen({0, 0, -5, 10}, {}).has_value());
    EXPECT_FALSE(Reported({0, 0}, {INT64_C(1) << 40, 0}).has_value());
}

// By place first, then by title; among every application's, only one that both fits and carries the title.
TEST(TopLevelMatch, TheWindowsOwnTopLevelIsFoundAndNoOtherProgramsIsTaken) {
    const Rectangle rect = {100, 100, 500, 400};
    int asked = 0;
    const std::vector<std::string> names = {"Other", "Editor", "Editor"};
    const TopLevelName name_of = [&](const TopLevelCandidate& candidate) {
        ++asked;
        return std::optional<std::string>(names[candidate.index]);
    };
    const std::vector<TopLevelCandidate> owner = {
        {.index = 0, .extents = Extents{0, 0, 400, 300}},      // relative, the right size
        {.index = 1, .extents = Extents{100, 100, 400, 300}},  // where the window is
        {.index = 2, .extents = std::nullopt},
    };
    EXPECT_EQ(FindTopLevel(owner, Window(rect, "Editor"), Ownership::kOwner, name_of), 1U);
    EXPECT_EQ(asked, 0) << "one that fits alone needs no title";
    // Nothing fits: the owner's element with the title.
    const std::vector<TopLevelCandidate> none_fits = {{.index = 0, .extents = std::nullopt},
                                                      {.index = 2, .extents = Extents{900, 900, 5, 5}}};
    EXPECT_EQ(FindTopLevel(none_fits, Window(rect, "Editor"), Ownership::kOwner, name_of), 2U);
    // Another program's element that overlaps the window is not taken without the title, nor anything for a
    // window without one.
    const std::vector<TopLevelCandidate> others = {{.index = 0, .extents = Extents{100, 100, 400, 300}}};
    EXPECT_EQ(FindTopLevel(others, Window(rect, "Editor"), Ownership::kAnyApplication, name_of), std::nullopt);
    EXPECT_EQ(FindTopLevel(others, Window(rect, ""), Ownership::kAnyApplication, name_of), std::nullopt);
    EXPECT_EQ(FindTopLevel(owner, Window(rect, "Editor"), Ownership::kAnyApplication, name_of), 1U);
    // Of the window's size and title, but reported relative to its own window: another program's, as likely.
    const std::vector<TopLevelCandidate> same_size = {{.index = 1, .extents = Extents{0, 0, 400, 300}}};
    EXPECT_EQ(FindTopLevel(same_size, Window(rect, "Editor"), Ownership::kAnyApplication, name_of), std::nullopt);
    EXPECT_EQ(FindTopLevel(same_size, Window(rect, "Editor"), Ownership::kOwner, name_of), 1U);
    // A name that cannot be asked matches no title.
    const TopLevelName unanswered = [](const TopLevelCandidate&) { return std::optional<std::string>(); };
    EXPECT_EQ(FindTopLevel(none_fits, Window(rect, "Editor"), Ownership::kOwner, unanswered), std::nullopt);
}

}  // namespace
}  // namespace hovermark::atspi
