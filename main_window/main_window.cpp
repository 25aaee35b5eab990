#include "main_window/main_window.h"

namespace hovermark {

frmGlintrix::frmGlintrix(Toolkit& toolkit,
                         WindowSystem& window_system,
                         ElementSystem* element_system,
                         bool wayland_session,
                         LocatorPorts locator_ports)
    : FormEvents(toolkit),
      toolkit_(toolkit),
      window_system_(window_system),
      wayland_session_(wayland_session),
      form_(toolkit.CreateForm(element_system != nullptr ? kLookInsideWindowDesign : kMainWindowDesign, *this)),
      chkOnTop(form_->CheckBoxAt(IndexOf(ControlId::chkOnTop)), [this] { chkOnTop_Click(); }),
      chkBorder(form_->CheckBoxAt(IndexOf(ControlId::chkBorder)), [this] { chkBorder_Click(); }),
      sldBorderWidth(form_->SliderAt(IndexOf(ControlId::sldBorderWidth)), [this] { sldBorderWidth_Change(); }),
      optPlay(form_->OptionButtonAt(IndexOf(ControlId::optPlay)), option_group_),
      optPause(form_->OptionButtonAt(IndexOf(ControlId::optPause)), option_group_),
      lstInfo(form_->ReportListAt(IndexOf(ControlId::lstInfo))),
      frame_(toolkit, window_system, *form_, chkBorder, sldBorderWidth),
      inspection_(window_system, lstInfo, optPlay, frame_, element_system),
      locator_check_(locator_ports.dialects, window_system, locator_ports.enumeration, element_system) {
    if (element_system != nullptr) {
        chkInside.emplace(form_->CheckBoxAt(IndexOf(ControlId::chkInside)), [this] { chkInside_Click(); });
    }
}

frmGlintrix::~frmGlintrix() = default;

void frmGlintrix::OnControlEvent(ControlIndex control) {
    switch (static_cast<ControlId>(control)) {
        case ControlId::chkOnTop:
            chkOnTop.ChangedByUser();
            break;
        case ControlId::chkBorder:
            chkBorder.ChangedByUser();
            break;
        case ControlId::sldBorderWidth:
            sldBorderWidth.ChangedByUser();
            break;
        // A click selects the button; selecting it again changes nothing. The group clears the other one.
        case ControlId::optPlay:
            optPlay.SetValue(kTrue);
            break;
        case ControlId::optPause:
            optPause.SetValue(kTrue);
            break;
        case ControlId::cmdCopy:
            cmdCopy_Click();
            break;
        case ControlId::cmdHelp:
            cmdHelp_Click();
            break;
        case ControlId::cmdLocator:
            cmdLocator_Click();
            break;
        case ControlId::cmdClose:
            cmdClose_Click();
            break;
        case ControlId::tmrMain:
            tmrMain_Timer();
            break;
        case ControlId::chkInside:
            if (chkInside) {
                chkInside->ChangedByUser();
            }
            break;
        case ControlId::lstInfo:
        case ControlId::Count:
            break;
    }
}

}  // namespace hovermark
