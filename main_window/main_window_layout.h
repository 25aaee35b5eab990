// The main window's design values, once: every front end builds the window from this table.
#pragma once

#include <array>
#include <cstdint>

#include "main_window/toolkit/form_design.h"

namespace hovermark {

// Positions in the main window's control table (kMainWindowControls).
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
    Count,
};

inline constexpr ControlIndex IndexOf(ControlId id) {
    return static_cast<ControlIndex>(id);
}

inline constexpr std::size_t kMainWindowControlCount = IndexOf(ControlId::Count);

extern const std::array<ControlDesign, kMainWindowControlCount> kMainWindowControls;
extern const std::array<ColumnDesign, 3> kInfoListColumns;
extern const FormDesign kMainWindowDesign;

}  // namespace hovermark
