// Key preview for the whole application: each key event passes this filter on its way to the widget it is
// bound for, once, before that widget sees it; the widget then gets it unchanged.
#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>
#include <functional>

namespace hovermark::qt {

class KeyPreviewFilter final : public QObject {
  public:
    // `preview` sees every key press first bound for a widget (its focus widget, or the window itself).
    explicit KeyPreviewFilter(std::function<void(QWidget& receiver, const QKeyEvent& event)> preview);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void(QWidget&, const QKeyEvent&)> preview_;
};

}  // namespace hovermark::qt
