#include "platform/qt/termination_signals.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace hovermark::qt {
namespace {

// A terminal that closes sends SIGHUP, as a session that ends does.
constexpr std::array<int, 3> kTerminationSignals{SIGINT, SIGTERM, SIGHUP};

// The write end of the pipe that wakes the event loop; written from the signal handler only.
int wake_pipe_write_end = -1;

void SetHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : kTerminationSignals) {
        sigaction(signal_number, &action, nullptr);
    }
}

extern "C" void OnTerminationSignal(int signal_number) {
    // Async-signal-safe only: the default action back for whichever signal comes second, and one write.
    const int saved_errno = errno;
    SetHandler(SIG_DFL);
    const char byte = static_cast<char>(signal_number);
    [[maybe_unused]] const ssize_t written = write(wake_pipe_write_end, &byte, 1);
    errno = saved_errno;
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
    SetHandler(OnTerminationSignal);
}

}  // namespace hovermark::qt
