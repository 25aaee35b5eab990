#include "platform/iaccessible/accessible_adapter.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "platform/iaccessible/accessible_calls.h"
#include "platform/windows/text_conversion.h"
#include "platform/windows/user32_window_system.h"
#include "window_inspection/text_cleaning.h"

namespace hovermark::iaccessible {
namespace {

using CancelCallFunction = HRESULT(WINAPI*)(DWORD thread_id, ULONG timeout);

// Looked up rather than imported: a system without it (Wine 8 has none) then simply cannot cancel, where an
// import would keep the program from starting.
CancelCallFunction CancelCallOfTheSystem() {
    static const auto kCancelCall = reinterpret_cast<CancelCallFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ole32.dll"), "CoCancelCall")));
    return kCancelCall;
}

class ApartmentWorker final : public WorkerSetUp {
  public:
    ApartmentWorker() : thread_id_(GetCurrentThreadId()) { CoEnableCallCancellation(nullptr); }

    bool Ready() const override { return apartment_.Joined(); }
    void CancelCall() override {
        if (const CancelCallFunction cancel_call = CancelCallOfTheSystem()) {
            cancel_call(thread_id_, 0);
        }
    }

  private:
    const MultithreadedApartment apartment_;
    const DWORD thread_id_;
};

// However many children a container has, listing them takes at most this long; a listing cut short is no
// answer. It keeps the worker from an application's other calls for no longer.
constexpr std::chrono::seconds kMaxChildrenListing{1};

// An element: an object of its application, or a simple child of one; or a top-level window standing as the
// scope a framework searches, which holds no object. The system's own window object for it would be made
// anew at every asking (it is told apart by its window, not its COM identity), and it may answer nothing at
// all (Wine's does not); a framework over this protocol shows the window's client object's children as the
// window's own. An object's reference is let go of wherever the engine drops the last one: on a worker, in the
// apartment it was taken in.
class Element final : public ElementNode {
  public:
    Element(AccessibleNode node_, std::string identity_, ApplicationId application_, HWND window_)
        : node(std::move(node_)),
          identity(std::move(identity_)),
          application(std::move(application_)),
          window(window_) {}

    bool IsScope() const { return !node.object; }

