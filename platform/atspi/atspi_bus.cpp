#include "platform/atspi/atspi_bus.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace hovermark::atspi {
namespace {

constexpr char kNullPath[] = "/org/a11y/atspi/null";
constexpr char kAccessible[] = "org.a11y.atspi.Accessible";
constexpr char kComponent[] = "org.a11y.atspi.Component";
constexpr char kApplication[] = "org.a11y.atspi.Application";
constexpr dbus_uint32_t kScreenCoordinates = 0;
constexpr char kEventObject[] = "org.a11y.atspi.Event.Object";
constexpr char kApplicationsChangedRule[] =
    "type='signal',sender='org.a11y.atspi.Registry',interface='org.a11y.atspi.Event.Object',"
    "member='ChildrenChanged',path='/org/a11y/atspi/accessible/root'";

// The protocol's state set is two 32-bit words of bits, in this order.
constexpr unsigned kStateDefunct = 6;
constexpr unsigned kStateShowing = 25;
constexpr unsigned kStateVisible = 30;

// At most this many calls of a batch wait at once: the bus daemon keeps every call without a reply against the
// caller's allowance (50000 on the accessibility bus) until its own timeout, minutes later, has passed.
constexpr std::size_t kMaxCallsAtOnce = 2048;

// What an error reply says of the object asked. An object that is not there is gone; so is a bus name that no
// connection holds. Asked of a method that every object has, "no such method" too means that the object has
// gone (GDBus answers so for a path it no longer serves); asked of an optional interface, it means that the
// object does not have it.
enum class Interface { kEveryObject, kOptional };

bool Named(const char* name, std::string_view wanted) {
    return name != nullptr && wanted == name;
}

CallStatus StatusOfError(const char* name, Interface interface) {
    if (Named(name, DBUS_ERROR_SERVICE_UNKNOWN) || Named(name, DBUS_ERROR_NAME_HAS_NO_OWNER) ||
        Named(name, "org.freedesktop.DBus.Error.UnknownObject")) {
        return CallStatus::kGone;
    }
    const bool missing = Named(name, DBUS_ERROR_UNKNOWN_METHOD) ||
                         Named(name, "org.freedesktop.DBus.Error.UnknownInterface") ||
                         Named(name, "org.freedesktop.DBus.Error.UnknownProperty");
    if (missing) {
        return interface == Interface::kEveryObject ? CallStatus::kGone : CallStatus::kAnswer;
    }
    return CallStatus::kFailed;
}

MessagePtr MethodCall(const std::string& destination,
                      const std::string& path,
                      const char* interface,
                      const char* method) {
    return MessagePtr(dbus_message_new_method_call(destination.c_str(), path.c_str(), interface, method));
}

MessagePtr PropertyGet(const ObjectRef& object, const char* interface, const char* property) {
    MessagePtr message = MethodCall(object.bus_name, object.path, DBUS_INTERFACE_PROPERTIES, "Get");
    if (message != nullptr && !dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING,
                                                        &property, DBUS_TYPE_INVALID)) {
        return nullptr;
    }
    return message;
}

// Reads one (so) at the iterator.
bool ReadReference(DBusMessageIter* iter, ObjectRef& object) {
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_STRUCT) {
        return false;
    }
    DBusMessageIter fields;
    dbus_message_iter_recurse(iter, &fields);
    const char* name = nullptr;
    const char* path = nullptr;
    if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_STRING) {
        return false;
    }
    dbus_message_iter_get_basic(&fields, &name);
    if (!dbus_message_iter_next(&fields) || dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_OBJECT_PATH) {
        return false;
    }
    dbus_message_iter_get_basic(&fields, &path);
    object = {name != nullptr ? name : "", path != nullptr ? path : ""};
    return true;
}

// The iterator at a reply's first value, inside its variant for a property.
bool FirstValue(DBusMessage* reply, bool property, DBusMessageIter* iter, DBusMessageIter* inside) {
    if (!dbus_message_iter_init(reply, iter)) {
        return false;
    }
    if (!property) {
        *inside = *iter;
        return true;
    }
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_VARIANT) {
        return false;
    }
    dbus_message_iter_recurse(iter, inside);
    return true;
}

