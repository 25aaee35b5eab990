// The accessibility bus, spoken to directly: a private D-Bus connection, opened when looking inside windows
// goes on and closed when it goes off, and the few AT-SPI calls the element adapter makes on it, written from
// the protocol's own interface descriptions. A second one, opened and closed with it, carries the batches of
// calls that read a whole tree, sent all at once. It keeps nothing of what it reads: no table of applications, no
// mirror of their trees, and one signal subscribed to (the registry's word of an application that came or went,
// rare and small), so what the mode costs ends with the mode.
//
// Every call waits at most its timeout and says what came back, as the engine's replies do: an answer; gone
// (the object or its whole bus name no longer exists); failed (no reply in time, a closed or dead connection,
// any other error), which is never taken for an answer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/atspi/dbus_owners.h"
#include "platform/atspi/session_bus.h"
#include "platform/atspi/top_level_match.h"
#include "window_inspection/element_adapter.h"

namespace hovermark::atspi {

inline constexpr char kRegistryName[] = "org.a11y.atspi.Registry";
inline constexpr char kBusDaemonName[] = "org.freedesktop.DBus";
inline constexpr char kRootPath[] = "/org/a11y/atspi/accessible/root";

// An object on the bus: its application's bus name and its path. Null where the protocol says "none".
struct ObjectRef {
    std::string bus_name;
    std::string path;
    bool IsNull() const;
    friend bool operator==(const ObjectRef&, const ObjectRef&) = default;
};

// The states of an element that the adapter asks about, of the protocol's state set.
struct ElementStates {
    bool defunct = false;
    bool showing = false;
    bool visible = false;
};

// What a locator's check reads of one element, in one batch with its siblings'.
struct ElementFacts {
    std::string name;
    std::uint32_t role = 0;
    std::string accessible_id;  // empty: none
    std::string id_attribute;   // the "id" object attribute; empty: none
    std::int32_t child_count = 0;
};

class AtspiBus {
  public:
    // Connects to the bus at `address` and says hello there within `timeout`; none when that fails. Each call
    // then waits at most `call_timeout`.
    static std::shared_ptr<AtspiBus> Open(const std::string& address,
                                          std::chrono::milliseconds timeout,
                                          std::chrono::milliseconds call_timeout);
    AtspiBus(const AtspiBus&) = delete;
    AtspiBus& operator=(const AtspiBus&) = delete;
    ~AtspiBus();

    // Closes the connection, from any thread: calls waiting on it end at once, failed, and so does every
    // call after.
    void Close() noexcept;
    // Reads what has arrived, without waiting; whether the connection still stands, as far as that tells.
    bool ReadArrived();
    // The calls made since it opened.
    std::uint64_t Calls() const { return calls_; }
    // How many times the registry has told of an application that came or went since it opened, as far as
    // what has been read tells.
    std::uint64_t ApplicationsChanged() const { return applications_changed_; }

    // The applications' root objects, as the registry lists them.
    Reply<std::vector<ObjectRef>> Applications();
    // Asked of the bus daemon.
    Reply<std::uint32_t> ProcessOf(const std::string& bus_name);
    Reply<std::string> ToolkitName(const std::string& bus_name);

    Reply<std::vector<ObjectRef>> Children(const ObjectRef& object);
    Reply<std::int32_t> ChildCount(const ObjectRef& object);
    Reply<ObjectRef> ChildAtIndex(const ObjectRef& object, std::int32_t index);
    Reply<ObjectRef> Parent(const ObjectRef& object);
    Reply<std::int32_t> IndexInParent(const ObjectRef& object);
    // The role's number in the protocol's table, and the application's own name for it.
    Reply<std::uint32_t> Role(const ObjectRef& object);
    Reply<std::string> RoleName(const ObjectRef& object);
    Reply<std::string> Name(const ObjectRef& object);
    Reply<ElementStates> States(const ObjectRef& object);
    // In the toolkit's "screen" coordinates; none: the object has no place it will tell (no Component).
    Reply<std::optional<Extents>> ExtentsOf(const ObjectRef& object);
    Reply<ObjectRef> AccessibleAtPoint(const ObjectRef& object, Point reported);

    // Batches: every call is booked through `trips` by the application it goes to right before it is sent,
    // all of a batch are sent before any reply is waited for, and each waits at most the call timeout from
    // then. One batch at a time, on the second connection; a trip refused ends the batch, failed.
    //
    // The children at the indexes below `count`, in order (null where there is none); gone when the object is.
    Reply<std::vector<ObjectRef>> ChildrenByIndex(const ObjectRef& object, std::int32_t count, RoundTrips& trips);
    // One reply for each object, in order.
    std::vector<Reply<ElementFacts>> FactsOf(const std::vector<ObjectRef>& objects, RoundTrips& trips);
    std::vector<Reply<std::string>> RoleNames(const std::vector<ObjectRef>& objects, RoundTrips& trips);

  private:
    AtspiBus(ConnectionPtr connection, ConnectionPtr batches, std::chrono::milliseconds call_timeout);
    struct Sent;
    Sent Call(DBusMessage* message);
    std::vector<Sent> CallAll(const std::vector<MessagePtr>& messages, RoundTrips& trips);
    void CallChunk(const std::vector<MessagePtr>& messages,
                   std::size_t first,
                   std::size_t end,
                   RoundTrips& trips,
                   std::vector<Sent>& sent);
    // Takes what has arrived besides replies: the registry's word of an application that came or went is
    // counted, anything else is not this program's to read.
    void TakeArrived();

    ConnectionPtr connection_;
    ConnectionPtr batches_;
    std::timed_mutex batch_mutex_;
    const std::chrono::milliseconds call_timeout_;
    std::atomic<std::uint64_t> calls_{0};
    std::atomic<std::uint64_t> applications_changed_{0};
};

}  // namespace hovermark::atspi
