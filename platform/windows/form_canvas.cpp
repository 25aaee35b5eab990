// Box drawing with the design's outline and fill styles, kept in an image the size of the client area.
#include "platform/windows/form_canvas.h"

#include "platform/windows/native_colors.h"

namespace hovermark::windows {
namespace {

using UniquePen = UniqueHandle<HPEN, GdiObjectTraits>;

}  // namespace

FormCanvas::FormCanvas(const FormDesign& design) : design_(design) {
    if (!IsSystemColor(design.back_color)) {
        own_background_.reset(CreateSolidBrush(ToColorRef(design.back_color)));
    }
}

HBRUSH FormCanvas::BackgroundBrush() const {
    return own_background_ ? own_background_.get()
                           : GetSysColorBrush(static_cast<int>(SystemColorIndex(design_.back_color)));
}

void FormCanvas::DrawBox(HWND window, const RECT& box) {
    RECT client{};
    GetClientRect(window, &client);
    if (IsRectEmpty(&client) != FALSE) {
        return;
    }
    const WindowDc screen(window);
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!image_) {
        image_.reset(CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
        if (!image_) {
            return;
        }
        const SelectedObject selected(memory.get(), image_.get());
        FillRect(memory.get(), &client, BackgroundBrush());
    }
    const SelectedObject selected(memory.get(), image_.get());
    DrawBoxOnto(memory.get(), box);
    BitBlt(screen.get(), box.left, box.top, box.right - box.left, box.bottom - box.top, memory.get(), box.left, box.top,
           SRCCOPY);
}

void FormCanvas::Paint(HDC dc, const RECT& area) const {
    if (!image_) {
        FillRect(dc, &area, BackgroundBrush());
        return;
    }
    const UniqueMemoryDc memory(CreateCompatibleDC(dc));
    const SelectedObject selected(memory.get(), image_.get());
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.get(), area.left, area.top,
           SRCCOPY);
}

void FormCanvas::DrawBoxOnto(HDC dc, const RECT& box) const {
    UniquePen pen;
    if (design_.draw_style == DrawStyle::Solid) {
        pen.reset(CreatePen(PS_SOLID, 1, ToColorRef(design_.fore_color)));
    }
    UniqueBrush brush;
    switch (design_.fill_style) {
        case FillStyle::Solid:
            brush.reset(CreateSolidBrush(ToColorRef(design_.fill_color)));
            break;
        case FillStyle::DownwardDiagonal:
            brush.reset(CreateHatchBrush(HS_FDIAGONAL, ToColorRef(design_.fill_color)));
            break;
        case FillStyle::Transparent:
            break;
    }
    // The hatch lines lie on what is already there; their pattern starts at the client area's corner.
    SetBkMode(dc, TRANSPARENT);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    const SelectedObject selected_pen(dc, pen ? pen.get() : GetStockObject(NULL_PEN));
    const SelectedObject selected_brush(dc, brush ? brush.get() : GetStockObject(NULL_BRUSH));
    // Without an outline Rectangle leaves out the right column and bottom row; one more covers the box.
    const int outline_gap = pen ? 0 : 1;
    Rectangle(dc, box.left, box.top, box.right + outline_gap, box.bottom + outline_gap);
}

}  // namespace hovermark::windows