template <typename Basic>
bool ReadBasic(DBusMessageIter* iter, int type, Basic& value) {
    if (dbus_message_iter_get_arg_type(iter) != type) {
        return false;
    }
    dbus_message_iter_get_basic(iter, &value);
    return true;
}

}  // namespace

bool ObjectRef::IsNull() const {
    return bus_name.empty() || path.empty() || path == kNullPath;
}

// One call's outcome: the reply to read, or the status it ended with.
struct AtspiBus::Sent {
    CallStatus status = CallStatus::kFailed;
    MessagePtr reply;
    std::string error;
};

AtspiBus::AtspiBus(ConnectionPtr connection, ConnectionPtr batches, std::chrono::milliseconds call_timeout)
    : connection_(std::move(connection)), batches_(std::move(batches)), call_timeout_(call_timeout) {}

AtspiBus::~AtspiBus() = default;

std::shared_ptr<AtspiBus> AtspiBus::Open(const std::string& address,
                                         std::chrono::milliseconds timeout,
                                         std::chrono::milliseconds call_timeout) {
    // The workers call on one connection at once; libdbus guards it once told to.
    static std::once_flag threads;
    std::call_once(threads, [] { dbus_threads_init_default(); });
    ConnectionPtr connection = OpenBus(address, timeout);
    if (connection == nullptr) {
        return nullptr;
    }
    // The registry announces each application as it comes, on its root: a window that no application stood
    // for is looked at again once one has come, and not before.
    DBusError error;
    dbus_error_init(&error);
    const MessagePtr watch(
        dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "AddMatch"));
    const char* rule = kApplicationsChangedRule;
    if (watch == nullptr || !dbus_message_append_args(watch.get(), DBUS_TYPE_STRING, &rule, DBUS_TYPE_INVALID)) {
        return nullptr;
    }
    const MessagePtr added(dbus_connection_send_with_reply_and_block(connection.get(), watch.get(),
                                                                     static_cast<int>(timeout.count()), &error));
    dbus_error_free(&error);
    if (added == nullptr) {
        return nullptr;
    }
    ConnectionPtr batches = OpenBus(address, timeout);
    if (batches == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<AtspiBus>(new AtspiBus(std::move(connection), std::move(batches), call_timeout));
}

void AtspiBus::Close() noexcept {
    dbus_connection_close(connection_.get());
    dbus_connection_close(batches_.get());
}

AtspiBus::Sent AtspiBus::Call(DBusMessage* message) {
    ++calls_;
    Sent sent;
    if (message == nullptr || !dbus_connection_get_is_connected(connection_.get())) {
        return sent;
    }
    DBusError error;
    dbus_error_init(&error);
    sent.reply = MessagePtr(dbus_connection_send_with_reply_and_block(connection_.get(), message,
                                                                      static_cast<int>(call_timeout_.count()), &error));
    if (sent.reply != nullptr) {
        sent.status = CallStatus::kAnswer;
    } else if (dbus_error_is_set(&error) && error.name != nullptr) {
        sent.error = error.name;
    }
    dbus_error_free(&error);
    TakeArrived();
    return sent;
}

// Problem: with a call waited on at a time, reading a tree costs a round trip through the bus daemon per
// question, several per element. Solution: the calls of a batch are all sent first, then their replies are
// taken as they come, matched by serial. The batches' connection is read by one thread at a time and
// subscribes to nothing, so whatever arrives on it is a reply to one of its calls, or late for an earlier batch.
std::vector<AtspiBus::Sent> AtspiBus::CallAll(const std::vector<MessagePtr>& messages, RoundTrips& trips) {
    std::vector<Sent> sent(messages.size());
    std::unique_lock lock(batch_mutex_, std::defer_lock);
    if (!lock.try_lock_for(call_timeout_)) {
        return sent;
    }
    for (std::size_t first = 0; first < messages.size(); first += kMaxCallsAtOnce) {
        const std::size_t end = std::min(messages.size(), first + kMaxCallsAtOnce);
        CallChunk(messages, first, end, trips, sent);
        // An error is a reply too; a call without any ends the batch.
        const bool replied = std::all_of(
            sent.begin() + static_cast<std::ptrdiff_t>(first), sent.begin() + static_cast<std::ptrdiff_t>(end),
            [](const Sent& one) { return one.status == CallStatus::kAnswer || !one.error.empty(); });
        if (!replied) {
            break;
        }
    }
    return sent;
}

