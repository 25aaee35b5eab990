#include "platform/atspi/atspi_adapter.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include "platform/atspi/process_facts.h"
#include "platform/atspi/role_names.h"
#include "platform/atspi/session_bus.h"

namespace hovermark::atspi {
namespace {

// How many children one fallback looks at, those of the elements without extents that stand for their
// children included (the last ones, where the toolkits put what is drawn on top).
constexpr int kMaxChildrenExamined = 256;
// How many levels of elements without extents stand for their children, one inside the other.
constexpr int kMaxStandInDepth = 4;
constexpr std::size_t kMaxTopLevels = 256;
constexpr std::size_t kMaxApplications = 256;
// The windows whose facts are kept for the workers; more than the pointer visits between two clean-ups.
constexpr std::size_t kMaxWindowsKept = 256;
// A locator's check gives up on an element with more children than this: they could not be read in time.
constexpr std::int32_t kMaxChildrenRead = 4096;

template <typename Value, typename Other>
Reply<Value> Stopped(const Reply<Other>& reply) {
    return {.status = reply.status, .value = {}};
}

template <typename Value>
Reply<Value> Refused() {
    return {.status = CallStatus::kFailed, .value = {}};
}

template <typename Value>
Reply<Value> Answer(Value value) {
    return {.status = CallStatus::kAnswer, .value = std::move(value)};
}

}  // namespace

struct AtspiAdapter::Node final : ElementNode {
    Node(std::shared_ptr<AtspiBus> bus_,
         ObjectRef object_,
         WindowHandle top_level_,
         Placement placement_,
         std::optional<std::int32_t> child_count_ = std::nullopt)
        : bus(std::move(bus_)),
          object(std::move(object_)),
          top_level(top_level_),
          placement(placement_),
          child_count(child_count_) {}

