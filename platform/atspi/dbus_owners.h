// Owners of the libdbus objects this folder holds itself, so that every message is released once.
#pragma once

#include <memory>

#include <dbus/dbus.h>

namespace hovermark::atspi {

struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<DBusMessage, MessageUnref>;

}  // namespace hovermark::atspi