void AtspiBus::CallChunk(const std::vector<MessagePtr>& messages,
                         std::size_t first,
                         std::size_t end,
                         RoundTrips& trips,
                         std::vector<Sent>& sent) {
    DBusConnection* connection = batches_.get();
    const auto take = [&](std::unordered_map<dbus_uint32_t, std::size_t>& waiting) {
        while (DBusMessage* arrived = dbus_connection_pop_message(connection)) {
            MessagePtr message(arrived);
            const auto found = waiting.find(dbus_message_get_reply_serial(arrived));
            if (found == waiting.end()) {
                continue;
            }
            Sent& one = sent[found->second];
            waiting.erase(found);
            if (dbus_message_get_type(arrived) == DBUS_MESSAGE_TYPE_ERROR) {
                const char* name = dbus_message_get_error_name(arrived);
                one.error = name != nullptr ? name : "";
            } else {
                one.status = CallStatus::kAnswer;
                one.reply = std::move(message);
            }
        }
    };
    std::unordered_map<dbus_uint32_t, std::size_t> waiting;
    take(waiting);  // what came too late for an earlier batch
    for (std::size_t index = first; index < end; ++index) {
        DBusMessage* message = messages[index].get();
        const char* destination = message != nullptr ? dbus_message_get_destination(message) : nullptr;
        if (destination == nullptr || !dbus_connection_get_is_connected(connection) || !trips.TripTo(destination)) {
            return;
        }
        ++calls_;
        dbus_uint32_t serial = 0;
        if (!dbus_connection_send(connection, message, &serial)) {
            return;
        }
        waiting[serial] = index;
    }
    const auto deadline = std::chrono::steady_clock::now() + call_timeout_;
    while (!waiting.empty()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        // Reading also writes what the socket would not take at once.
        if (left <= 0 || !dbus_connection_read_write(connection, static_cast<int>(left))) {
            break;
        }
        take(waiting);
    }
}

void AtspiBus::TakeArrived() {
    while (DBusMessage* arrived = dbus_connection_pop_message(connection_.get())) {
        if (dbus_message_is_signal(arrived, kEventObject, "ChildrenChanged") &&
            dbus_message_has_path(arrived, kRootPath)) {
            ++applications_changed_;
        }
        dbus_message_unref(arrived);
    }
}

bool AtspiBus::ReadArrived() {
    // A worker that waits on the connection reads for it meanwhile: this one then reads nothing, at once.
    dbus_connection_read_write(connection_.get(), 0);
    TakeArrived();
    return dbus_connection_get_is_connected(connection_.get()) != FALSE;
}

namespace {

// Readers of one value at an iterator, as the protocol's interface descriptions type it.
bool ReadString(DBusMessageIter* iter, std::string& value) {
    const char* text = nullptr;
    if (!ReadBasic(iter, DBUS_TYPE_STRING, text)) {
        return false;
    }
    value = text != nullptr ? text : "";
    return true;
}

bool ReadInt32(DBusMessageIter* iter, std::int32_t& value) {
    dbus_int32_t read = 0;
    const bool ok = ReadBasic(iter, DBUS_TYPE_INT32, read);
    value = read;
    return ok;
}

bool ReadUint32(DBusMessageIter* iter, std::uint32_t& value) {
    dbus_uint32_t read = 0;
    const bool ok = ReadBasic(iter, DBUS_TYPE_UINT32, read);
    value = read;
    return ok;
}

// a(so)
bool ReadReferences(DBusMessageIter* iter, std::vector<ObjectRef>& references) {
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_ARRAY) {
        return false;
    }
    DBusMessageIter array;
    dbus_message_iter_recurse(iter, &array);
    while (dbus_message_iter_get_arg_type(&array) != DBUS_TYPE_INVALID) {
        ObjectRef reference;
        if (!ReadReference(&array, reference)) {
            return false;
        }
        references.push_back(std::move(reference));
        dbus_message_iter_next(&array);
    }
    return true;
}

