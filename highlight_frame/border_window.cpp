#include "highlight_frame/border_window.h"

namespace hovermark {

const FormDesign kBorderWindowDesign{
    .caption = "Border Window",
    .border_style = BorderStyle::None,
    .client_width = 2670,
    .client_height = 1350,
    .start_up_position = StartUpPosition::WindowsDefault,
    .back_color = Rgb(255, 0, 0),
    .fore_color = SystemColor(kColorButtonFace),  // never shows, the outline is invisible
    .draw_style = DrawStyle::Invisible,
    .fill_style = FillStyle::DownwardDiagonal,
    .fill_color = Rgb(254, 205, 10),
    .show_in_taskbar = false,
    .key_preview = false,
    .font = {},
    .icon = {},
    .small_icon = {},
    .controls = {},
};

frmBorder::frmBorder(Toolkit& toolkit) : FormEvents(toolkit), form_(toolkit.CreateForm(kBorderWindowDesign, *this)) {}

frmBorder::~frmBorder() = default;

void frmBorder::Form_Resize() {
    const float width = form_->ScaleWidth();
    const float height = form_->ScaleHeight();
    form_->DrawBox(0, 0, width, height);
}

}  // namespace hovermark
