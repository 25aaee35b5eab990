// A window described as plain data: the form's design properties and one entry per control. The logic owns
// these descriptions; every front end walks them to build its native windows, so no front end re-types a
// caption, a position or a tool tip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "main_window/toolkit/control_values.h"

namespace hovermark {

// Position of a control in its form's control table; the form's events and accessors use it.
using ControlIndex = std::size_t;

enum class ControlKind {
    CheckBox,
    OptionButton,
    CommandButton,
    Slider,
    ReportList,
    Timer,
};

enum class BorderStyle {
    None,         // no title bar, no system menu, no border: the client area is the whole window
    FixedSingle,  // title bar and a thin border the user cannot drag
};

enum class StartUpPosition {
    CenterScreen,
    WindowsDefault,  // wherever the window system places a new window
};

// Outline and fill styles of the form's box drawing.
enum class DrawStyle { Solid = 0, Invisible = 5 };
enum class FillStyle { Solid = 0, Transparent = 1, DownwardDiagonal = 5 };

struct FontDesign {
    std::string_view name{};
    float points = 0;
    bool bold = false;
};

struct ColumnDesign {
    std::string_view header{};
    std::int32_t width = 0;  // twips
};

// One control. Fields that do not apply to a control's kind keep their defaults.
struct ControlDesign {
    ControlKind kind = ControlKind::CommandButton;
    std::string_view name{};
    // Position and size in twips, relative to the form's client area.
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t tab_index = -1;  // -1: not in the tab order (the timer)
    // Check box: kUnchecked / kChecked / kGrayed. Option button: kTrue / kFalse. Slider: its Value.
    std::int32_t initial_value = 0;
    std::string_view caption{};
    std::string_view tool_tip{};
    FontDesign font{};
    // Graphical buttons show a picture instead of the caption; pixels of the mask colour are transparent.
    bool graphical = false;
    std::string_view picture{};
    std::string_view down_picture{};  // shown while a graphical check box is checked
    ColorValue mask_color = 0;
    // Report list.
    std::span<const ColumnDesign> columns{};
    ColorValue fore_color = 0;
    ColorValue back_color = 0;
    // Slider.
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t small_change = 0;
    std::int32_t large_change = 0;
    std::int32_t tick_frequency = 0;
    // Timer.
    std::int32_t interval_ms = 0;
    bool enabled = false;
};

struct FormDesign {
    std::string_view caption{};
    BorderStyle border_style = BorderStyle::FixedSingle;
    std::int32_t client_width = 0;  // twips
    std::int32_t client_height = 0;
    StartUpPosition start_up_position = StartUpPosition::WindowsDefault;
    ColorValue back_color = 0;
    ColorValue fore_color = 0;
    DrawStyle draw_style = DrawStyle::Solid;
    FillStyle fill_style = FillStyle::Transparent;
    ColorValue fill_color = 0;
    bool show_in_taskbar = true;
    // The form sees every key before the focused control, which still gets it unchanged afterwards.
    bool key_preview = false;
    FontDesign font{};
    std::string_view icon{};  // picture names; empty: no icon
    std::string_view small_icon{};
    std::span<const ControlDesign> controls{};
};

}  // namespace hovermark