// au: the state set, two 32-bit words of bits.
bool ReadStates(DBusMessageIter* iter, ElementStates& states) {
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_ARRAY) {
        return false;
    }
    DBusMessageIter words;
    dbus_message_iter_recurse(iter, &words);
    std::uint64_t bits = 0;
    for (unsigned word = 0; word < 2 && dbus_message_iter_get_arg_type(&words) == DBUS_TYPE_UINT32; ++word) {
        dbus_uint32_t value = 0;
        dbus_message_iter_get_basic(&words, &value);
        bits |= std::uint64_t{value} << (32 * word);
        dbus_message_iter_next(&words);
    }
    const auto has = [bits](unsigned state) { return (bits >> state & 1U) != 0; };
    states = {.defunct = has(kStateDefunct), .showing = has(kStateShowing), .visible = has(kStateVisible)};
    return true;
}

// (iiii)
bool ReadExtents(DBusMessageIter* iter, std::optional<Extents>& extents) {
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_STRUCT) {
        return false;
    }
    DBusMessageIter fields;
    dbus_message_iter_recurse(iter, &fields);
    std::int64_t values[4] = {};
    for (std::int64_t& field : values) {
        std::int32_t value = 0;
        if (!ReadInt32(&fields, value)) {
            return false;
        }
        field = value;
        dbus_message_iter_next(&fields);
    }
    extents = Extents{values[0], values[1], values[2], values[3]};
    return true;
}

// a{ss}: the object attributes; only "id" is read.
bool ReadIdAttribute(DBusMessageIter* iter, std::string& id) {
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_ARRAY) {
        return false;
    }
    DBusMessageIter entries;
    dbus_message_iter_recurse(iter, &entries);
    while (dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&entries, &entry);
        std::string key;
        std::string value;
        if (!ReadString(&entry, key) || !dbus_message_iter_next(&entry) || !ReadString(&entry, value)) {
            return false;
        }
        if (key == "id") {
            id = std::move(value);
        }
        dbus_message_iter_next(&entries);
    }
    return dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_INVALID;
}

// What one call came back with: its reply's first value (inside the variant, for a property), read by `read`;
// or how it ended otherwise. A reply that cannot be read as the protocol describes it is never an answer.
template <typename Value, typename Sent, typename Read>
Reply<Value> Answered(const Sent& sent, Interface interface, bool property, Read&& read) {
    if (sent.status != CallStatus::kAnswer) {
        return {.status = StatusOfError(sent.error.c_str(), interface), .value = {}};
    }
    DBusMessageIter iter;
    DBusMessageIter value;
    Value result{};
    if (!FirstValue(sent.reply.get(), property, &iter, &value) || !read(&value, result)) {
        return {.status = CallStatus::kFailed, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = std::move(result)};
}

// A method call with its arguments appended; none when they could not be.
template <typename... Arguments>
MessagePtr WithArguments(MessagePtr message, const Arguments&... arguments) {
    if (message != nullptr && !dbus_message_append_args(message.get(), arguments..., DBUS_TYPE_INVALID)) {
        return nullptr;
    }
    return message;
}

constexpr bool kProperty = true;
constexpr bool kMethod = false;

}  // namespace

Reply<std::vector<ObjectRef>> AtspiBus::Applications() {
    return Children({kRegistryName, kRootPath});
}

Reply<std::uint32_t> AtspiBus::ProcessOf(const std::string& bus_name) {
    const char* name = bus_name.c_str();
    const MessagePtr message =
        WithArguments(MethodCall(kBusDaemonName, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "GetConnectionUnixProcessID"),
                      DBUS_TYPE_STRING, &name);
    return Answered<std::uint32_t>(Call(message.get()), Interface::kEveryObject, kMethod, ReadUint32);
}

Reply<std::string> AtspiBus::ToolkitName(const std::string& bus_name) {
    const MessagePtr message = PropertyGet({bus_name, kRootPath}, kApplication, "ToolkitName");
    return Answered<std::string>(Call(message.get()), Interface::kOptional, kProperty, ReadString);
}

Reply<std::vector<ObjectRef>> AtspiBus::Children(const ObjectRef& object) {
    const MessagePtr message = MethodCall(object.bus_name, object.path, kAccessible, "GetChildren");
    return Answered<std::vector<ObjectRef>>(Call(message.get()), Interface::kEveryObject, kMethod, ReadReferences);
}

