// The elements inside other programs' windows through IAccessible, the interface Windows' applications answer
// for assistive technology: a thin adapter of that protocol to the element engine, which decides when to ask,
// makes every call on its own workers and bounds them all.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/iaccessible/window_access.h"
#include "window_inspection/element_adapter.h"

namespace hovermark::iaccessible {

class AccessibleAdapter final : public ElementAdapter {
  public:
    explicit AccessibleAdapter(std::unique_ptr<WindowAccess> windows);

    ApplicationId ApplicationOfWindow(WindowHandle window) override;
    bool WindowHung(WindowHandle window) override;
    bool WindowExists(WindowHandle window) override;
    // The worker joins the multithreaded apartment, and its calls can be cancelled where the system can.
    std::unique_ptr<WorkerSetUp> SetUpWorker() override;

    Reply<NodePtr> WindowNode(WindowHandle window, RoundTrips& trips) override;
    Reply<NodePtr> ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) override;
    Reply<NodePtr> ParentOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> RoleOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> NameOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::optional<Rectangle>> ExtentsOf(const NodePtr& node, RoundTrips& trips) override;

    // The visible top-level windows, each standing for the element a framework's window search finds.
    Reply<std::vector<FoundNode>> Scopes(RoundTrips& trips) override;
    // The top-level window the element was found in; no call.
    Reply<NodePtr> ScopeOf(const NodePtr& node, RoundTrips& trips) override;
    // A window's are its client object's children.
    Reply<std::vector<FoundNode>> ChildrenOf(const NodePtr& node, RoundTrips& trips) override;

    std::string Identity(const ElementNode& node) const override;
    ApplicationId ApplicationOf(const ElementNode& node) const override;
    bool IsLeaf(const ElementNode& node) const override;

  private:
    NodePtr ScopeNode(HWND window);

    const std::unique_ptr<WindowAccess> windows_;
};

}  // namespace hovermark::iaccessible
