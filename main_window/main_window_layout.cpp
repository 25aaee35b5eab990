#include "main_window/main_window_layout.h"

#include <algorithm>
#include <span>

#include "main_window/pictures.h"

namespace hovermark {
namespace {

// The bottom row of controls: all 615 x 375 twips on one line, 120 twips in from both edges.
constexpr std::int32_t kRowTop = 4080;
constexpr std::int32_t kButtonWidth = 615;
constexpr std::int32_t kRowHeight = 375;

constexpr FontDesign kWindowFont{"Courier New", 9.75F, false};
constexpr FontDesign kListFont{"Courier New", 9.0F, false};

constexpr ColorValue kButtonFace = SystemColor(kColorButtonFace);
constexpr ColorValue kButtonText = SystemColor(kColorButtonText);
constexpr ColorValue kWindowText = SystemColor(kColorWindowText);
constexpr ColorValue kWindowBackground = SystemColor(kColorWindow);

constexpr ColorValue kWhiteMask = 0x00FFFFFF;
constexpr ColorValue kLightGreyMask = 0x00C0C0C0;
constexpr ColorValue kCyanMask = 0x00FFFF00;

template <std::size_t N>
constexpr std::array<ControlDesign, N + 1> WithControl(const std::array<ControlDesign, N>& controls,
                                                       const ControlDesign& added) {
    std::array<ControlDesign, N + 1> all{};
    std::copy(controls.begin(), controls.end(), all.begin());
    all.back() = added;
    return all;
}

}  // namespace

const std::array<ColumnDesign, 3> kInfoListColumns{{
    {"Class name", 2550},
    {"hWnd", 1000},
    {"Text", 8535},
}};

namespace {

constexpr std::array<ControlDesign, kMainWindowControlCount> kCommonControls{{
    {.kind = ControlKind::CheckBox,
     .name = "chkOnTop",
     .left = 120,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 9,
     .initial_value = kChecked,
     .tool_tip = "Stay on top (press F8 key)",
     .font = kWindowFont,
     .graphical = true,
     .picture = pictures::kPinSide,
     .down_picture = pictures::kPinTop,
     .mask_color = kWhiteMask},
    {.kind = ControlKind::CheckBox,
     .name = "chkBorder",
     .left = 960,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 0,
     .initial_value = kChecked,
     .tool_tip = "Show frame around the control or window (press F9 key)",
     .font = kWindowFont,
     .graphical = true,
     .picture = pictures::kFrameOff,
     .down_picture = pictures::kFrameOn,
     .mask_color = kLightGreyMask},
    {.kind = ControlKind::Slider,
     .name = "sldBorderWidth",
     .left = 1620,
     .top = kRowTop,
     .width = 855,
     .height = kRowHeight,
     .tab_index = 1,
     .initial_value = 2,
     .tool_tip = "Adjust the size of the frame border (press + or - key)",
     .min = 1,
     .max = 4,
     .small_change = 1,
     .large_change = 1,
     .tick_frequency = 1},
    {.kind = ControlKind::OptionButton,
     .name = "optPlay",
     .left = 4980,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 2,
     .initial_value = kTrue,
     .tool_tip = "Continue  (press Pause or P key)",
     .font = kWindowFont,
     .graphical = true,
     .picture = pictures::kPlay,
     .mask_color = kWhiteMask},
    {.kind = ControlKind::OptionButton,
     .name = "optPause",
     .left = 5700,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 3,
     .initial_value = kFalse,
     .tool_tip = "Pause  (press Pause or P key)",
     .font = kWindowFont,
     .graphical = true,
     .picture = pictures::kPause,
     .mask_color = kWhiteMask},
    {.kind = ControlKind::CommandButton,
     .name = "cmdCopy",
     .left = 8820,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 4,
     .tool_tip = "Copy to clipboard (press Ctrl + C keys)",
     .font = kWindowFont,
     .graphical = true,
     .picture = pictures::kCopy,
     .mask_color = kCyanMask},
    {.kind = ControlKind::CommandButton,
     .name = "cmdHelp",
     .left = 9660,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 6,
     .tool_tip = "Help (press F1 key)",
     .font = kWindowFont,
     .graphical = true,
     .picture = pictures::kHelp,
     .mask_color = kLightGreyMask},
    {.kind = ControlKind::CommandButton,
     .name = "cmdClose",
     .left = 10500,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 7,
     .caption = "Exit",
     .tool_tip = "Close this program (press Alt + F4 keys)",
     .font = kListFont},
    {.kind = ControlKind::ReportList,
     .name = "lstInfo",
     .left = 0,
     .top = 0,
     .width = 11235,
     .height = 4035,
     .tab_index = 8,
     .font = kListFont,
     .columns = kInfoListColumns,
     .fore_color = kWindowText,
     .back_color = kWindowBackground},
    {.kind = ControlKind::Timer, .name = "tmrMain", .interval_ms = 100, .enabled = true},
    // Beside the copy button, as far left of it as the help button is right of it; next after it in the tab order.
    {.kind = ControlKind::CommandButton,
     .name = "cmdLocator",
     .left = 7980,
     .top = kRowTop,
     .width = kButtonWidth,
     .height = kRowHeight,
     .tab_index = 5,
     .tool_tip = "Copy a locator for UI tests (press Ctrl + L keys)",
     .font = kWindowFont,
     .graphical = true,
     .picture = pictures::kLocator,
     .mask_color = kCyanMask},
}};

// Centred in the gap between the slider and the play button; last in the tab order, after stay-on-top.
constexpr ControlDesign kLookInsideSwitch{.kind = ControlKind::CheckBox,
                                          .name = "chkInside",
                                          .left = 3420,
                                          .top = kRowTop,
                                          .width = kButtonWidth,
                                          .height = kRowHeight,
                                          .tab_index = 10,
                                          .initial_value = kUnchecked,
                                          .tool_tip = "Look inside windows (press F7 key)",
                                          .font = kWindowFont,
                                          .graphical = true,
                                          .picture = pictures::kInsideOff,
                                          .down_picture = pictures::kInsideOn,
                                          .mask_color = kLightGreyMask};

constexpr FormDesign MainWindowDesign(std::span<const ControlDesign> controls) {
    return {
        .caption = "Hovermark 1.1",
        .border_style = BorderStyle::FixedSingle,
        .client_width = 11235,
        .client_height = 4515,
        .start_up_position = StartUpPosition::CenterScreen,
        .back_color = kButtonFace,
        .fore_color = kButtonText,
        .draw_style = DrawStyle::Solid,
        .fill_style = FillStyle::Transparent,
        .fill_color = 0,
        .show_in_taskbar = true,
        .key_preview = true,
        .font = kWindowFont,
        .icon = pictures::kAppIcon32,
        .small_icon = pictures::kAppIcon16,
        .controls = controls,
    };
}

}  // namespace

const std::array<ControlDesign, kMainWindowControlCount> kMainWindowControls = kCommonControls;
const std::array<ControlDesign, kLookInsideWindowControlCount> kLookInsideWindowControls =
    WithControl(kCommonControls, kLookInsideSwitch);

const FormDesign kMainWindowDesign = MainWindowDesign(kMainWindowControls);
const FormDesign kLookInsideWindowDesign = MainWindowDesign(kLookInsideWindowControls);

}  // namespace hovermark