    // The connection it was found on: once that has closed, every call on the node fails.
    const std::shared_ptr<AtspiBus> bus;
    const ObjectRef object;
    // The window whose place corrects its extents, and how.
    const WindowHandle top_level;
    const Placement placement;
    // How many children it had when a locator's check read it with its siblings: its own children are then
    // read without asking again, and a leaf costs nothing.
    const std::optional<std::int32_t> child_count;
};

namespace {

struct Opened {
    std::shared_ptr<AtspiBus> bus;
    std::optional<SessionBus> session;   // where IsEnabled is switched
    std::optional<std::string> problem;  // when there is no bus
};

// Finds the accessibility bus (the user's own address, read afresh each time, else the session's bus launcher)
// and opens a connection there. Each wait is bounded.
Opened OpenAccessibilityBus() {
    std::optional<SessionBus> session = SessionBus::Connect(kStartTimeout);
    if (!session) {
        return {.bus = nullptr, .session = std::nullopt, .problem = std::string(kNoSessionBusText)};
    }
    const char* configured = std::getenv("AT_SPI_BUS_ADDRESS");
    const std::optional<std::string> address = configured != nullptr && *configured != '\0'
                                                   ? std::optional<std::string>(configured)
                                                   : session->AccessibilityBusAddress();
    std::shared_ptr<AtspiBus> bus = address ? AtspiBus::Open(*address, kStartTimeout, kCallTimeout) : nullptr;
    if (!bus) {
        return {.bus = nullptr, .session = std::nullopt, .problem = std::string(kNoAccessibilityBusText)};
    }
    return {.bus = std::move(bus), .session = std::move(session), .problem = std::nullopt};
}

// Sets IsEnabled where it is false, so that applications which describe their elements only on request (Qt,
// Chromium) do so.
void SwitchOn(SessionBus& session, IsEnabledChange& change) {
    if (session.IsEnabled() == false) {
        // Recorded before it is made: an end of the program in between, or an answer lost after the change
        // was made, still puts it back.
        change.Made(session.Address());
        session.SetEnabled(true);
    }
}

}  // namespace

// A bus that died while the mode is on is opened again on a thread of its own: opening waits on the session
// bus and on the new bus, which the GUI thread never does. What it opens the GUI thread takes at its next tick.
// IsEnabled is switched on there under the mutex, and only while the mode is on, so that switching the mode off
// (which marks it closed under the same mutex, then puts IsEnabled back) never comes between.
struct AtspiAdapter::Reconnection {
    std::mutex mutex;
    bool closed = false;  // the mode has gone off: what is opened now is closed at once
    bool trying = false;
    std::shared_ptr<AtspiBus> opened;
};

AtspiAdapter::AtspiAdapter(TopLevelFacts& facts)
    : facts_(facts),
      enabled_change_(std::make_shared<IsEnabledChange>(kStartTimeout)),
      own_process_(static_cast<std::uint32_t>(getpid())) {}

AtspiAdapter::~AtspiAdapter() {
    Stop();
}

std::optional<std::string> AtspiAdapter::Start() {
    if (Bus()) {
        return std::nullopt;
    }
    Opened opened = OpenAccessibilityBus();
    if (!opened.bus) {
        return opened.problem;
    }
    SwitchOn(*opened.session, *enabled_change_);
    const std::lock_guard lock(mutex_);
    bus_ = std::move(opened.bus);
    reconnection_ = std::make_shared<Reconnection>();
    started_ticks_ = BootTicksNow();
    processes_.clear();
    toolkits_.clear();
    return std::nullopt;
}

void AtspiAdapter::Stop() noexcept {
    std::shared_ptr<AtspiBus> bus;
    std::shared_ptr<Reconnection> reconnection;
    {
        const std::lock_guard lock(mutex_);
        bus = std::move(bus_);
        reconnection = std::move(reconnection_);
        top_levels_.clear();
        top_level_of_.clear();
        last_window_ = 0;
    }
    if (reconnection) {
        const std::lock_guard lock(reconnection->mutex);
        reconnection->closed = true;
        if (reconnection->opened) {
            reconnection->opened->Close();
        }
    }
    if (bus) {
        bus->Close();
    }
    facts_.StopWatching();
    enabled_change_->PutBack();
}

// Asked at every tick on the GUI thread: takes a bus opened again, or starts opening one, no more often than
// kReopenEvery, once the one held has died.
void AtspiAdapter::KeepConnected() {
    std::shared_ptr<AtspiBus> bus;
    std::shared_ptr<Reconnection> reconnection;
    {
        const std::lock_guard lock(mutex_);
        bus = bus_;
        reconnection = reconnection_;
    }
    if (!bus || !reconnection) {
        return;
    }
    std::shared_ptr<AtspiBus> opened;
    {
        const std::lock_guard lock(reconnection->mutex);
        opened = std::move(reconnection->opened);
        if (!opened) {
            const bool connected = bus->ReadArrived();
            const auto now = std::chrono::steady_clock::now();
            if (connected || reconnection->trying || now - last_reopen_ < kReopenEvery) {
                return;
            }
            last_reopen_ = now;
            reconnection->trying = true;
        }
    }
    if (opened) {
        const std::lock_guard lock(mutex_);
        bus_ = std::move(opened);
        ++connection_;
        processes_.clear();
        toolkits_.clear();
        return;
    }
    bus->Close();
    std::thread([reconnection, change = enabled_change_] {
        Opened reopened = OpenAccessibilityBus();
        const std::lock_guard lock(reconnection->mutex);
        reconnection->trying = false;
        if (!reopened.bus) {
            return;
        }
        if (reconnection->closed) {
            reopened.bus->Close();
            return;
        }
        SwitchOn(*reopened.session, *change);
        reconnection->opened = std::move(reopened.bus);
    }).detach();
}

std::uint64_t AtspiAdapter::Connection() {
    const std::lock_guard lock(mutex_);
    return connection_;
}

std::uint64_t AtspiAdapter::BusCalls() const {
    const std::shared_ptr<AtspiBus> bus = Bus();
    return bus ? bus->Calls() : 0;
}

std::shared_ptr<AtspiBus> AtspiAdapter::Bus() const {
    const std::lock_guard lock(mutex_);
    return bus_;
}

// At rest over a window whose top-level window shows nothing new, what was read of it at the last tick stands:
// the X server is not asked again either.
ApplicationId AtspiAdapter::ApplicationOfWindow(WindowHandle window) {
    KeepConnected();
    std::optional<WindowHandle> resting_on;
    {
        const std::lock_guard lock(mutex_);
        if (window == last_window_ && top_level_of_.contains(window)) {
            resting_on = top_level_of_[window];
        }
    }
    if (resting_on) {
        const bool changed = facts_.ChangedSinceLastAsked(*resting_on);
        const std::lock_guard lock(mutex_);
        last_changed_ = changed;
        if (!changed) {
            return last_application_;
        }
    }
    const std::optional<TopLevelWindow> facts = facts_.TopLevelOf(window);
    const std::lock_guard lock(mutex_);
    last_window_ = window;
    last_changed_ = true;
    last_application_.clear();
    // This program's own windows hold no elements it could read without answering itself; a window that tells
    // neither its process nor its title (a window manager's frame) can match nothing.
    if (!facts || facts->pid == own_process_ || (!facts->pid && facts->title.empty())) {
        top_level_of_.erase(window);
        last_window_ = 0;
        return {};
    }
    if (top_levels_.size() >= kMaxWindowsKept || top_level_of_.size() >= kMaxWindowsKept) {
        top_levels_.clear();
        top_level_of_.clear();
    }
    top_levels_[facts->top_level] = *facts;
    top_level_of_[window] = facts->top_level;
    last_application_ =
        facts->pid ? "process " + std::to_string(*facts->pid) : "window " + std::to_string(facts->top_level);
    return last_application_;
}

bool AtspiAdapter::WindowExists(WindowHandle window) {
    KeepConnected();
    return facts_.TopLevelOf(window).has_value();
}

// Asked after ApplicationOfWindow in the same tick, which has asked the window system already.
bool AtspiAdapter::ChangedSinceLastAsked(WindowHandle window) {
    const std::lock_guard lock(mutex_);
    return window != last_window_ || last_changed_;
}

// What has arrived was read at this tick already, by KeepConnected.
std::uint64_t AtspiAdapter::ApplicationsSeen() {
    const std::shared_ptr<AtspiBus> bus = Bus();
    return bus ? bus->ApplicationsChanged() : 0;
}

std::optional<TopLevelWindow> AtspiAdapter::FactsOf(WindowHandle window) const {
    const std::lock_guard lock(mutex_);
    const auto top_level = top_level_of_.find(window);
    if (top_level == top_level_of_.end()) {
        return std::nullopt;
    }
    const auto facts = top_levels_.find(top_level->second);
    return facts != top_levels_.end() ? std::optional<TopLevelWindow>(facts->second) : std::nullopt;
}

Offset AtspiAdapter::OffsetOf(const Node& node) const {
    const std::lock_guard lock(mutex_);
    const auto facts = top_levels_.find(node.top_level);
    return OffsetFor(node.placement, facts != top_levels_.end() ? facts->second.rect : Rectangle{});
}

NodePtr AtspiAdapter::Wrap(const Node& like, ObjectRef object) const {
    return std::make_shared<const Node>(like.bus, std::move(object), like.top_level, like.placement);
}

std::string AtspiAdapter::Identity(const ElementNode& node) const {
    const auto& atspi = static_cast<const Node&>(node);
    return atspi.object.bus_name + atspi.object.path;
}

ApplicationId AtspiAdapter::ApplicationOf(const ElementNode& node) const {
    return static_cast<const Node&>(node).object.bus_name;
}

// Every application on the bus, with its process where the bus daemon knows it. A bus name never changes its
// process, so each is asked once a connection.
Reply<std::vector<std::string>> AtspiAdapter::AllApplications(AtspiBus& bus, RoundTrips& trips) {
    if (!trips.TripTo(kRegistryName)) {
        return Refused<std::vector<std::string>>();
    }
    Reply<std::vector<ObjectRef>> roots = bus.Applications();
    if (roots.status != CallStatus::kAnswer) {
        // The registry itself gone is a bus that cannot list anything now.
        return {.status = CallStatus::kFailed, .value = {}};
    }
    std::vector<std::string> applications;
    for (const ObjectRef& root : roots.value) {
        if (root.IsNull() || applications.size() == kMaxApplications) {
            continue;
        }
        bool known = false;
        {
            const std::lock_guard lock(mutex_);
            known = processes_.contains(root.bus_name);
        }
        if (!known) {
            if (!trips.TripTo(kBusDaemonName)) {
                return Refused<std::vector<std::string>>();
            }
            const Reply<std::uint32_t> pid = bus.ProcessOf(root.bus_name);
            if (pid.status == CallStatus::kFailed) {
                return Stopped<std::vector<std::string>>(pid);
            }
            const std::lock_guard lock(mutex_);
            processes_[root.bus_name] =
                pid.status == CallStatus::kAnswer ? std::optional<std::uint32_t>(pid.value) : std::nullopt;
        }
        applications.push_back(root.bus_name);
    }
    return Answer(std::move(applications));
}

Reply<NodePtr> AtspiAdapter::WindowNode(WindowHandle window, RoundTrips& trips) {
    const std::shared_ptr<AtspiBus> bus = Bus();
    const std::optional<TopLevelWindow> facts = FactsOf(window);
    if (!bus) {
        return Refused<NodePtr>();
    }
    if (!facts) {
        return Answer(NodePtr());
    }
    // The applications with the window's process, as met on this connection; where none was met, the bus is
    // listed again (once), and an application started since is found.
    const auto owners = [&] {
        const std::lock_guard lock(mutex_);
        std::vector<std::string> names;
        for (const auto& [name, process] : processes_) {
            if (facts->pid && process == facts->pid) {
                names.push_back(name);
            }
        }
        return names;
    };
    std::vector<std::string> applications = owners();
    Ownership ownership = Ownership::kOwner;
    if (applications.empty()) {
        Reply<std::vector<std::string>> all = AllApplications(*bus, trips);
        if (all.status != CallStatus::kAnswer) {
            return Stopped<NodePtr>(all);
        }
        applications = owners();
        if (applications.empty()) {
            ownership = Ownership::kAnyApplication;
            const std::lock_guard lock(mutex_);
            for (std::string& name : all.value) {
                if (processes_[name] != own_process_) {
                    applications.push_back(std::move(name));
                }
            }
        }
    }

    std::vector<ObjectRef> top_levels;
    std::vector<TopLevelCandidate> candidates;
    for (const std::string& application : applications) {
        if (!trips.TripTo(application)) {
            return Refused<NodePtr>();
        }
        const Reply<std::vector<ObjectRef>> children = bus->Children({application, kRootPath});
        // An application that has gone holds no window; one that did not answer may hold this one.
        if (children.status == CallStatus::kFailed) {
            return Stopped<NodePtr>(children);
        }
        for (std::size_t at = 0; at < children.value.size() && at < kMaxTopLevels; ++at) {
            const ObjectRef& top_level = children.value[at];
            if (top_level.IsNull() || top_level.bus_name != application) {
                continue;
            }
            if (!trips.TripTo(application)) {
                return Refused<NodePtr>();
            }
            const Reply<std::optional<Extents>> extents = bus->ExtentsOf(top_level);
            if (extents.status == CallStatus::kFailed) {
                return Stopped<NodePtr>(extents);
            }
            candidates.push_back({.index = top_levels.size(), .extents = extents.value});
            top_levels.push_back(top_level);
        }
    }
    bool name_failed = false;
    const TopLevelName name_of = [&](const TopLevelCandidate& candidate) -> std::optional<std::string> {
        const ObjectRef& top_level = top_levels[candidate.index];
        if (name_failed || !trips.TripTo(top_level.bus_name)) {
            return std::nullopt;
        }
        Reply<std::string> name = bus->Name(top_level);
        name_failed = name.status == CallStatus::kFailed;
        return name.status == CallStatus::kAnswer ? std::optional<std::string>(std::move(name.value)) : std::nullopt;
    };
    const std::optional<std::size_t> chosen = FindTopLevel(candidates, *facts, ownership, name_of);
    if (name_failed) {
        return Refused<NodePtr>();
    }
    if (!chosen) {
        return Answer(NodePtr());
    }
    const std::optional<Extents>& extents = candidates[*chosen].extents;
    const Placement placement = extents ? PlacementFor(*extents, *facts) : Placement{};
    return Answer<NodePtr>(std::make_shared<const Node>(bus, top_levels[*chosen], facts->top_level, placement));
}

namespace {

// One fallback's walk through children.
struct Search {
    AtspiBus& bus;
    const std::string& application;
    Offset offset;
    Point screen;
    RoundTrips& trips;
    int examined = 0;
};

// Problem: some toolkits (GTK 4.8) answer "nothing" or the element itself when asked for the element at a
// point, although one of its children holds it. Solution: look at the children as screen readers do: the last
// one (in child order) that is visible, showing where the toolkit marks children as showing at all, and holds
// the point; a child without extents of its own stands for its children. The children looked at count against
// one allowance for the whole fallback.
Reply<std::optional<ObjectRef>> ChildHolding(Search& search, const ObjectRef& parent, int stand_in_depth) {
    using Found = Reply<std::optional<ObjectRef>>;
    if (!search.trips.TripTo(search.application)) {
        return {.status = CallStatus::kFailed, .value = std::nullopt};
    }
    const Reply<std::int32_t> count = search.bus.ChildCount(parent);
    if (count.status != CallStatus::kAnswer) {
        return {.status = count.status, .value = std::nullopt};
    }
    std::vector<std::pair<ObjectRef, ElementStates>> children;
    bool any_showing = false;
    const std::int32_t first = std::max<std::int32_t>(0, count.value - kMaxChildrenExamined);
    for (std::int32_t index = count.value - 1; index >= first && search.examined < kMaxChildrenExamined; --index) {
        ++search.examined;
        if (!search.trips.TripTo(search.application)) {
            return {.status = CallStatus::kFailed, .value = std::nullopt};
        }
        Reply<ObjectRef> child = search.bus.ChildAtIndex(parent, index);
        if (child.status != CallStatus::kAnswer) {
            return {.status = child.status, .value = std::nullopt};
        }
        if (child.value.IsNull() || child.value.bus_name != search.application) {
            continue;
        }
        if (!search.trips.TripTo(search.application)) {
            return {.status = CallStatus::kFailed, .value = std::nullopt};
        }
        const Reply<ElementStates> states = search.bus.States(child.value);
        if (states.status == CallStatus::kFailed) {
            return {.status = CallStatus::kFailed, .value = std::nullopt};
        }
        if (states.status == CallStatus::kGone) {
            continue;
        }
        any_showing = any_showing || states.value.showing;
        children.emplace_back(std::move(child.value), states.value);
    }
    for (const auto& [child, states] : children) {
        if (!states.visible || states.defunct || (any_showing && !states.showing)) {
            continue;
        }
        if (!search.trips.TripTo(search.application)) {
            return {.status = CallStatus::kFailed, .value = std::nullopt};
        }
        const Reply<std::optional<Extents>> extents = search.bus.ExtentsOf(child);
        if (extents.status == CallStatus::kFailed) {
            return {.status = CallStatus::kFailed, .value = std::nullopt};
        }
        if (extents.status == CallStatus::kGone) {
            continue;
        }
        if (extents.value) {
            if (Holds(*extents.value, search.offset, search.screen)) {
                return Found{.status = CallStatus::kAnswer, .value = child};
            }
        } else if (stand_in_depth < kMaxStandInDepth) {
            Found inside = ChildHolding(search, child, stand_in_depth + 1);
            if (inside.status == CallStatus::kFailed) {
                return inside;
            }
            if (inside.status == CallStatus::kAnswer && inside.value) {
                return Found{.status = CallStatus::kAnswer, .value = child};
            }
        }
    }
    return {.status = CallStatus::kAnswer, .value = std::nullopt};
}

}  // namespace

// Problem: toolkits answer the element-at-point question with a child or any deeper descendant (the engine
// climbs back through the levels between), and Chromium, while its own hit test is still on its way, with an
// element its parent does not list (a button's text, which the button keeps to itself), one that no walk
// through the children ever meets; a hostile one may answer with an element elsewhere. Solution: an answer is
// followed only when it is another element of the same application, its parent lists it, and its extents (if
// it has any) hold the point; otherwise the children are looked at instead.
Reply<NodePtr> AtspiAdapter::ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) {
    const auto& from = static_cast<const Node&>(*node);
    const std::string& application = from.object.bus_name;
    const Offset offset = OffsetOf(from);
    const std::optional<Point> reported = Reported(screen, offset);
    if (!reported) {
        return Answer(NodePtr());
    }
    if (!trips.TripTo(application)) {
        return Refused<NodePtr>();
    }
    const Reply<ObjectRef> answer = from.bus->AccessibleAtPoint(from.object, *reported);
    if (answer.status != CallStatus::kAnswer) {
        return Stopped<NodePtr>(answer);
    }
    if (!answer.value.IsNull() && answer.value != from.object && answer.value.bus_name == application) {
        if (!trips.TripTo(application)) {
            return Refused<NodePtr>();
        }
        const Reply<std::int32_t> index = from.bus->IndexInParent(answer.value);
        if (index.status == CallStatus::kFailed) {
            return Stopped<NodePtr>(index);
        }
        if (index.status == CallStatus::kAnswer && index.value >= 0) {
            if (!trips.TripTo(application)) {
                return Refused<NodePtr>();
            }
            const Reply<std::optional<Extents>> extents = from.bus->ExtentsOf(answer.value);
            if (extents.status == CallStatus::kFailed) {
                return Stopped<NodePtr>(extents);
            }
            if (extents.status == CallStatus::kAnswer && (!extents.value || Holds(*extents.value, offset, screen))) {
                return Answer(Wrap(from, answer.value));
            }
        }
    }
    Search search{.bus = *from.bus, .application = application, .offset = offset, .screen = screen, .trips = trips};
    const Reply<std::optional<ObjectRef>> child = ChildHolding(search, from.object, 0);
    if (child.status != CallStatus::kAnswer) {
        return Stopped<NodePtr>(child);
    }
    return Answer(child.value ? Wrap(from, *child.value) : NodePtr());
}

