#include "platform/qt/termination_signals.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <array>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace hovermark::qt {
namespace {

// The write end of the pipe that wakes the event loop; written from the signal handler only.
int wake_pipe_write_end = -1;

extern "C" void OnTerminationSignal(int signal_number) {
    // Async-signal-safe: one write, and the default action restored for a second signal.
    std::signal(signal_number, SIG_DFL);
    const char byte = static_cast<char>(signal_number);
    [[maybe_unused]] const ssize_t written = write(wake_pipe_write_end, &byte, 1);
}

// Every window is asked, whether or not another refuses (the frame's bars do: only their owner closes them).
// Open dialogs go first, so no modal loop is left running under a window that has gone.
void CloseEveryWindow() {
    QList<QPointer<QWidget>> dialogs;
    QList<QPointer<QWidget>> others;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            (qobject_cast<QDialog*>(widget) != nullptr ? dialogs : others).append(widget);
        }
    }
    for (const QList<QPointer<QWidget>>& windows : {dialogs, others}) {
        for (const QPointer<QWidget>& window : windows) {
            if (window && window->isVisible()) {
                window->close();
            }
        }
    }
}

}  // namespace

void CloseWindowsOnTerminationSignals() {
    std::array<int, 2> ends{};
    if (pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    wake_pipe_write_end = ends[1];
    // The notifier lives as long as the application; Qt deletes it with its parent.
    auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] {
        notifier->setEnabled(false);
        CloseEveryWindow();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace hovermark::qt
