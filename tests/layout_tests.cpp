// Invariants of the main window's design table that every front end relies on when it builds the window.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "main_window/main_window_layout.h"
#include "main_window/pictures.h"

namespace hovermark {
namespace {

// The window without and with the look-inside switch; every invariant holds for both.
const std::array<const FormDesign*, 2> kDesigns{&kMainWindowDesign, &kLookInsideWindowDesign};

std::vector<std::string> TabOrder(const FormDesign& design) {
    std::vector<const ControlDesign*> in_tab_order;
    for (const ControlDesign& control : design.controls) {
        if (control.tab_index >= 0) {
            in_tab_order.push_back(&control);
        }
    }
    std::sort(in_tab_order.begin(), in_tab_order.end(),
              [](const ControlDesign* a, const ControlDesign* b) { return a->tab_index < b->tab_index; });
    std::vector<std::string> order;
    for (std::size_t i = 0; i < in_tab_order.size(); ++i) {
        EXPECT_EQ(in_tab_order[i]->tab_index, static_cast<std::int32_t>(i)) << "tab indexes are 0..n-1 without gaps";
        order.emplace_back(in_tab_order[i]->name);
    }
    return order;
}

void ExpectControlsFitWithoutOverlapping(const FormDesign& design) {
    std::vector<const ControlDesign*> visible;
    for (const ControlDesign& control : design.controls) {
        if (control.kind != ControlKind::Timer) {
            visible.push_back(&control);
        }
    }
    for (const ControlDesign* control : visible) {
        EXPECT_GE(control->left, 0) << control->name;
        EXPECT_GE(control->top, 0) << control->name;
        EXPECT_LE(control->left + control->width, design.client_width) << control->name;
        EXPECT_LE(control->top + control->height, design.client_height) << control->name;
        for (const ControlDesign* other : visible) {
            if (other == control) {
                continue;
            }
            const bool apart =
                control->left + control->width <= other->left || other->left + other->width <= control->left ||
                control->top + control->height <= other->top || other->top + other->height <= control->top;
            EXPECT_TRUE(apart) << control->name << " overlaps " << other->name;
        }
    }
}

TEST(MainWindowLayout, ControlIdsIndexTheirOwnEntries) {
    const std::vector<std::string> names{"chkOnTop", "chkBorder", "sldBorderWidth", "optPlay",
                                         "optPause", "cmdCopy",   "cmdHelp",        "cmdClose",
                                         "lstInfo",  "tmrMain",   "cmdLocator",     "chkInside"};
    ASSERT_EQ(names.size(), kLookInsideWindowControlCount);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(kLookInsideWindowControls[i].name, names[i]);
        if (i < kMainWindowControlCount) {
            EXPECT_EQ(kMainWindowControls[i].name, names[i]);
        }
    }
    EXPECT_EQ(kMainWindowDesign.controls.size(), kMainWindowControlCount);
    EXPECT_EQ(kMainWindowDesign.controls.data(), kMainWindowControls.data());
    EXPECT_EQ(kLookInsideWindowDesign.controls.data(), kLookInsideWindowControls.data());
    EXPECT_EQ(kLookInsideWindowDesign.caption, kMainWindowDesign.caption);
}

TEST(MainWindowLayout, TabOrderRunsFromTheFrameSwitchToStayOnTopThenLookInside) {
    std::vector<std::string> expected{"chkBorder",  "sldBorderWidth", "optPlay",  "optPause", "cmdCopy",
                                      "cmdLocator", "cmdHelp",        "cmdClose", "lstInfo",  "chkOnTop"};
    for (const FormDesign* design : kDesigns) {
        if (design == &kLookInsideWindowDesign) {
            expected.emplace_back("chkInside");
        }
        EXPECT_EQ(TabOrder(*design), expected);
    }
}

TEST(MainWindowLayout, VisibleControlsFitTheClientAreaWithoutOverlapping) {
    for (const FormDesign* design : kDesigns) {
        ExpectControlsFitWithoutOverlapping(*design);
    }
    // The bottom row keeps the same margin at both ends.
    const ControlDesign& first = kMainWindowControls[IndexOf(ControlId::chkOnTop)];
    const ControlDesign& last = kMainWindowControls[IndexOf(ControlId::cmdClose)];
    EXPECT_EQ(first.left, kMainWindowDesign.client_width - (last.left + last.width));
    // The look-inside switch stands in the middle of the gap between the slider and the play button.
    const ControlDesign& slider = kMainWindowControls[IndexOf(ControlId::sldBorderWidth)];
    const ControlDesign& play = kMainWindowControls[IndexOf(ControlId::optPlay)];
    const ControlDesign& inside = kLookInsideWindowControls[IndexOf(ControlId::chkInside)];
    EXPECT_EQ(inside.left - (slider.left + slider.width), play.left - (inside.left + inside.width));
}

TEST(MainWindowLayout, EveryPictureNamedByTheDesignExists) {
    std::vector<std::string_view> names{kMainWindowDesign.icon, kMainWindowDesign.small_icon};
    for (const ControlDesign& control : kLookInsideWindowControls) {
        if (control.graphical) {
            EXPECT_FALSE(control.picture.empty()) << control.name;
        }
        names.push_back(control.picture);
        names.push_back(control.down_picture);
    }
    for (std::string_view name : names) {
        if (!name.empty()) {
            EXPECT_NE(FindPicture(name), nullptr) << name;
        }
    }
}

TEST(MainWindowLayout, TextColumnRunsPastTheListsRightEdge) {
    const ControlDesign& list = kMainWindowControls[IndexOf(ControlId::lstInfo)];
    ASSERT_EQ(list.columns.size(), 3U);
    std::int32_t total = 0;
    for (const ColumnDesign& column : list.columns) {
        total += column.width;
    }
    EXPECT_GT(total, list.width);
}

}  // namespace
}  // namespace hovermark
