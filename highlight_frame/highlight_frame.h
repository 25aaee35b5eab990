// The red frame around the inspected window: four bars laid over its outermost pixels, placed, shown and
// hidden together, with a thickness the user picks on the slider.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "highlight_frame/border_window.h"
#include "main_window/toolkit/controls.h"
#include "main_window/toolkit/form_toolkit.h"
#include "window_inspection/window_system.h"

namespace hovermark {

class HighlightFrame {
  public:
    HighlightFrame(Toolkit& toolkit,
                   WindowSystem& window_system,
                   FormPeer& main_form,
                   CheckBox& chkBorder,
                   Slider& sldBorderWidth);

    // Frame on: the bars stand around TargetRect with thickness BorderWidth at the top of the topmost band,
    // shown; if they had been hidden the main window gets the focus. Frame off: the bars are hidden.
    void UpdateBorder();
    // Takes the slider's value as the thickness, sizes the bars to it (also while hidden), then updates.
    void sldBorderWidth_Change();

    // The bars in the order in which they are always created, shown, hidden, placed and unloaded.
    std::array<frmBorder*, 4> Bars() const;
    // The four references, in that order, whether they hold a bar or not.
    std::array<std::unique_ptr<frmBorder>*, 4> BarReferences();
    // Shows or hides all four, in order, without looking at their current state.
    void SetBarsVisible(bool visible);

    // Owned by the main window's lifecycle: created at load, unloaded at unload.
    std::unique_ptr<frmBorder> BorderTop;
    std::unique_ptr<frmBorder> BorderBottom;
    std::unique_ptr<frmBorder> BorderLeft;
    std::unique_ptr<frmBorder> BorderRight;

    // The inspected window's rectangle, written by the inspection cycle.
    Rectangle TargetRect{};
    // Thickness in pixels: the slider's last value as seen by sldBorderWidth_Change.
    std::int32_t BorderWidth = 0;

  private:
    void PlaceBars();

    Toolkit& toolkit_;
    WindowSystem& window_system_;
    FormPeer& main_form_;
    CheckBox& chkBorder_;
    Slider& sldBorderWidth_;
};

// A bar's size in twips for a thickness in pixels: the product in double precision, handed on in single
// precision. A product that single precision cannot hold raises Overflow.
float PixelsToTwips(std::int32_t pixels, float twips_per_pixel);

}  // namespace hovermark
