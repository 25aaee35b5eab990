#include "platform/qt/x_display.h"

#include <QGuiApplication>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/abrupt_exit.h"
#include "platform/x11/x_display_check.h"

namespace hovermark::qt {
namespace {

QtMessageHandler qt_message_handler = nullptr;
xcb_connection_t* watched_connection = nullptr;

// Qt offers no signal for a broken connection: it warns, then exits with 1. Its message is the last moment
// to speak, and the connection's own state says whether that is what is happening.
void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (watched_connection != nullptr && xcb_connection_has_error(watched_connection) != 0) {
        std::fputs(
            "hovermark: the connection to the X display was lost (the X server has gone away); Hovermark has "
            "ended.\n",
            stderr);
        ExitAbruptly(x11::kExitCodeDisplayLost);
    }
    if (qt_message_handler != nullptr) {
        qt_message_handler(type, context, message);
    }
}

}  // namespace

void PrepareQtForX11() {
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    for (const char* scaling : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
                                "QT_USE_PHYSICAL_DPI", "QT_FONT_DPI"}) {
        qunsetenv(scaling);
    }
}

xcb_connection_t* QtXConnection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

void ReportLostDisplay(xcb_connection_t* connection) {
    watched_connection = connection;
    qt_message_handler = qInstallMessageHandler(&OnQtMessage);
}

}  // namespace hovermark::qt
