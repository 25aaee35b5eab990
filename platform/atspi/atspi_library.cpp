#include "platform/atspi/atspi_library.h"

#include <cstdlib>
#include <vector>

#include <atspi/atspi.h>
#include <dbus/dbus.h>

namespace hovermark::atspi {
namespace {

struct Library {
    // The address libatspi was started on; none while it is not started.
    std::optional<std::string> address;
    // Its connection, held so that whether it is still connected can be asked without libatspi reconnecting.
    DBusConnection* bus = nullptr;
};

Library& TheLibrary() {
    static Library library;
    return library;
}

// Problem: libatspi keeps every application it met, by bus name, for the life of the process, and atspi_exit
// only disposes them; started again on a new bus, whose names repeat the old bus's, it would answer for the
// registry and for a new application with a disposed one, which says it has gone. Solution: every
// application libatspi makes is held here from its construction on, and set up afresh on the new bus after
// libatspi has started there again.
std::vector<AtspiApplication*>& KnownApplications() {
    static std::vector<AtspiApplication*> applications;
    return applications;
}

void (*chained_constructed)(GObject*) = nullptr;

void RememberApplication(GObject* object) {
    if (chained_constructed != nullptr) {
        chained_constructed(object);
    }
    KnownApplications().push_back(ATSPI_APPLICATION(g_object_ref(object)));
}

void WatchApplications() {
    static const bool watching = [] {
        auto* application_class = G_OBJECT_CLASS(g_type_class_ref(ATSPI_TYPE_APPLICATION));
        chained_constructed = application_class->constructed;
        application_class->constructed = &RememberApplication;
        return true;
    }();
    static_cast<void>(watching);
}

void SetUpAgain(AtspiApplication* application, DBusConnection* bus) {
    // libatspi's own release of what the application held, a direct connection to it included.
    g_object_run_dispose(G_OBJECT(application));
    // As libatspi sets up an application it meets for the first time.
    application->hash = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_object_unref);
    application->bus = dbus_connection_ref(bus);
    application->cache = ATSPI_CACHE_UNDEFINED;
    // libatspi also files the registry under its unique name, without a reference of its own, and drops one
    // when it files it under a name it used before, as the new bus's registry may have.
    if (g_strcmp0(application->bus_name, "org.a11y.atspi.Registry") == 0) {
        g_object_ref(application);
    }
}

void ExitLibrary(Library& library) {
    atspi_exit();
    if (library.bus != nullptr) {
        dbus_connection_unref(library.bus);
    }
    library = {};
}

bool StillConnected(const Library& library) {
    if (library.bus == nullptr) {
        return true;
    }
    // A bus that went away is noticed only once the connection is read.
    dbus_connection_read_write(library.bus, 0);
    return dbus_connection_get_is_connected(library.bus) != FALSE;
}

}  // namespace

const std::optional<std::string>& UsersOwnBusAddress() {
    static const std::optional<std::string> address = [] {
        const char* configured = std::getenv("AT_SPI_BUS_ADDRESS");
        return configured != nullptr && *configured != '\0' ? std::optional<std::string>(configured) : std::nullopt;
    }();
    return address;
}

// Problem: libatspi reads the bus's address only from the environment (else from the X display's root window,
// which another session may have left behind), waits without bound for the bus to say hello, and once its
// connection has failed it calls g_error (which ends the process) at its next use. Solution: the bus is first
// asked to say hello on a connection of this program's own, within the bound; only then is libatspi started,
// with that address in its environment.
bool ConnectLibrary(SessionBus& session, std::chrono::milliseconds timeout) {
    const std::optional<std::string> address =
        UsersOwnBusAddress() ? UsersOwnBusAddress() : session.AccessibilityBusAddress();
    if (!address || OpenBus(*address, timeout) == nullptr) {
        return false;
    }
    Library& library = TheLibrary();
    if (library.address == address && StillConnected(library)) {
        return true;
    }
    const bool restart = library.address.has_value();
    if (restart) {
        ExitLibrary(library);
    }
    WatchApplications();
    g_setenv("AT_SPI_BUS_ADDRESS", address->c_str(), TRUE);
    // No longer wait for applications that started a moment ago: the bound is the same for all.
    atspi_set_timeout(static_cast<gint>(timeout.count()), -1);
    const int result = atspi_init();
    DBusConnection* bus = atspi_get_a11y_bus();
    if ((result != 0 && result != 1) || bus == nullptr) {
        // Left not started, so that nothing can use it, and tried afresh at the next start.
        ExitLibrary(library);
        return false;
    }
    if (restart) {
        for (AtspiApplication* application : KnownApplications()) {
            SetUpAgain(application, bus);
        }
    }
    library.address = address;
    library.bus = dbus_connection_ref(bus);
    return true;
}

}  // namespace hovermark::atspi
