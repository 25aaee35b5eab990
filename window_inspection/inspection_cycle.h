// The timer's work: on every tick decide which window is inspected, rebuild the list when that window
// changes, keep the frame on it, and mark it once when it has vanished.
#pragma once

#include <string_view>

#include "highlight_frame/highlight_frame.h"
#include "main_window/toolkit/controls.h"
#include "main_window/toolkit/form_toolkit.h"
#include "window_inspection/window_system.h"

namespace hovermark {

inline constexpr std::string_view kDestroyedRowText = "Destroyed!";
inline constexpr std::string_view kDestroyedExplanation = "This control or window does not exist any more.";
inline constexpr ColorValue kDestroyedRowColor = Rgb(255, 0, 0);
inline constexpr ColorValue kDestroyedExplanationColor = Rgb(64, 0, 0);

class InspectionCycle {
  public:
    InspectionCycle(WindowSystem& window_system, ReportListPeer& lstInfo, OptionButton& optPlay, HighlightFrame& frame);

    void tmrMain_Timer();

    // The window inspected at the previous tick; 0 before the first.
    WindowHandle LastHandle = 0;
    // The "Destroyed!" rows have been added for the current window.
    Boolean DestroyedShown = kFalse;

  private:
    bool IsFrameBar(WindowHandle window) const;
    void MarkVanishedWindow();

    WindowSystem& window_system_;
    ReportListPeer& lstInfo_;
    OptionButton& optPlay_;
    HighlightFrame& frame_;
};

}  // namespace hovermark