Reply<std::int32_t> AtspiBus::ChildCount(const ObjectRef& object) {
    const MessagePtr message = PropertyGet(object, kAccessible, "ChildCount");
    return Answered<std::int32_t>(Call(message.get()), Interface::kEveryObject, kProperty, ReadInt32);
}

Reply<ObjectRef> AtspiBus::ChildAtIndex(const ObjectRef& object, std::int32_t index) {
    const dbus_int32_t at = index;
    const MessagePtr message =
        WithArguments(MethodCall(object.bus_name, object.path, kAccessible, "GetChildAtIndex"), DBUS_TYPE_INT32, &at);
    const Sent sent = Call(message.get());
    // GTK 4 answers an index past the end with an error of its own: no child there, not a failure.
    if (sent.status != CallStatus::kAnswer && Named(sent.error.c_str(), DBUS_ERROR_INVALID_ARGS)) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    return Answered<ObjectRef>(sent, Interface::kEveryObject, kMethod, ReadReference);
}

Reply<ObjectRef> AtspiBus::Parent(const ObjectRef& object) {
    const MessagePtr message = PropertyGet(object, kAccessible, "Parent");
    return Answered<ObjectRef>(Call(message.get()), Interface::kEveryObject, kProperty, ReadReference);
}

Reply<std::int32_t> AtspiBus::IndexInParent(const ObjectRef& object) {
    const MessagePtr message = MethodCall(object.bus_name, object.path, kAccessible, "GetIndexInParent");
    return Answered<std::int32_t>(Call(message.get()), Interface::kEveryObject, kMethod, ReadInt32);
}

Reply<std::uint32_t> AtspiBus::Role(const ObjectRef& object) {
    const MessagePtr message = MethodCall(object.bus_name, object.path, kAccessible, "GetRole");
    return Answered<std::uint32_t>(Call(message.get()), Interface::kEveryObject, kMethod, ReadUint32);
}

Reply<std::string> AtspiBus::RoleName(const ObjectRef& object) {
    const MessagePtr message = MethodCall(object.bus_name, object.path, kAccessible, "GetRoleName");
    return Answered<std::string>(Call(message.get()), Interface::kEveryObject, kMethod, ReadString);
}

Reply<std::string> AtspiBus::Name(const ObjectRef& object) {
    const MessagePtr message = PropertyGet(object, kAccessible, "Name");
    return Answered<std::string>(Call(message.get()), Interface::kEveryObject, kProperty, ReadString);
}

Reply<ElementStates> AtspiBus::States(const ObjectRef& object) {
    const MessagePtr message = MethodCall(object.bus_name, object.path, kAccessible, "GetState");
    return Answered<ElementStates>(Call(message.get()), Interface::kEveryObject, kMethod, ReadStates);
}

Reply<std::optional<Extents>> AtspiBus::ExtentsOf(const ObjectRef& object) {
    const dbus_uint32_t coordinates = kScreenCoordinates;
    const MessagePtr message = WithArguments(MethodCall(object.bus_name, object.path, kComponent, "GetExtents"),
                                             DBUS_TYPE_UINT32, &coordinates);
    return Answered<std::optional<Extents>>(Call(message.get()), Interface::kOptional, kMethod, ReadExtents);
}

Reply<std::vector<ObjectRef>> AtspiBus::ChildrenByIndex(const ObjectRef& object,
                                                        std::int32_t count,
                                                        RoundTrips& trips) {
    std::vector<MessagePtr> messages;
    messages.reserve(static_cast<std::size_t>(std::max<std::int32_t>(0, count)));
    for (dbus_int32_t index = 0; index < count; ++index) {
        messages.push_back(WithArguments(MethodCall(object.bus_name, object.path, kAccessible, "GetChildAtIndex"),
                                         DBUS_TYPE_INT32, &index));
    }
    const std::vector<Sent> sent = CallAll(messages, trips);
    Reply<std::vector<ObjectRef>> children{.status = CallStatus::kAnswer, .value = {}};
    for (const Sent& one : sent) {
        // GTK 4 answers an index past the end with an error of its own: no child there.
        if (one.status != CallStatus::kAnswer && Named(one.error.c_str(), DBUS_ERROR_INVALID_ARGS)) {
            children.value.emplace_back();
            continue;
        }
        Reply<ObjectRef> child = Answered<ObjectRef>(one, Interface::kEveryObject, kMethod, ReadReference);
        if (child.status != CallStatus::kAnswer) {
            return {.status = child.status, .value = {}};
        }
        children.value.push_back(std::move(child.value));
    }
    return children;
}

