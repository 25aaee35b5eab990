// The form's top-level widget: painting from the form's canvas, and closes handed to the form.
#include "platform/qt/form_window.h"

namespace hovermark::qt {

FormWindow::FormWindow(FormWindowEvents& events, Qt::WindowFlags flags) : QWidget(nullptr, flags), events_(events) {
    // The form paints every pixel of its client area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void FormWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    events_.OnPaint(painter, event->rect());
}

// The window stays until the form's program unloads it.
void FormWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    events_.OnCloseRequested();
}

}  // namespace hovermark::qt