Reply<NodePtr> AtspiAdapter::ParentOf(const NodePtr& node, RoundTrips& trips) {
    const auto& child = static_cast<const Node&>(*node);
    if (!trips.TripTo(child.object.bus_name)) {
        return Refused<NodePtr>();
    }
    const Reply<ObjectRef> parent = child.bus->Parent(child.object);
    if (parent.status != CallStatus::kAnswer) {
        return Stopped<NodePtr>(parent);
    }
    // A parent in another application cannot be followed: its calls would go elsewhere.
    if (parent.value.IsNull() || parent.value.bus_name != child.object.bus_name) {
        return Answer(NodePtr());
    }
    return Answer(Wrap(child, parent.value));
}

// The role's number, named by the protocol's own table, so that a button is a "push button" whatever a toolkit
// calls its roles itself (GTK 4: "button"); the application's own name only where the table has none.
Reply<std::string> AtspiAdapter::RoleOf(const NodePtr& node, RoundTrips& trips) {
    const auto& element = static_cast<const Node&>(*node);
    if (!trips.TripTo(element.object.bus_name)) {
        return Refused<std::string>();
    }
    const Reply<std::uint32_t> role = element.bus->Role(element.object);
    if (role.status != CallStatus::kAnswer) {
        return Stopped<std::string>(role);
    }
    if (const std::string_view name = RoleName(role.value); !name.empty()) {
        return Answer(std::string(name));
    }
    if (!trips.TripTo(element.object.bus_name)) {
        return Refused<std::string>();
    }
    return element.bus->RoleName(element.object);
}