std::vector<Reply<ElementFacts>> AtspiBus::FactsOf(const std::vector<ObjectRef>& objects, RoundTrips& trips) {
    constexpr std::size_t kCallsEach = 5;
    std::vector<MessagePtr> messages;
    messages.reserve(objects.size() * kCallsEach);
    for (const ObjectRef& object : objects) {
        messages.push_back(PropertyGet(object, kAccessible, "Name"));
        messages.push_back(MethodCall(object.bus_name, object.path, kAccessible, "GetRole"));
        messages.push_back(PropertyGet(object, kAccessible, "ChildCount"));
        messages.push_back(PropertyGet(object, kAccessible, "AccessibleId"));
        messages.push_back(MethodCall(object.bus_name, object.path, kAccessible, "GetAttributes"));
    }
    const std::vector<Sent> sent = CallAll(messages, trips);
    std::vector<Reply<ElementFacts>> facts;
    facts.reserve(objects.size());
    for (std::size_t at = 0; at + kCallsEach <= sent.size(); at += kCallsEach) {
        const Reply<std::string> name = Answered<std::string>(sent[at], Interface::kEveryObject, kProperty, ReadString);
        const Reply<std::uint32_t> role =
            Answered<std::uint32_t>(sent[at + 1], Interface::kEveryObject, kMethod, ReadUint32);
        const Reply<std::int32_t> count =
            Answered<std::int32_t>(sent[at + 2], Interface::kEveryObject, kProperty, ReadInt32);
        // Optional: Qt has no AccessibleId, and what has no attributes may say so with "no such method".
        const Reply<std::string> id = Answered<std::string>(sent[at + 3], Interface::kOptional, kProperty, ReadString);
        const Reply<std::string> attribute =
            Answered<std::string>(sent[at + 4], Interface::kOptional, kMethod, ReadIdAttribute);
        const CallStatus statuses[] = {name.status, role.status, count.status, id.status, attribute.status};
        const auto any = [&](CallStatus wanted) {
            return std::find(std::begin(statuses), std::end(statuses), wanted) != std::end(statuses);
        };
        const CallStatus status = any(CallStatus::kFailed) ? CallStatus::kFailed
                                  : any(CallStatus::kGone) ? CallStatus::kGone
                                                           : CallStatus::kAnswer;
        facts.push_back({.status = status,
                         .value = {.name = name.value,
                                   .role = role.value,
                                   .accessible_id = id.value,
                                   .id_attribute = attribute.value,
                                   .child_count = std::max<std::int32_t>(0, count.value)}});
    }
    return facts;
}

std::vector<Reply<std::string>> AtspiBus::RoleNames(const std::vector<ObjectRef>& objects, RoundTrips& trips) {
    std::vector<MessagePtr> messages;
    messages.reserve(objects.size());
    for (const ObjectRef& object : objects) {
        messages.push_back(MethodCall(object.bus_name, object.path, kAccessible, "GetRoleName"));
    }
    std::vector<Reply<std::string>> names;
    names.reserve(objects.size());
    for (const Sent& one : CallAll(messages, trips)) {
        names.push_back(Answered<std::string>(one, Interface::kEveryObject, kMethod, ReadString));
    }
    return names;
}

Reply<ObjectRef> AtspiBus::AccessibleAtPoint(const ObjectRef& object, Point reported) {
    const dbus_int32_t x = reported.x;
    const dbus_int32_t y = reported.y;
    const dbus_uint32_t coordinates = kScreenCoordinates;
    const MessagePtr message =
        WithArguments(MethodCall(object.bus_name, object.path, kComponent, "GetAccessibleAtPoint"), DBUS_TYPE_INT32, &x,
                      DBUS_TYPE_INT32, &y, DBUS_TYPE_UINT32, &coordinates);
    return Answered<ObjectRef>(Call(message.get()), Interface::kOptional, kMethod, ReadReference);
}

}  // namespace hovermark::atspi
