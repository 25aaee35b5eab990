// The desktop session's D-Bus, on a private connection of this program's own: where the accessibility bus is,
// and the switch (org.a11y.Status IsEnabled) that asks applications to describe their elements. A private
// connection never ends the process when the bus goes away, and every call waits a bounded time.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <dbus/dbus.h>

namespace hovermark::atspi {

struct ConnectionCloser {
    void operator()(DBusConnection* connection) const;
};
using ConnectionPtr = std::unique_ptr<DBusConnection, ConnectionCloser>;

// Opens a private connection to `address` and says hello, waiting at most `timeout` for the answer; none when
// that fails.
ConnectionPtr OpenBus(const std::string& address, std::chrono::milliseconds timeout);

class SessionBus {
  public:
    // None when there is no session bus: no address in the environment nor in the runtime folder (no bus is
    // ever started for the purpose), or nothing answers there.
    static std::optional<SessionBus> Connect(std::chrono::milliseconds timeout);
    // The session bus found before, at its address; reads nothing of the environment.
    static std::optional<SessionBus> ConnectTo(const std::string& address, std::chrono::milliseconds timeout);

    const std::string& Address() const { return address_; }

    // The accessibility bus's address, as the session's bus launcher gives it; none when there is none.
    std::optional<std::string> AccessibilityBusAddress();
    std::optional<bool> IsEnabled();
    bool SetEnabled(bool enabled);

  private:
    SessionBus(std::string address, ConnectionPtr connection, std::chrono::milliseconds timeout);

    std::string address_;
    ConnectionPtr connection_;
    std::chrono::milliseconds timeout_;
};

}  // namespace hovermark::atspi