Reply<std::string> AtspiAdapter::NameOf(const NodePtr& node, RoundTrips& trips) {
    const auto& element = static_cast<const Node&>(*node);
    if (!trips.TripTo(element.object.bus_name)) {
        return Refused<std::string>();
    }
    return element.bus->Name(element.object);
}

// An element with no place to tell, or an empty one, may have gone: its states say (a gone element's
// application answers that it knows no such object, or marks it defunct).
Reply<std::optional<Rectangle>> AtspiAdapter::ExtentsOf(const NodePtr& node, RoundTrips& trips) {
    const auto& element = static_cast<const Node&>(*node);
    if (!trips.TripTo(element.object.bus_name)) {
        return Refused<std::optional<Rectangle>>();
    }
    const Reply<std::optional<Extents>> extents = element.bus->ExtentsOf(element.object);
    if (extents.status != CallStatus::kAnswer) {
        return Stopped<std::optional<Rectangle>>(extents);
    }
    const std::optional<Rectangle> on_screen =
        extents.value ? OnScreen(*extents.value, OffsetOf(element)) : std::nullopt;
    if (on_screen) {
        return Answer(on_screen);
    }
    if (!trips.TripTo(element.object.bus_name)) {
        return Refused<std::optional<Rectangle>>();
    }
    const Reply<ElementStates> states = element.bus->States(element.object);
    if (states.status != CallStatus::kAnswer) {
        return Stopped<std::optional<Rectangle>>(states);
    }
    if (states.value.defunct) {
        return {.status = CallStatus::kGone, .value = std::nullopt};
    }
    return Answer(std::optional<Rectangle>());
}

