// The main window's design values, once: every front end builds the window from this table.
#pragma once

#include <array>
#include <cstdint>

#include "main_window/toolkit/form_design.h"

namespace hovermark {

// Positions in the main window's control tables. The look-inside switch exists only in the window of a program
// that can look inside other windows; it comes last, so every other control has the same position in both.
enum class ControlId : ControlIndex {
    chkOnTop,
    chkBorder,
    sldBorderWidth,
    optPlay,
    optPause,
    cmdCopy,
    cmdHelp,
    cmdClose,
    lstInfo,
    tmrMain,
    cmdLocator,
    chkInside,
    Count,
};

inline constexpr ControlIndex IndexOf(ControlId id) {
    return static_cast<ControlIndex>(id);
}

inline constexpr std::size_t kMainWindowControlCount = IndexOf(ControlId::chkInside);
inline constexpr std::size_t kLookInsideWindowControlCount = IndexOf(ControlId::Count);

extern const std::array<ControlDesign, kMainWindowControlCount> kMainWindowControls;
extern const std::array<ControlDesign, kLookInsideWindowControlCount> kLookInsideWindowControls;
extern const std::array<ColumnDesign, 3> kInfoListColumns;
extern const FormDesign kMainWindowDesign;
// The same window with the look-inside switch in the bottom row, between the slider and the play button.
extern const FormDesign kLookInsideWindowDesign;

}  // namespace hovermark
