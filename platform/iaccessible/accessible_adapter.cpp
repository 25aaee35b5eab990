#include "platform/iaccessible/accessible_adapter.h"

#include <utility>

#include "platform/iaccessible/accessible_calls.h"
#include "platform/windows/user32_window_system.h"

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

// An element: an object of its application, or a simple child of one. Its reference is let go of wherever the
// engine drops the last one: on a worker, in the apartment it was taken in.
class Element final : public ElementNode {
  public:
    Element(AccessibleNode node_, std::string identity_, ApplicationId application_)
        : node(std::move(node_)), identity(std::move(identity_)), application(std::move(application_)) {}

    const AccessibleNode node;
    const std::string identity;
    const ApplicationId application;
};

const Element& Of(const ElementNode& node) {
    return static_cast<const Element&>(node);
}

std::string ChildIdentity(const std::string& object, LONG child) {
    return object + '#' + std::to_string(child);
}

// An object answer: its identity, and the application it is booked to. IAccessible cannot tell without a call
// which program serves an object, so it is the one of the element that gave it.
Reply<NodePtr> ObjectNode(ComPtr<IAccessible> object, const ApplicationId& application, RoundTrips& trips) {
    if (!object) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    std::string identity = IdentityOf(*object, trips);
    if (identity.empty()) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    return {.status = CallStatus::kAnswer,
            .value = std::make_shared<Element>(AccessibleNode{.object = std::move(object), .child = CHILDID_SELF},
                                               std::move(identity), application)};
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
    return ObjectNode(std::move(client), ApplicationOfWindow(window), trips);
}

Reply<NodePtr> AccessibleAdapter::ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) {
    const Element& from = Of(*node);
    Reply<AccessibleNode> hit = HitTest(*from.node.object, screen, trips);
    if (hit.status != CallStatus::kAnswer) {
        return {.status = hit.status, .value = {}};
    }
    if (hit.value.child != CHILDID_SELF) {
        return {.status = CallStatus::kAnswer,
                .value = std::make_shared<Element>(
                    AccessibleNode{.object = from.node.object.Share(), .child = hit.value.child},
                    ChildIdentity(from.identity, hit.value.child), from.application)};
    }
    return ObjectNode(std::move(hit.value.object), from.application, trips);
}

Reply<NodePtr> AccessibleAdapter::ParentOf(const NodePtr& node, RoundTrips& trips) {
    const Element& child = Of(*node);
    Reply<ComPtr<IAccessible>> parent = iaccessible::ParentOf(*child.node.object, trips);
    if (parent.status != CallStatus::kAnswer) {
        return {.status = parent.status, .value = {}};
    }
    return ObjectNode(std::move(parent.value), child.application, trips);
}

Reply<std::string> AccessibleAdapter::RoleOf(const NodePtr& node, RoundTrips& trips) {
    return iaccessible::RoleOf(Of(*node).node, trips);
}

Reply<std::string> AccessibleAdapter::NameOf(const NodePtr& node, RoundTrips& trips) {
    return iaccessible::NameOf(Of(*node).node, trips);
}

Reply<std::optional<Rectangle>> AccessibleAdapter::ExtentsOf(const NodePtr& node, RoundTrips& trips) {
    return LocationOf(Of(*node).node, trips);
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
