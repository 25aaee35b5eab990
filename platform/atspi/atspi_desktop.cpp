#include "platform/atspi/atspi_desktop.h"

#include <memory>
#include <string_view>
#include <utility>

#include <dbus/dbus.h>

#include "platform/atspi/dbus_owners.h"

namespace hovermark::atspi {
namespace {

constexpr char kRegistry[] = "org.a11y.atspi.Registry";
constexpr Extents kNoExtents{-1, -1, -1, -1};
constexpr std::string_view kUnreadRole = "invalid";

std::string BusNameOf(AtspiAccessible* object) {
    const AtspiObject* base = ATSPI_OBJECT(object);
    return base->app != nullptr && base->app->bus_name != nullptr ? std::string(base->app->bus_name) : std::string();
}

std::string PathOf(AtspiAccessible* object) {
    const AtspiObject* base = ATSPI_OBJECT(object);
    return base->path != nullptr ? std::string(base->path) : std::string();
}

}  // namespace

AtspiDesktop::Call::Call(AtspiDesktop& desktop, const std::string& application)
    : desktop_(desktop), application_(application), start_(std::chrono::steady_clock::now()) {
    ++desktop_.round_trips_;
}

// A call that gave up has waited the whole bound. It does not always say so: libatspi reports a call that
// timed out on a direct connection to an application as an empty answer. An application that answers at
// all answers in a few milliseconds, so a call that took nearly the bound and brought nothing is taken as
// given up; one that brought something was answered, however late (on a loaded machine), and the walk's own
// budget bounds how long such answers may go on.
bool AtspiDesktop::Call::Succeeded(bool answered) {
    if (!answered && std::chrono::steady_clock::now() - start_ >= desktop_.timeout_ * 4 / 5) {
        throw ApplicationHung{application_};
    }
    return !error_.failed();
}

AtspiDesktop::AtspiDesktop(std::chrono::milliseconds timeout) : timeout_(timeout) {}

std::vector<AccessibleApplication> AtspiDesktop::Applications(WalkBudget& budget) {
    const std::string registry(kRegistry);
    GObjectRef<AtspiAccessible> desktop;
    if (!budget.Spend()) {
        return {};
    }
    {
        Call call(*this, registry);
        desktop = GObjectRef<AtspiAccessible>(atspi_get_desktop(0));
        call.Succeeded();
    }
    if (!desktop) {
        return {};
    }
    AtspiElement root(*this, std::move(desktop));
    std::vector<AccessibleApplication> applications;
    const std::int32_t count = budget.Spend() ? root.ChildCount() : 0;
    for (std::int32_t index = 0; index < count && budget.Spend(); ++index) {
        AccessiblePtr application = root.ChildAt(index);
        if (application == nullptr) {
            continue;
        }
        const bool known = pids_.contains(application->Application());
        if (!known && !budget.Spend()) {
            break;
        }
        std::optional<std::uint32_t> pid = ProcessOf(application->Application());
        applications.push_back({std::move(application), pid});
    }
    return applications;
}

// The bus daemon knows each connection's process; the answer never changes for a bus name, so it is asked once.
std::optional<std::uint32_t> AtspiDesktop::ProcessOf(const std::string& bus_name) {
    if (const auto known = pids_.find(bus_name); known != pids_.end()) {
        return known->second;
    }
    DBusConnection* bus = atspi_get_a11y_bus();
    MessagePtr message(dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                    "org.freedesktop.DBus", "GetConnectionUnixProcessID"));
    if (bus == nullptr || message == nullptr) {
        return std::nullopt;
    }
    const char* name = bus_name.c_str();
    dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    DBusError error;
    dbus_error_init(&error);
    ++round_trips_;
    MessagePtr reply(
        dbus_connection_send_with_reply_and_block(bus, message.get(), static_cast<int>(timeout_.count()), &error));
    std::optional<std::uint32_t> pid;
    dbus_uint32_t value = 0;
    if (reply != nullptr && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &value, DBUS_TYPE_INVALID)) {
        pid = value;
    }
    dbus_error_free(&error);
    pids_[bus_name] = pid;
    return pid;
}

AtspiElement::AtspiElement(AtspiDesktop& desktop, GObjectRef<AtspiAccessible> object)
    : desktop_(desktop),
      object_(std::move(object)),
      application_(BusNameOf(object_.get())),
      id_(application_ + PathOf(object_.get())) {}

