// The look-inside switch: the check box and F7 turn the inspection of the elements inside windows on and off.
#include <string>

#include "main_window/main_window.h"

namespace hovermark {
namespace {

constexpr std::string_view kLookInsideProblemTitle = "Hovermark";

}  // namespace

// When the elements cannot be shown, the switch goes back off before the user is told why, once for this
// attempt. Setting it off runs this handler again, which finds the mode already off and does nothing.
void frmGlintrix::chkInside_Click() {
    const bool on = chkInside->Value() == kChecked;
    if (const std::optional<std::string> problem = inspection_.SetLookInside(on)) {
        chkInside->SetValue(kUnchecked);
        toolkit_.ShowMessageBox(*problem, kMessageBoxInformation, std::string(kLookInsideProblemTitle));
    }
}

}  // namespace hovermark
