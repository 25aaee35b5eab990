#include "highlight_frame/highlight_frame.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "window_inspection/checked_int32.h"

namespace hovermark {
namespace {

constexpr std::array kBarOrder{&HighlightFrame::BorderTop, &HighlightFrame::BorderBottom, &HighlightFrame::BorderLeft,
                               &HighlightFrame::BorderRight};

frmBorder& Existing(const std::unique_ptr<frmBorder>& bar) {
    if (!bar) {
        throw RuntimeError::ObjectNotSet();
    }
    return *bar;
}

}  // namespace

float PixelsToTwips(std::int32_t pixels, float twips_per_pixel) {
    const double twips = static_cast<double>(pixels) * static_cast<double>(twips_per_pixel);
    if (!std::isfinite(twips) || std::fabs(twips) > static_cast<double>(std::numeric_limits<float>::max())) {
        throw RuntimeError::Overflow();
    }
    return static_cast<float>(twips);
}

HighlightFrame::HighlightFrame(Toolkit& toolkit,
                               WindowSystem& window_system,
                               FormPeer& main_form,
                               CheckBox& chkBorder,
                               Slider& sldBorderWidth)
    : toolkit_(toolkit),
      window_system_(window_system),
      main_form_(main_form),
      chkBorder_(chkBorder),
      sldBorderWidth_(sldBorderWidth) {}

std::array<frmBorder*, 4> HighlightFrame::Bars() const {
    std::array<frmBorder*, 4> bars{};
    std::transform(kBarOrder.begin(), kBarOrder.end(), bars.begin(),
                   [this](auto reference) { return &Existing(this->*reference); });
    return bars;
}

std::array<std::unique_ptr<frmBorder>*, 4> HighlightFrame::BarReferences() {
    std::array<std::unique_ptr<frmBorder>*, 4> references{};
    std::transform(kBarOrder.begin(), kBarOrder.end(), references.begin(),
                   [this](auto reference) { return &(this->*reference); });
    return references;
}

void HighlightFrame::SetBarsVisible(bool visible) {
    for (frmBorder* bar : Bars()) {
        bar->Form().SetVisible(visible);
    }
}

void HighlightFrame::UpdateBorder() {
    if (chkBorder_.Value() != kChecked) {
        if (Existing(BorderTop).Form().Visible()) {
            SetBarsVisible(false);
        }
        return;
    }
    PlaceBars();
    if (Existing(BorderTop).Form().Visible()) {
        return;
    }
    SetBarsVisible(true);
    main_form_.SetFocus();
}

// Problem: a window lower or narrower than the thickness would give bars of negative length. Solution: the
// inner edges are clamped to the outer ones, so such bars get zero length and the bottom bar alone shows a
// w x w square at the window's top-left corner.
void HighlightFrame::PlaceBars() {
    using namespace window_system_constants;
    const auto [L, T, R, B] = TargetRect;
    const std::int32_t w = BorderWidth;
    std::int32_t b = CheckedSub(B, w);
    std::int32_t r = CheckedSub(R, w);
    if (b < T) {
        b = T;
    }
    if (r < L) {
        r = L;
    }
    const auto place = [&](const std::unique_ptr<frmBorder>& bar, std::int32_t x, std::int32_t y, std::int32_t cx,
                           std::int32_t cy) {
        const WindowHandle handle = Existing(bar).Form().Handle();
        window_system_.SetWindowPos(handle, HWND_TOPMOST, x, y, cx, cy, SWP_NOACTIVATE);
    };
    place(BorderTop, L, T, CheckedSub(r, L), w);
    place(BorderBottom, L, b, CheckedAdd(CheckedSub(r, L), w), w);
    place(BorderLeft, L, T, w, CheckedSub(b, T));
    place(BorderRight, r, T, w, CheckedSub(b, T));
}

void HighlightFrame::sldBorderWidth_Change() {
    BorderWidth = sldBorderWidth_.Value();
    Existing(BorderTop).Form().SetHeight(PixelsToTwips(BorderWidth, toolkit_.TwipsPerPixelY()));
    Existing(BorderBottom).Form().SetHeight(PixelsToTwips(BorderWidth, toolkit_.TwipsPerPixelY()));
    Existing(BorderLeft).Form().SetWidth(PixelsToTwips(BorderWidth, toolkit_.TwipsPerPixelX()));
    Existing(BorderRight).Form().SetWidth(PixelsToTwips(BorderWidth, toolkit_.TwipsPerPixelX()));
    UpdateBorder();
}

}  // namespace hovermark
