// The application-wide event filter that shows each key to its form before its widget gets it.
#include "platform/qt/key_preview.h"

#include <QPointer>
#include <utility>

namespace hovermark::qt {

KeyPreviewFilter::KeyPreviewFilter(std::function<void(QWidget&, const QKeyEvent&)> preview)
    : preview_(std::move(preview)) {}

// Problem: a key the focus widget ignores travels on to its parents, and the application's filters see it
// again at each of them. Solution: only its first delivery counts, the one to the window's focus widget (or
// to the window when no child has the focus), as the window system hands it to the window.
bool KeyPreviewFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    auto* receiver = static_cast<QWidget*>(watched);
    QWidget* window = receiver->window();
    QWidget* first = window->focusWidget() != nullptr ? window->focusWidget() : window;
    if (receiver != first) {
        return false;
    }
    const QPointer<QWidget> still_there(receiver);
    preview_(*receiver, *static_cast<QKeyEvent*>(event));
    // A handler that unloaded the form has taken the key's receiver with it.
    return still_there.isNull();
}

}  // namespace hovermark::qt
