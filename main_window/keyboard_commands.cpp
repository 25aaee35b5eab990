// The main window's shortcuts and the commands they reach. The window sees every key before the focused
// control; nothing here consumes a key.
#include "main_window/clipboard_report.h"
#include "main_window/help_text.h"
#include "main_window/main_window.h"
#include "window_inspection/checked_int32.h"

namespace hovermark {
namespace {

// Characters, not keys: the keypad's signs type the same characters as the main keyboard's.
constexpr std::int16_t kCharMinus = '-';
constexpr std::int16_t kCharPlus = '+';

}  // namespace

void frmGlintrix::Form_KeyDown(std::int16_t KeyCode, std::int16_t Shift) {
    switch (KeyCode) {
        case kVkPause:
        case kVkP:
            TogglePause();
            break;
        case kVkF1:
            cmdHelp_Click();
            break;
        // Only a program that can look inside windows has the key.
        case kVkF7:
            if (chkInside) {
                ToggleCheckBox(*chkInside);
            }
            break;
        case kVkF8:
            ToggleCheckBox(chkOnTop);
            break;
        case kVkF9:
            ToggleCheckBox(chkBorder);
            break;
        case kVkC:
            if ((Shift & kCtrlMask) != 0) {
                cmdCopy_Click();
            }
            break;
        case kVkL:
            if ((Shift & kCtrlMask) != 0) {
                cmdLocator_Click();
            }
            break;
        default:
            break;
    }
}

void frmGlintrix::Form_KeyPress(std::int16_t KeyAscii) {
    if (KeyAscii == kCharMinus) {
        if (sldBorderWidth.Value() > sldBorderWidth.Min()) {
            sldBorderWidth.SetValue(CheckedSub(sldBorderWidth.Value(), 1));
        }
    } else if (KeyAscii == kCharPlus) {
        if (sldBorderWidth.Value() < sldBorderWidth.Max()) {
            sldBorderWidth.SetValue(CheckedAdd(sldBorderWidth.Value(), 1));
        }
    }
}

// The next tick acts on the new state.
void frmGlintrix::TogglePause() {
    if (optPause.Value() == kTrue) {
        optPlay.SetValue(kTrue);
    } else {
        optPause.SetValue(kTrue);
    }
}

// A grayed box becomes checked. Setting the value runs the box's click handler.
void frmGlintrix::ToggleCheckBox(CheckBox& box) {
    box.SetValue(box.Value() == kChecked ? kUnchecked : kChecked);
}

void frmGlintrix::cmdHelp_Click() {
    toolkit_.ShowMessageBox(HelpPrompt({.can_look_inside = chkInside.has_value(), .wayland_session = wayland_session_}),
                            kMessageBoxInformation, std::string(kHelpTitle));
}

// The clipboard stays empty while the report is built.
void frmGlintrix::cmdCopy_Click() {
    toolkit_.ClearClipboard();
    toolkit_.SetClipboardText(BuildClipboardReport(lstInfo));
}

}  // namespace hovermark
