#include "platform/atspi/session_bus.h"

#include <chrono>
#include <cstdlib>
#include <utility>

#include <sys/stat.h>

#include "platform/atspi/dbus_owners.h"

namespace hovermark::atspi {
namespace {

constexpr char kBusName[] = "org.a11y.Bus";
constexpr char kBusPath[] = "/org/a11y/bus";
constexpr char kStatusInterface[] = "org.a11y.Status";
constexpr char kIsEnabled[] = "IsEnabled";

// libdbus would start a bus of its own ("autolaunch") when the environment names none; the session's bus
// is taken from the environment or the runtime folder only.
std::optional<std::string> SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != '\0') {
        return std::string(address);
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        const std::string path = std::string(runtime) + "/bus";
        struct stat status {};
        if (stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode)) {
            return "unix:path=" + path;
        }
    }
    return std::nullopt;
}

struct PendingCallRelease {
    void operator()(DBusPendingCall* pending) const {
        dbus_pending_call_cancel(pending);
        dbus_pending_call_unref(pending);
    }
};
using PendingCallPtr = std::unique_ptr<DBusPendingCall, PendingCallRelease>;

// Problem: dbus_connection_send_with_reply_and_block waits without bound while the connection is not yet
// authenticated, which a stopped bus never does. Solution: the call is sent without waiting, and the connection
// is read and dispatched (which completes the call) until the answer has come or the bound has passed.
MessagePtr CallBlocking(DBusConnection* connection, DBusMessage* message, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    DBusPendingCall* sent = nullptr;
    if (!dbus_connection_send_with_reply(connection, message, &sent, static_cast<int>(timeout.count())) ||
        sent == nullptr) {
        return nullptr;
    }
    const PendingCallPtr pending(sent);
    while (dbus_pending_call_get_completed(pending.get()) == FALSE) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 || dbus_connection_read_write_dispatch(connection, static_cast<int>(left)) == FALSE) {
            return nullptr;
        }
    }
    return MessagePtr(dbus_pending_call_steal_reply(pending.get()));
}

// Problem: dbus_bus_register waits for the bus's answer to Hello without the caller's bound, so a stopped bus
// daemon would freeze the caller. Solution: Hello is sent here within the caller's bound, and the name it
// gives is handed to libdbus as dbus_bus_register would.
bool SayHello(DBusConnection* connection, std::chrono::milliseconds timeout) {
    const MessagePtr hello(
        dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello"));
    if (hello == nullptr) {
        return false;
    }
    const MessagePtr reply = CallBlocking(connection, hello.get(), timeout);
    const char* name = nullptr;
    if (reply == nullptr || dbus_message_get_type(reply.get()) != DBUS_MESSAGE_TYPE_METHOD_RETURN ||
        !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID) || name == nullptr) {
        return false;
    }
    return dbus_bus_set_unique_name(connection, name) != FALSE;
}

}  // namespace

void ConnectionCloser::operator()(DBusConnection* connection) const {
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

ConnectionPtr OpenBus(const std::string& address, std::chrono::milliseconds timeout) {
    DBusError error;
    dbus_error_init(&error);
    ConnectionPtr connection(dbus_connection_open_private(address.c_str(), &error));
    dbus_error_free(&error);
    if (connection == nullptr) {
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(connection.get(), FALSE);
    return SayHello(connection.get(), timeout) ? std::move(connection) : nullptr;
}

SessionBus::SessionBus(std::string address, ConnectionPtr connection, std::chrono::milliseconds timeout)
    : address_(std::move(address)), connection_(std::move(connection)), timeout_(timeout) {}

std::optional<SessionBus> SessionBus::Connect(std::chrono::milliseconds timeout) {
    const std::optional<std::string> address = SessionBusAddress();
    return address ? ConnectTo(*address, timeout) : std::nullopt;
}

std::optional<SessionBus> SessionBus::ConnectTo(const std::string& address, std::chrono::milliseconds timeout) {
    ConnectionPtr connection = OpenBus(address, timeout);
    if (connection == nullptr) {
        return std::nullopt;
    }
    return SessionBus(address, std::move(connection), timeout);
}

std::optional<std::string> SessionBus::AccessibilityBusAddress() {
    const MessagePtr message(dbus_message_new_method_call(kBusName, kBusPath, kBusName, "GetAddress"));
    if (message == nullptr) {
        return std::nullopt;
    }
    const MessagePtr reply = CallBlocking(connection_.get(), message.get(), timeout_);
    const char* address = nullptr;
    if (reply == nullptr ||
        !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID) ||
        address == nullptr || *address == '\0') {
        return std::nullopt;
    }
    return std::string(address);
}

std::optional<bool> SessionBus::IsEnabled() {
    const MessagePtr message(dbus_message_new_method_call(kBusName, kBusPath, DBUS_INTERFACE_PROPERTIES, "Get"));
    if (message == nullptr) {
        return std::nullopt;
    }
    const char* interface = kStatusInterface;
    const char* property = kIsEnabled;
    dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                             DBUS_TYPE_INVALID);
    const MessagePtr reply = CallBlocking(connection_.get(), message.get(), timeout_);
    DBusMessageIter iter;
    DBusMessageIter variant;
    if (reply == nullptr || dbus_message_get_type(reply.get()) != DBUS_MESSAGE_TYPE_METHOD_RETURN ||
        !dbus_message_iter_init(reply.get(), &iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT) {
        return std::nullopt;
    }
    dbus_message_iter_recurse(&iter, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_BOOLEAN) {
        return std::nullopt;
    }
    dbus_bool_t value = FALSE;
    dbus_message_iter_get_basic(&variant, &value);
    return value != FALSE;
}

bool SessionBus::SetEnabled(bool enabled) {
    const MessagePtr message(dbus_message_new_method_call(kBusName, kBusPath, DBUS_INTERFACE_PROPERTIES, "Set"));
    if (message == nullptr) {
        return false;
    }
    const char* interface = kStatusInterface;
    const char* property = kIsEnabled;
    const dbus_bool_t value = enabled ? TRUE : FALSE;
    DBusMessageIter iter;
    DBusMessageIter variant;
    dbus_message_iter_init_append(message.get(), &iter);
    if (!dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, static_cast<const void*>(&interface)) ||
        !dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, static_cast<const void*>(&property)) ||
        !dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, DBUS_TYPE_BOOLEAN_AS_STRING, &variant)) {
        return false;
    }
    if (!dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &value) ||
        !dbus_message_iter_close_container(&iter, &variant)) {
        dbus_message_iter_abandon_container(&iter, &variant);
        return false;
    }
    const MessagePtr reply = CallBlocking(connection_.get(), message.get(), timeout_);
    return reply != nullptr && dbus_message_get_type(reply.get()) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}

}  // namespace hovermark::atspi
