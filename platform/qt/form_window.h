// The top-level widget of one form. It draws what its form keeps (the background and the retained drawing)
// and hands a close asked by the window manager to its form, which decides; it keeps no state of its own.
#pragma once

#include <QCloseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

namespace hovermark::qt {

class FormWindowEvents {
  public:
    virtual ~FormWindowEvents() = default;
    virtual void OnPaint(QPainter& painter, const QRect& area) = 0;
    virtual void OnCloseRequested() = 0;
};

class FormWindow final : public QWidget {
  public:
    FormWindow(FormWindowEvents& events, Qt::WindowFlags flags);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    FormWindowEvents& events_;
};

// Deletes a widget once control is back in the event loop: a form may be unloaded from inside one of its
// own widgets' handlers (the Exit button's click), which must not find its widget gone when it returns.
struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

}  // namespace hovermark::qt