    const AccessibleNode node;
    const std::string identity;
    const ApplicationId application;
    // The window it was found in; a scope's own.
    const HWND window;
};

const Element& Of(const ElementNode& node) {
    return static_cast<const Element&>(node);
}

std::string ScopeIdentity(HWND window) {
    return "window " + std::to_string(windows::ToWindowHandle(window));
}

// A top-level window's role, as the role-text call names ROLE_SYSTEM_WINDOW.
const std::string& WindowRoleText() {
    static const std::string kText = [] {
        wchar_t text[64]{};
        const UINT length = GetRoleTextW(ROLE_SYSTEM_WINDOW, text, 64);
        return windows::WideToUtf8(std::wstring_view(text, std::min<UINT>(length, 63)));
    }();
    return kText;
}

// What a framework matches a child by, read in one round of calls.
Reply<locator::ItemFacts> FactsOf(const AccessibleNode& node, RoundTrips& trips) {
    Reply<std::string> name = WholeNameOf(node, trips);
    if (name.status != CallStatus::kAnswer) {
        return {.status = name.status, .value = {}};
    }
    Reply<AccessibleRole> role = NumberedRoleOf(node, trips);
    if (role.status != CallStatus::kAnswer) {
        return {.status = role.status, .value = {}};
    }
    Reply<std::optional<LONG>> state = StateOf(node, trips);
    if (state.status != CallStatus::kAnswer) {
        return {.status = state.status, .value = {}};
    }
    locator::ItemFacts facts;
    if (!name.value.empty()) {
        facts.properties.push_back({locator::Key::kName, std::move(name.value)});
    }
    // The role exactly as the rows show it, and its number, which names it in every language.
    if (std::string shown = CleanElementText(role.value.text); !shown.empty()) {
        facts.properties.push_back({locator::Key::kRoleName, std::move(shown)});
    }
    if (role.value.number) {
        facts.properties.push_back({locator::Key::kRoleNumber, std::to_string(*role.value.number)});
    }
    // The proxy takes an element that is invisible or off the screen for off the screen, and a search of the
    // visible only passes it by.
    facts.findable = !state.value || (*state.value & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) == 0;
    return {.status = CallStatus::kAnswer, .value = std::move(facts)};
}

std::string ChildIdentity(const std::string& object, LONG child) {
    return object + '#' + std::to_string(child);
}

// The children of an object, each with its facts: an object's identity is asked for, a simple child's is its
// container's and its id.
Reply<std::vector<FoundNode>> ChildrenBelow(const Element& from,
                                            RoundTrips& trips,
                                            std::chrono::steady_clock::time_point give_up) {
    Reply<std::vector<AccessibleNode>> listed = iaccessible::ChildrenOf(*from.node.object, trips, give_up);
    if (listed.status != CallStatus::kAnswer) {
        return {.status = listed.status, .value = {}};
    }
    std::vector<FoundNode> children;
    for (AccessibleNode& child : listed.value) {
        if (std::chrono::steady_clock::now() >= give_up) {
            return {.status = CallStatus::kFailed, .value = {}};
        }
        NodePtr child_node;
        if (child.object) {
            std::string identity = IdentityOf(*child.object, trips);
            if (identity.empty()) {
                return {.status = CallStatus::kFailed, .value = {}};
            }
            child_node =
                std::make_shared<Element>(std::move(child), std::move(identity), from.application, from.window);
        } else {
            child_node =
                std::make_shared<Element>(AccessibleNode{.object = from.node.object.Share(), .child = child.child},
                                          ChildIdentity(from.identity, child.child), from.application, from.window);
        }
        Reply<locator::ItemFacts> facts = FactsOf(Of(*child_node).node, trips);
        // A child gone or silent while listed: the listing says nothing sure.
        if (facts.status != CallStatus::kAnswer) {
            return {.status = CallStatus::kFailed, .value = {}};
        }
        children.push_back({.node = std::move(child_node), .facts = std::move(facts.value)});
    }
    return {.status = CallStatus::kAnswer, .value = std::move(children)};
}

// An object answer: its identity, and the application it is booked to. IAccessible cannot tell without a call
// which program serves an object, so it is the one of the element that gave it.
Reply<NodePtr> ObjectNode(ComPtr<IAccessible> object,
                          const ApplicationId& application,
                          HWND window,
                          RoundTrips& trips) {
    if (!object) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    std::string identity = IdentityOf(*object, trips);
    if (identity.empty()) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    return {.status = CallStatus::kAnswer,
            .value = std::make_shared<Element>(AccessibleNode{.object = std::move(object), .child = CHILDID_SELF},
                                               std::move(identity), application, window)};
}

}  // namespace

AccessibleAdapter::AccessibleAdapter(std::unique_ptr<WindowAccess> windows) : windows_(std::move(windows)) {}

ApplicationId AccessibleAdapter::ApplicationOfWindow(WindowHandle window) {
    const DWORD process = windows_->ProcessOf(windows::ToHwnd(window));
    return process == 0 || process == GetCurrentProcessId() ? ApplicationId() : std::to_string(process);
}

bool AccessibleAdapter::WindowHung(WindowHandle window) {
    return windows_->IsHung(windows::ToHwnd(window));
}

bool AccessibleAdapter::WindowExists(WindowHandle window) {
    return windows_->Exists(windows::ToHwnd(window));
}

std::unique_ptr<WorkerSetUp> AccessibleAdapter::SetUpWorker() {
    return std::make_unique<ApartmentWorker>();
}

Reply<NodePtr> AccessibleAdapter::WindowNode(WindowHandle window, RoundTrips& trips) {
    const HWND hwnd = windows::ToHwnd(window);
    ComPtr<IAccessible> client;
    trips.Trip();
    const HRESULT result = windows_->ClientObject(hwnd, client);
    if (FAILED(result)) {
        // E_FAIL is how the system says that a window gives no object: it shows no elements. A window that has
        // gone, or whose thread did not answer, says so.
        if (!windows_->Exists(hwnd)) {
            return {.status = CallStatus::kGone, .value = {}};
        }
        return {.status = result == E_FAIL ? CallStatus::kAnswer : StatusOf(result, false), .value = {}};
    }
    return ObjectNode(std::move(client), ApplicationOfWindow(window), hwnd, trips);
}

Reply<NodePtr> AccessibleAdapter::ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) {
    const Element& from = Of(*node);
    if (from.IsScope()) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    Reply<AccessibleNode> hit = HitTest(*from.node.object, screen, trips);
    if (hit.status != CallStatus::kAnswer) {
        return {.status = hit.status, .value = {}};
    }
    if (hit.value.child != CHILDID_SELF) {
        return {.status = CallStatus::kAnswer,
                .value = std::make_shared<Element>(
                    AccessibleNode{.object = from.node.object.Share(), .child = hit.value.child},
                    ChildIdentity(from.identity, hit.value.child), from.application, from.window)};
    }
    return ObjectNode(std::move(hit.value.object), from.application, from.window, trips);
}