Reply<std::string> AtspiAdapter::ToolkitOf(AtspiBus& bus, const std::string& application, RoundTrips& trips) {
    {
        const std::lock_guard lock(mutex_);
        if (const auto known = toolkits_.find(application); known != toolkits_.end()) {
            return Answer(known->second);
        }
    }
    if (!trips.TripTo(application)) {
        return Refused<std::string>();
    }
    Reply<std::string> toolkit = bus.ToolkitName(application);
    if (toolkit.status == CallStatus::kAnswer) {
        const std::lock_guard lock(mutex_);
        toolkits_[application] = toolkit.value;
    }
    return toolkit;
}

Reply<std::string> AtspiAdapter::HintFor(WindowHandle window, const NodePtr& top, RoundTrips& trips) {
    if (top) {
        // Chromium, started without its renderer's accessibility, gives its window's element no child at all.
        const auto& element = static_cast<const Node&>(*top);
        const Reply<std::string> toolkit = ToolkitOf(*element.bus, element.object.bus_name, trips);
        if (toolkit.status != CallStatus::kAnswer || toolkit.value != kChromiumToolkit) {
            return toolkit.status == CallStatus::kFailed ? Stopped<std::string>(toolkit) : Answer(std::string());
        }
        if (!trips.TripTo(element.object.bus_name)) {
            return Refused<std::string>();
        }
        const Reply<std::vector<ObjectRef>> children = element.bus->Children(element.object);
        if (children.status != CallStatus::kAnswer) {
            return Stopped<std::string>(children);
        }
        const bool childless = std::all_of(children.value.begin(), children.value.end(),
                                           [](const ObjectRef& child) { return child.IsNull(); });
        return Answer(childless ? std::string(kRendererAccessibilityHint) : std::string());
    }
    // No application on the bus stands for the window: a Qt application that started before the switch reads
    // it only when it starts, and never comes.
    const std::optional<TopLevelWindow> facts = FactsOf(window);
    if (!facts || !facts->pid) {
        return Answer(std::string());
    }
    std::uint64_t started = 0;
    {
        const std::lock_guard lock(mutex_);
        const bool on_the_bus = std::any_of(processes_.begin(), processes_.end(),
                                            [&](const auto& known) { return known.second == facts->pid; });
        if (on_the_bus) {
            return Answer(std::string());
        }
        started = started_ticks_;
    }
    const std::optional<std::uint64_t> process_started = ProcessStartTicks(*facts->pid);
    const bool before = process_started && *process_started < started;
    return Answer(before && RunsQt(*facts->pid) ? std::string(kStartedBeforeHint) : std::string());
}

}  // namespace hovermark::atspi

