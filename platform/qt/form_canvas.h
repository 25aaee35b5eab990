// A form's client area as the program draws on it: the background colour, and the boxes drawn since the last
// change of size, kept as an image so that the window can lay them again whenever it is repainted.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

#include "main_window/toolkit/form_design.h"

namespace hovermark::qt {

// Distance between two lines of the hatch, across and down, as in the 8 x 8 hatch patterns of the other
// front end.
inline constexpr int kHatchSpacing = 8;

class FormCanvas {
  public:
    FormCanvas(const FormDesign& design, QColor background, QColor fore_color, QColor fill_color);

    // After a change of size the program draws again, from nothing.
    void Clear() { image_ = QImage(); }
    // A box in client pixels, drawn with the design's outline and fill styles onto the retained image of a
    // client area of `client` pixels.
    void DrawBox(const QRect& box, QSize client);
    // Lays `area` of the client again: the background and what was drawn on it.
    void Paint(QPainter& painter, const QRect& area) const;

  private:
    void Hatch(const QRect& box);

    const FormDesign& design_;
    QColor background_;
    QColor fore_color_;
    QColor fill_color_;
    QImage image_;
};

}  // namespace hovermark::qt
