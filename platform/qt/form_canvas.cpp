// Box drawing with the design's outline and fill styles, into an image the size of the client area.
#include "platform/qt/form_canvas.h"

namespace hovermark::qt {

FormCanvas::FormCanvas(const FormDesign& design, QColor background, QColor fore_color, QColor fill_color)
    : design_(design), background_(background), fore_color_(fore_color), fill_color_(fill_color) {}

void FormCanvas::DrawBox(const QRect& box, QSize client) {
    if (client.isEmpty()) {
        return;
    }
    if (image_.isNull() || image_.size() != client) {
        image_ = QImage(client, QImage::Format_RGB32);
        image_.fill(background_);
    }
    const QRect clipped = box.intersected(image_.rect());
    if (clipped.isEmpty()) {
        return;
    }
    switch (design_.fill_style) {
        case FillStyle::Solid: {
            QPainter painter(&image_);
            painter.fillRect(clipped, fill_color_);
            break;
        }
        case FillStyle::DownwardDiagonal:
            Hatch(clipped);
            break;
        case FillStyle::Transparent:
            break;
    }
    if (design_.draw_style == DrawStyle::Solid) {
        QPainter painter(&image_);
        painter.setPen(fore_color_);
        painter.drawRect(clipped.adjusted(0, 0, -1, -1));
    }
}

// One-pixel lines falling from upper left to lower right, anchored at the client area's corner: a pixel is
// on a line where its column and row differ by a multiple of the spacing, as the hatch brush of the other
// front end lays them from a brush origin of (0, 0). Between the lines what was there stays.
void FormCanvas::Hatch(const QRect& box) {
    const QRgb line = fill_color_.rgb();
    for (int y = box.top(); y <= box.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        const int first = box.left() + ((y - box.left()) % kHatchSpacing + kHatchSpacing) % kHatchSpacing;
        for (int x = first; x <= box.right(); x += kHatchSpacing) {
            row[x] = line;
        }
    }
}

void FormCanvas::Paint(QPainter& painter, const QRect& area) const {
    painter.fillRect(area, background_);
    if (!image_.isNull()) {
        painter.drawImage(area.topLeft(), image_, area);
    }
}

}  // namespace hovermark::qt