Reply<NodePtr> AccessibleAdapter::ParentOf(const NodePtr& node, RoundTrips& trips) {
    const Element& child = Of(*node);
    if (child.IsScope()) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    Reply<ComPtr<IAccessible>> parent = iaccessible::ParentOf(*child.node.object, trips);
    if (parent.status != CallStatus::kAnswer) {
        return {.status = parent.status, .value = {}};
    }
    return ObjectNode(std::move(parent.value), child.application, child.window, trips);
}

Reply<std::string> AccessibleAdapter::RoleOf(const NodePtr& node, RoundTrips& trips) {
    const Element& element = Of(*node);
    if (element.IsScope()) {
        return {.status = CallStatus::kAnswer, .value = WindowRoleText()};
    }
    return iaccessible::RoleOf(element.node, trips);
}

Reply<std::string> AccessibleAdapter::NameOf(const NodePtr& node, RoundTrips& trips) {
    const Element& element = Of(*node);
    if (element.IsScope()) {
        return {.status = CallStatus::kAnswer, .value = ElementTextRead(windows_->HeldText(element.window))};
    }
    return iaccessible::NameOf(element.node, trips);
}

Reply<std::optional<Rectangle>> AccessibleAdapter::ExtentsOf(const NodePtr& node, RoundTrips& trips) {
    const Element& element = Of(*node);
    if (element.IsScope()) {
        return {.status = CallStatus::kAnswer, .value = std::nullopt};
    }
    return LocationOf(element.node, trips);
}

NodePtr AccessibleAdapter::ScopeNode(HWND window) {
    return std::make_shared<Element>(AccessibleNode{}, ScopeIdentity(window),
                                     ApplicationOfWindow(windows::ToWindowHandle(window)), window);
}

// The windows' texts are the ones the system holds: asking each window of the desktop would wait on every hung
// program among them, and a top-level window's text is its caption.
Reply<std::vector<FoundNode>> AccessibleAdapter::Scopes(RoundTrips& /*trips*/) {
    std::vector<FoundNode> scopes;
    for (HWND window : windows_->TopLevelWindows()) {
        if (!windows_->IsVisible(window)) {
            continue;
        }
        FoundNode scope{.node = ScopeNode(window), .facts = {}};
        if (std::string title = windows_->HeldText(window); !title.empty()) {
            scope.facts.properties.push_back({locator::Key::kName, std::move(title)});
        }
        scope.facts.properties.push_back({locator::Key::kRoleName, WindowRoleText()});
        scope.facts.properties.push_back({locator::Key::kRoleNumber, std::to_string(ROLE_SYSTEM_WINDOW)});
        scopes.push_back(std::move(scope));
    }
    return {.status = CallStatus::kAnswer, .value = std::move(scopes)};
}

Reply<NodePtr> AccessibleAdapter::ScopeOf(const NodePtr& node, RoundTrips& /*trips*/) {
    const HWND top = windows_->TopLevelOf(Of(*node).window);
    if (top == nullptr || !windows_->Exists(top)) {
        return {.status = CallStatus::kGone, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = ScopeNode(top)};
}

Reply<std::vector<FoundNode>> AccessibleAdapter::ChildrenOf(const NodePtr& node, RoundTrips& trips) {
    const auto give_up = std::chrono::steady_clock::now() + kMaxChildrenListing;
    const Element& parent = Of(*node);
    if (parent.node.child != CHILDID_SELF || (parent.IsScope() && parent.application.empty())) {
        // A simple child; or one of this program's own windows, which hold no elements.
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    if (!parent.IsScope()) {
        return ChildrenBelow(parent, trips, give_up);
    }
    Reply<NodePtr> client = WindowNode(windows::ToWindowHandle(parent.window), trips);
    if (client.status != CallStatus::kAnswer || !client.value) {
        return {.status = client.status, .value = {}};
    }
    Reply<std::vector<FoundNode>> children = ChildrenBelow(Of(*client.value), trips, give_up);
    // The client object asked for is let go of here, and that may cross over too.
    trips.Trip();
    client.value.reset();
    return children;
}

std::string AccessibleAdapter::Identity(const ElementNode& node) const {
    return Of(node).identity;
}

ApplicationId AccessibleAdapter::ApplicationOf(const ElementNode& node) const {
    return Of(node).application;
}

bool AccessibleAdapter::IsLeaf(const ElementNode& node) const {
    return Of(node).node.child != CHILDID_SELF;
}

}  // namespace hovermark::iaccessible