AccessiblePtr AtspiElement::Wrap(AtspiAccessible* owned) {
    if (owned == nullptr) {
        return nullptr;
    }
    return std::make_shared<AtspiElement>(desktop_, GObjectRef<AtspiAccessible>(owned));
}

std::optional<Extents> AtspiElement::ReportedExtents() {
    AtspiDesktop::Call call(desktop_, application_);
    AtspiRect* rect =
        atspi_component_get_extents(ATSPI_COMPONENT(object_.get()), ATSPI_COORD_TYPE_SCREEN, call.error());
    std::optional<Extents> extents;
    if (rect != nullptr) {
        extents = Extents{rect->x, rect->y, rect->width, rect->height};
        g_free(rect);
    }
    // A call that failed or gave up does not bring NULL but -1s.
    if (!call.Succeeded(extents && *extents != kNoExtents)) {
        return std::nullopt;
    }
    return extents;
}

AccessiblePtr AtspiElement::ChildAtPoint(std::int32_t x, std::int32_t y) {
    AtspiDesktop::Call call(desktop_, application_);
    AccessiblePtr child = Wrap(atspi_component_get_accessible_at_point(ATSPI_COMPONENT(object_.get()), x, y,
                                                                       ATSPI_COORD_TYPE_SCREEN, call.error()));
    return call.Succeeded(child != nullptr) ? child : nullptr;
}

std::int32_t AtspiElement::ChildCount() {
    AtspiDesktop::Call call(desktop_, application_);
    const gint count = atspi_accessible_get_child_count(object_.get(), call.error());
    return call.Succeeded(count > 0) && count > 0 ? count : 0;
}

AccessiblePtr AtspiElement::ChildAt(std::int32_t index) {
    AtspiDesktop::Call call(desktop_, application_);
    AccessiblePtr child = Wrap(atspi_accessible_get_child_at_index(object_.get(), index, call.error()));
    return call.Succeeded(child != nullptr) ? child : nullptr;
}

AccessiblePtr AtspiElement::Parent() {
    AtspiDesktop::Call call(desktop_, application_);
    AccessiblePtr parent = Wrap(atspi_accessible_get_parent(object_.get(), call.error()));
    return call.Succeeded(parent != nullptr) ? parent : nullptr;
}

std::int32_t AtspiElement::IndexInParent() {
    AtspiDesktop::Call call(desktop_, application_);
    const gint index = atspi_accessible_get_index_in_parent(object_.get(), call.error());
    return call.Succeeded(index >= 0) ? index : -1;
}

// The state set has no error channel: a call that failed or gave up brings a set that says DEFUNCT alone (or
// nothing), just as an element that has gone does. Only a prompt answer says "gone".
ElementStates AtspiElement::States() {
    AtspiDesktop::Call call(desktop_, application_);
    const GObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(object_.get()));
    const bool defunct = !states || atspi_state_set_contains(states.get(), ATSPI_STATE_DEFUNCT) != FALSE;
    call.Succeeded(!defunct);
    if (!states) {
        return {.defunct = true};
    }
    return {.visible = atspi_state_set_contains(states.get(), ATSPI_STATE_VISIBLE) != FALSE,
            .showing = atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING) != FALSE,
            .defunct = defunct};
}

std::string AtspiElement::RoleName() {
    AtspiDesktop::Call call(desktop_, application_);
    std::string role = TakeString(atspi_accessible_get_role_name(object_.get(), call.error()));
    // A role that could not be read is named "invalid".
    return call.Succeeded(!role.empty() && role != kUnreadRole) ? role : std::string();
}

std::string AtspiElement::Name() {
    AtspiDesktop::Call call(desktop_, application_);
    std::string name = TakeString(atspi_accessible_get_name(object_.get(), call.error()));
    return call.Succeeded(!name.empty()) ? name : std::string();
}

std::string AtspiElement::ToolkitName() {
    AtspiDesktop::Call call(desktop_, application_);
    std::string name = TakeString(atspi_accessible_get_toolkit_name(object_.get(), call.error()));
    return call.Succeeded(!name.empty()) ? name : std::string();
}

}  // namespace hovermark::atspi