namespace hovermark::atspi {
namespace {

// Reads `objects` one application at a time, each application's in one batch, so that a call that comes late is
// booked by the application that was asked; the replies in the objects' order.
template <typename Value, typename Read>
std::vector<Reply<Value>> PerApplication(const std::vector<ObjectRef>& objects, Read&& read) {
    std::vector<Reply<Value>> replies(objects.size());
    std::vector<bool> done(objects.size(), false);
    for (std::size_t first = 0; first < objects.size(); ++first) {
        if (done[first]) {
            continue;
        }
        std::vector<std::size_t> indexes;
        std::vector<ObjectRef> batch;
        for (std::size_t at = first; at < objects.size(); ++at) {
            if (!done[at] && objects[at].bus_name == objects[first].bus_name) {
                done[at] = true;
                indexes.push_back(at);
                batch.push_back(objects[at]);
            }
        }
        std::vector<Reply<Value>> read_now = read(batch);
        for (std::size_t at = 0; at < indexes.size() && at < read_now.size(); ++at) {
            replies[indexes[at]] = std::move(read_now[at]);
        }
    }
    return replies;
}

void AddUnlessEmpty(std::vector<locator::Property>& properties, locator::Key key, std::string value) {
    if (!value.empty()) {
        properties.push_back({key, std::move(value)});
    }
}

}  // namespace

// What a test framework matches an element by, the way it reads it through libatspi: the role's name is the
// protocol's own for the role's number (GTK 4 calls a "push button" a "button" itself), the application's only
// where the protocol has none. An element that has gone since its parent listed it is left out, as the
// framework, reading it later, would not meet it.
Reply<std::vector<FoundNode>> AtspiAdapter::Found(const Node& like,
                                                  const std::vector<ObjectRef>& objects,
                                                  bool scopes,
                                                  RoundTrips& trips) const {
    AtspiBus& bus = *like.bus;
    const std::vector<Reply<ElementFacts>> facts = PerApplication<ElementFacts>(
        objects, [&](const std::vector<ObjectRef>& batch) { return bus.FactsOf(batch, trips); });
    std::vector<ObjectRef> unnamed;
    for (std::size_t at = 0; at < objects.size(); ++at) {
        if (facts[at].status == CallStatus::kFailed) {
            return Refused<std::vector<FoundNode>>();
        }
        if (facts[at].status == CallStatus::kAnswer && RoleName(facts[at].value.role).empty()) {
            unnamed.push_back(objects[at]);
        }
    }
    const std::vector<Reply<std::string>> own_names = PerApplication<std::string>(
        unnamed, [&](const std::vector<ObjectRef>& batch) { return bus.RoleNames(batch, trips); });
    std::vector<FoundNode> found;
    for (std::size_t at = 0, next_unnamed = 0; at < objects.size(); ++at) {
        if (facts[at].status != CallStatus::kAnswer) {
            continue;
        }
        const ElementFacts& read = facts[at].value;
        std::string role(RoleName(read.role));
        if (role.empty()) {
            const Reply<std::string>& own = own_names[next_unnamed++];
            if (own.status == CallStatus::kFailed) {
                return Refused<std::vector<FoundNode>>();
            }
            if (own.status == CallStatus::kGone) {
                continue;
            }
            role = own.value;
        }
        FoundNode node{.node = std::make_shared<const Node>(like.bus, objects[at], like.top_level, like.placement,
                                                            read.child_count),
                       .facts = {}};
        AddUnlessEmpty(node.facts.properties, locator::Key::kName, read.name);
        AddUnlessEmpty(node.facts.properties, locator::Key::kRoleName, std::move(role));
        if (!scopes) {
            AddUnlessEmpty(node.facts.properties, locator::Key::kAccessibleId, read.accessible_id);
            AddUnlessEmpty(node.facts.properties, locator::Key::kIdAttribute, read.id_attribute);
        }
        found.push_back(std::move(node));
    }
    return Answer(std::move(found));
}

// The registry's applications, in its order, each asked in a batch of its own.
Reply<std::vector<FoundNode>> AtspiAdapter::Scopes(RoundTrips& trips) {
    const std::shared_ptr<AtspiBus> bus = Bus();
    if (!bus || !trips.TripTo(kRegistryName)) {
        return Refused<std::vector<FoundNode>>();
    }
    const Reply<std::vector<ObjectRef>> roots = bus->Applications();
    if (roots.status != CallStatus::kAnswer) {
        // The registry itself gone is a bus that cannot list anything now.
        return Refused<std::vector<FoundNode>>();
    }
    std::vector<ObjectRef> applications;
    for (const ObjectRef& root : roots.value) {
        if (!root.IsNull() && applications.size() < kMaxApplications) {
            applications.push_back(root);
        }
    }
    return Found(Node(bus, {}, 0, {}), applications, true, trips);
}

// An application's root is the same object on its bus name whoever asks, so no call is needed.
Reply<NodePtr> AtspiAdapter::ScopeOf(const NodePtr& node, RoundTrips& /*trips*/) {
    const auto& element = static_cast<const Node&>(*node);
    return Answer<NodePtr>(std::make_shared<const Node>(element.bus, ObjectRef{element.object.bus_name, kRootPath},
                                                        element.top_level, element.placement));
}

// Children by index, as libatspi's readers walk them: GTK 4 lists a stack's pages by index, and only what is in
// the pages by GetChildren.
Reply<std::vector<FoundNode>> AtspiAdapter::ChildrenOf(const NodePtr& node, RoundTrips& trips) {
    const auto& parent = static_cast<const Node&>(*node);
    std::int32_t count = 0;
    if (parent.child_count) {
        count = *parent.child_count;
    } else {
        if (!trips.TripTo(parent.object.bus_name)) {
            return Refused<std::vector<FoundNode>>();
        }
        const Reply<std::int32_t> asked = parent.bus->ChildCount(parent.object);
        if (asked.status != CallStatus::kAnswer) {
            return Stopped<std::vector<FoundNode>>(asked);
        }
        count = asked.value;
    }
    if (count <= 0) {
        return Answer(std::vector<FoundNode>());
    }
    if (count > kMaxChildrenRead) {
        return Refused<std::vector<FoundNode>>();
    }
    const Reply<std::vector<ObjectRef>> children = parent.bus->ChildrenByIndex(parent.object, count, trips);
    if (children.status != CallStatus::kAnswer) {
        return Stopped<std::vector<FoundNode>>(children);
    }
    std::vector<ObjectRef> listed;
    for (const ObjectRef& child : children.value) {
        if (!child.IsNull()) {
            listed.push_back(child);
        }
    }
    return Found(parent, listed, false, trips);
}

}  // namespace hovermark::atspi
