// The display check before Qt starts, Qt's environment, and the report of a lost X connection.
#include "platform/qt/x_display.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace hovermark::qt {
namespace {

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using UniqueConnection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

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
        std::fflush(nullptr);
        std::_Exit(kExitCodeDisplayLost);
    }
    if (qt_message_handler != nullptr) {
        qt_message_handler(type, context, message);
    }
}

}  // namespace

XDisplayCheck CheckXDisplay() {
    XDisplayCheck check;
    if (!IsSet("DISPLAY")) {
        if (IsSet("WAYLAND_DISPLAY")) {
            check.problem =
                "hovermark: this Wayland session offers no X display (DISPLAY is not set); Hovermark works with "
                "X11 windows only, so enable XWayland or log in to an X11 session.";
        } else {
            check.problem =
                "hovermark: no X display (DISPLAY is not set); start Hovermark in an X11 session, or set DISPLAY to "
                "a running X server.";
        }
        return check;
    }
    const UniqueConnection connection(xcb_connect(nullptr, &check.screen_number));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        check.problem = std::string("hovermark: cannot open the X display \"") + std::getenv("DISPLAY") +
                        "\"; check that its X server is running and that DISPLAY names it.";
    }
    return check;
}

void PrepareQtForX11() {
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    for (const char* scaling : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
                                "QT_USE_PHYSICAL_DPI", "QT_FONT_DPI"}) {
        qunsetenv(scaling);
    }
}

void ReportLostDisplay(xcb_connection_t* connection) {
    watched_connection = connection;
    qt_message_handler = qInstallMessageHandler(&OnQtMessage);
}

xcb_window_t RootWindow(xcb_connection_t* connection, int screen_number) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; screens.rem > 0; ++index, xcb_screen_next(&screens)) {
        if (index == screen_number) {
            return screens.data->root;
        }
    }
    return 0;
}

}  // namespace hovermark::qt
