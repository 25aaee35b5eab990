#include "tests/doubles/scripted_element_adapter.h"

#include <algorithm>
#include <chrono>

namespace hovermark::testing {
namespace {

const std::string kScopeRole = "application";

}  // namespace

class ScriptedElementAdapter::Node final : public ElementNode {
  public:
    Node(ScriptedElementAdapter& adapter, int item_, std::string application_, std::string identity_)
        : item(item_), application(std::move(application_)), identity(std::move(identity_)), adapter_(adapter) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    Node(Node&&) = delete;
    Node& operator=(Node&&) = delete;
    ~Node() override { adapter_.Released(application); }

    const int item;
    const std::string application;
    const std::string identity;

  private:
    ScriptedElementAdapter& adapter_;
};

int ScriptedElementAdapter::AddWindow(WindowHandle window, const std::string& application, Rectangle extents) {
    const std::lock_guard lock(mutex_);
    items_.push_back(
        {.application = application, .role = "window", .name = {}, .extents = extents, .parent = -1, .children = {}});
    windows_[window] = static_cast<int>(items_.size()) - 1;
    applications_[application];
    return static_cast<int>(items_.size()) - 1;
}

int ScriptedElementAdapter::Add(int parent, const std::string& role, const std::string& name, Rectangle extents) {
    const std::lock_guard lock(mutex_);
    items_.push_back({.application = items_[parent].application,
                      .role = role,
                      .name = name,
                      .extents = extents,
                      .parent = parent,
                      .children = {}});
    items_[parent].children.push_back(static_cast<int>(items_.size()) - 1);
    return static_cast<int>(items_.size()) - 1;
}

int ScriptedElementAdapter::AddForeign(int parent,
                                       const std::string& application,
                                       const std::string& role,
                                       Rectangle extents) {
    const int item = Add(parent, role, "", extents);
    const std::lock_guard lock(mutex_);
    items_[item].application = application;
    applications_[application];
    return item;
}

void ScriptedElementAdapter::SetDelay(const std::string& application, int delay_ms) {
    const std::lock_guard lock(mutex_);
    applications_[application].delay_ms = delay_ms;
}

void ScriptedElementAdapter::SetHung(const std::string& application, bool hung) {
    {
        const std::lock_guard lock(mutex_);
        applications_[application].hung = hung;
    }
    changed_.notify_all();
}

void ScriptedElementAdapter::SetExited(const std::string& application, bool exited) {
    const std::lock_guard lock(mutex_);
    applications_[application].exited = exited;
}

void ScriptedElementAdapter::SetFailing(const std::string& application, std::vector<std::string> kinds) {
    const std::lock_guard lock(mutex_);
    applications_[application].failing = std::move(kinds);
}

void ScriptedElementAdapter::MoveExtents(int item, Rectangle extents) {
    const std::lock_guard lock(mutex_);
    items_[item].extents = extents;
}

int ScriptedElementAdapter::Trips(const std::string& application) {
    const std::lock_guard lock(mutex_);
    return applications_[application].trips;
}

int ScriptedElementAdapter::ChildAtCalls(int item) {
    const std::lock_guard lock(mutex_);
    return child_at_calls_[item];
}

CallStatus ScriptedElementAdapter::Enter(int item, const std::string& kind, RoundTrips& trips) {
    std::string name;
    {
        const std::lock_guard lock(mutex_);
        name = items_[item].application;
    }
    return EnterApplication(name, kind, trips, false);
}

void ScriptedElementAdapter::SetListedBy(const std::string& application) {
    const std::lock_guard lock(mutex_);
    listed_by_ = application;
}

void ScriptedElementAdapter::SetTopless(WindowHandle window, std::string hint) {
    const std::lock_guard lock(mutex_);
    topless_[window] = std::move(hint);
}

void ScriptedElementAdapter::Arrive(WindowHandle window) {
    const std::lock_guard lock(mutex_);
    topless_.erase(window);
    ++applications_seen_;
}

Reply<std::string> ScriptedElementAdapter::HintFor(WindowHandle window, const NodePtr& top, RoundTrips& /*trips*/) {
    const std::lock_guard lock(mutex_);
    const auto topless = topless_.find(window);
    return {.status = CallStatus::kAnswer, .value = !top && topless != topless_.end() ? topless->second : ""};
}

// `elsewhere`: a trip to another program than the call was booked by.
CallStatus ScriptedElementAdapter::EnterApplication(const std::string& name,
                                                    const std::string& kind,
                                                    RoundTrips& trips,
                                                    bool elsewhere) {
    if (elsewhere) {
        if (!trips.TripTo(name)) {
            return CallStatus::kFailed;
        }
    } else {
        trips.Trip();
    }
    std::unique_lock lock(mutex_);
    ScriptedApplicationState& application = applications_[name];
    ++application.trips;
    const int delay = application.delay_ms;
    changed_.wait(lock, [&] { return !application.hung; });
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    lock.lock();
    if (application.exited) {
        return CallStatus::kGone;
    }
    const auto& failing = application.failing;
    return std::find(failing.begin(), failing.end(), kind) != failing.end() ? CallStatus::kFailed : CallStatus::kAnswer;
}

void ScriptedElementAdapter::Released(const std::string& application) {
    if (std::this_thread::get_id() == creator_) {
        ++released_on_creator_;
    }
    int delay = 0;
    {
        const std::lock_guard lock(mutex_);
        ScriptedApplicationState& state = applications_[application];
        ++state.trips;
        delay = state.delay_ms;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
}

NodePtr ScriptedElementAdapter::NodeFor(int item) {
    std::string identity;
    std::string application;
    {
        const std::lock_guard lock(mutex_);
        identity = fresh_objects ? "object " + std::to_string(++serial_) : "item " + std::to_string(item);
        application = items_[item].application;
    }
    return std::make_shared<Node>(*this, item, std::move(application), std::move(identity));
}

ApplicationId ScriptedElementAdapter::ApplicationOfWindow(WindowHandle window) {
    const std::lock_guard lock(mutex_);
    const auto found = windows_.find(window);
    return found == windows_.end() ? ApplicationId() : items_[found->second].application;
}

bool ScriptedElementAdapter::WindowHung(WindowHandle /*window*/) {
    return false;
}

bool ScriptedElementAdapter::WindowExists(WindowHandle window) {
    const std::lock_guard lock(mutex_);
    return windows_.contains(window);
}

Reply<NodePtr> ScriptedElementAdapter::WindowNode(WindowHandle window, RoundTrips& trips) {
    int item = 0;
    std::string listed_by;
    std::string owner;
    bool topless = false;
    {
        const std::lock_guard lock(mutex_);
        item = windows_.at(window);
        owner = items_[item].application;
        listed_by = listed_by_;
        topless = topless_.contains(window);
    }
    if (!listed_by.empty()) {
        if (const CallStatus listed = EnterApplication(listed_by, "window", trips, true);
            listed != CallStatus::kAnswer) {
            return {.status = listed, .value = {}};
        }
    }
    const CallStatus status = EnterApplication(owner, "window", trips, !listed_by.empty());
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = topless ? NodePtr() : NodeFor(item)};
}

Reply<NodePtr> ScriptedElementAdapter::ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) {
    const int from = static_cast<const Node&>(*node).item;
    {
        const std::lock_guard lock(mutex_);
        ++child_at_calls_[from];
    }
    const CallStatus status = Enter(from, "child", trips);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    int found = -1;
    {
        const std::lock_guard lock(mutex_);
        const auto holds = [&](int item) { return Holds(items_[item].extents, screen); };
        for (int at = from;;) {
            const auto& children = items_[at].children;
            const auto child = std::find_if(children.rbegin(), children.rend(), holds);
            if (child == children.rend()) {
                break;
            }
            found = at = *child;
            if (!deep_answers) {
                break;
            }
        }
    }
    if (found < 0) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    // The answer's own interface is asked for: another round trip, through the application that answered.
    const CallStatus asked = Enter(from, "child", trips);
    if (asked != CallStatus::kAnswer) {
        return {.status = asked, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = NodeFor(found)};
}

Reply<NodePtr> ScriptedElementAdapter::ParentOf(const NodePtr& node, RoundTrips& trips) {
    const int item = static_cast<const Node&>(*node).item;
    const CallStatus status = Enter(item, "parent", trips);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    int parent = -1;
    {
        const std::lock_guard lock(mutex_);
        parent = items_[item].parent;
    }
    if (parent < 0) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    const CallStatus asked = Enter(item, "parent", trips);
    if (asked != CallStatus::kAnswer) {
        return {.status = asked, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = NodeFor(parent)};
}

// A window's own element stands for its application as well: asked as a scope, it answers as one.
Reply<std::string> ScriptedElementAdapter::RoleOf(const NodePtr& node, RoundTrips& trips) {
    const int item = static_cast<const Node&>(*node).item;
    const CallStatus status = Enter(item, "role", trips);
    const std::lock_guard lock(mutex_);
    const std::string& role = items_[item].parent < 0 ? kScopeRole : items_[item].role;
    return {.status = status, .value = status == CallStatus::kAnswer ? role : std::string()};
}

Reply<std::string> ScriptedElementAdapter::NameOf(const NodePtr& node, RoundTrips& trips) {
    const int item = static_cast<const Node&>(*node).item;
    const CallStatus status = Enter(item, "name", trips);
    const std::lock_guard lock(mutex_);
    const std::string& name = items_[item].parent < 0 ? items_[item].application : items_[item].name;
    return {.status = status, .value = status == CallStatus::kAnswer ? name : std::string()};
}

// As a registry does: every application is asked its name, each by a round trip of its own.
Reply<std::vector<FoundNode>> ScriptedElementAdapter::Scopes(RoundTrips& trips) {
    std::vector<int> roots;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& [window, item] : windows_) {
            roots.push_back(item);
        }
    }
    std::sort(roots.begin(), roots.end());
    Reply<std::vector<FoundNode>> reply{.status = CallStatus::kAnswer, .value = {}};
    for (const int root : roots) {
        std::string application;
        {
            const std::lock_guard lock(mutex_);
            application = items_[root].application;
        }
        if (EnterApplication(application, "scopes", trips, true) != CallStatus::kAnswer) {
            return {.status = CallStatus::kFailed, .value = {}};
        }
        reply.value.push_back(
            {.node = NodeFor(root),
             .facts = {.properties = {{locator::Key::kRoleName, "application"}, {locator::Key::kName, application}},
                       .findable = true}});
    }
    return reply;
}

