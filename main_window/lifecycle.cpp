// Start-up, shut-down and the stay-on-top setting of the main window.
#include "main_window/main_window.h"

namespace hovermark {
namespace {

using namespace window_system_constants;

constexpr std::int32_t kDefaultFrameThickness = 2;

}  // namespace

void frmGlintrix::Form_Load() {
    // The window is topmost (or not) before it is first shown.
    chkOnTop_Click();

    for (std::unique_ptr<frmBorder>* bar : frame_.BarReferences()) {
        *bar = std::make_unique<frmBorder>(toolkit_);
    }
    // The bars are shown here, at their design size, so that the thickness update below finds them shown
    // and never reaches its focus step while the main window is still hidden.
    for (frmBorder* bar : frame_.Bars()) {
        const WindowHandle handle = bar->Form().Handle();
        window_system_.SetWindowPos(handle, HWND_TOPMOST, 0, 0, 0, 0,
                                    SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    }

    sldBorderWidth.SetValue(kDefaultFrameThickness);
    sldBorderWidth_Change();
}

void frmGlintrix::Form_Unload(std::int16_t& /*Cancel*/) {
    for (std::unique_ptr<frmBorder>* bar : frame_.BarReferences()) {
        if (*bar) {
            (*bar)->Unload();
            bar->reset();
        }
    }
}

// The one way the main window goes: from the Exit button and from a close asked by the window system alike.
void frmGlintrix::Unload() {
    std::int16_t cancel = 0;
    Form_Unload(cancel);
    if (cancel == 0) {
        form_->Destroy();
    }
}

void frmGlintrix::cmdClose_Click() {
    Unload();
}

void frmGlintrix::chkOnTop_Click() {
    const WindowHandle insert_after = chkOnTop.Value() == kChecked ? HWND_TOPMOST : HWND_NOTOPMOST;
    window_system_.SetWindowPos(form_->Handle(), insert_after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

}  // namespace hovermark
