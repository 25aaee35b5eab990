// The main window: owner of every control, of the four frame bars and of all state of the run. Its handlers
// are the program's logic; the work of the larger ones lives in the subsystem each belongs to.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "highlight_frame/highlight_frame.h"
#include "main_window/locator_check.h"
#include "main_window/main_window_layout.h"
#include "main_window/toolkit/controls.h"
#include "main_window/toolkit/form_toolkit.h"
#include "window_inspection/element_system.h"
#include "window_inspection/inspection_cycle.h"
#include "window_inspection/window_system.h"

namespace hovermark {

// What copying a locator needs of the system: the frameworks its rows are written for, and the enumeration of
// windows their check reads. Without them, Ctrl+L copies nothing.
struct LocatorPorts {
    LocatorDialects dialects;
    WindowEnumeration* enumeration = nullptr;
};

class frmGlintrix final : public FormEvents {
  public:
    // Creates the window and its controls with their design values, hidden and not yet loaded. Without an
    // element system the user cannot look inside windows. In a Wayland session the help says what the program
    // cannot see there.
    frmGlintrix(Toolkit& toolkit,
                WindowSystem& window_system,
                ElementSystem* element_system = nullptr,
                bool wayland_session = false,
                LocatorPorts locator_ports = {});
    frmGlintrix(const frmGlintrix&) = delete;
    frmGlintrix& operator=(const frmGlintrix&) = delete;
    ~frmGlintrix() override;

    FormPeer& Form() { return *form_; }

    // Read-only views of the run's state, for the program's own checks.
    const HighlightFrame& Frame() const { return frame_; }
    const InspectionCycle& Inspection() const { return inspection_; }

  protected:
    void OnLoad() override { Form_Load(); }
    void OnKeyDown(std::int16_t key_code, std::int16_t shift) override { Form_KeyDown(key_code, shift); }
    void OnKeyPress(std::int16_t key_ascii) override { Form_KeyPress(key_ascii); }
    void OnCloseRequested() override { Unload(); }
    void OnControlEvent(ControlIndex control) override;

  private:
    // Lifecycle and stay-on-top.
    void Form_Load();
    void Form_Unload(std::int16_t& Cancel);
    void Unload();
    void cmdClose_Click();
    void chkOnTop_Click();

    // Looking inside windows.
    void chkInside_Click();

    // Inspection and frame.
    void tmrMain_Timer();
    void chkBorder_Click() { frame_.UpdateBorder(); }
    void sldBorderWidth_Change() { frame_.sldBorderWidth_Change(); }

    // Commands and keys.
    void Form_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    void Form_KeyPress(std::int16_t KeyAscii);
    void cmdHelp_Click();
    void cmdCopy_Click();
    void cmdLocator_Click();
    // Copies the locator and shows what its check found, once the check has ended.
    void TakeLocator();
    void TogglePause();
    static void ToggleCheckBox(CheckBox& box);

    Toolkit& toolkit_;
    WindowSystem& window_system_;
    bool wayland_session_;
    std::unique_ptr<FormPeer> form_;

    OptionGroup option_group_;
    CheckBox chkOnTop;
    CheckBox chkBorder;
    Slider sldBorderWidth;
    OptionButton optPlay;
    OptionButton optPause;
    // Only in a program that can look inside windows.
    std::optional<CheckBox> chkInside;
    ReportListPeer& lstInfo;

    HighlightFrame frame_;
    InspectionCycle inspection_;
    LocatorCheck locator_check_;
};

}  // namespace hovermark