Reply<NodePtr> ScriptedElementAdapter::ScopeOf(const NodePtr& node, RoundTrips& /*trips*/) {
    int item = static_cast<const Node&>(*node).item;
    {
        const std::lock_guard lock(mutex_);
        while (items_[item].parent >= 0) {
            item = items_[item].parent;
        }
    }
    return {.status = CallStatus::kAnswer, .value = NodeFor(item)};
}

Reply<std::vector<FoundNode>> ScriptedElementAdapter::ChildrenOf(const NodePtr& node, RoundTrips& trips) {
    const int item = static_cast<const Node&>(*node).item;
    const CallStatus status = Enter(item, "children", trips);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    std::vector<int> children;
    {
        const std::lock_guard lock(mutex_);
        children = items_[item].children;
    }
    Reply<std::vector<FoundNode>> reply{.status = CallStatus::kAnswer, .value = {}};
    for (const int child : children) {
        std::vector<locator::Property> properties;
        {
            const std::lock_guard lock(mutex_);
            properties = {{locator::Key::kRoleName, items_[child].role}, {locator::Key::kName, items_[child].name}};
        }
        reply.value.push_back(
            {.node = NodeFor(child), .facts = {.properties = std::move(properties), .findable = true}});
    }
    return reply;
}

Reply<std::optional<Rectangle>> ScriptedElementAdapter::ExtentsOf(const NodePtr& node, RoundTrips& trips) {
    const int item = static_cast<const Node&>(*node).item;
    const CallStatus status = Enter(item, "extents", trips);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = std::nullopt};
    }
    const std::lock_guard lock(mutex_);
    return {.status = CallStatus::kAnswer, .value = items_[item].extents};
}

std::string ScriptedElementAdapter::Identity(const ElementNode& node) const {
    return static_cast<const Node&>(node).identity;
}

ApplicationId ScriptedElementAdapter::ApplicationOf(const ElementNode& node) const {
    return static_cast<const Node&>(node).application;
}

}  // namespace hovermark::testing
