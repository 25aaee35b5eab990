#include "platform/iaccessible/accessible_walk.h"

#include <algorithm>
#include <string>
#include <utility>

namespace hovermark::iaccessible {
namespace {

AccessibleWalk::Step StepFor(AccessibleNode node) {
    std::string id = NodeId(node);
    return {.node = std::move(node), .element = {.id = std::move(id), .role = {}, .name = {}, .extents = std::nullopt}};
}

// The objects from `deepest` up to, but not including, `top`, by accParent, the deepest first. Only `deepest`
// when the parents do not lead to `top` (a loop, a dead end, an object of another tree), and when the budget
// runs out on the way: a level is never found twice, so a slow application's walk still goes down a level a
// tick.
std::vector<AccessibleNode> UpTo(const std::string& top, ComPtr<IAccessible> deepest, WalkBudget& budget) {
    std::vector<AccessibleNode> chain;
    std::vector<std::string> identities{IdentityOf(deepest.get())};
    chain.push_back({.object = std::move(deepest), .child = CHILDID_SELF});
    while (chain.size() < kMaxDescent) {
        if (!budget.Spend()) {
            break;
        }
        ComPtr<IAccessible> parent = ParentOf(*chain.back().object);
        const std::string identity = IdentityOf(parent.get());
        if (identity == top) {
            return chain;
        }
        if (identity.empty() || std::find(identities.begin(), identities.end(), identity) != identities.end()) {
            break;
        }
        identities.push_back(identity);
        chain.push_back({.object = std::move(parent), .child = CHILDID_SELF});
    }
    chain.resize(1);
    return chain;
}

}  // namespace

std::vector<AccessibleWalk::Step> StepsBelow(const AccessibleNode& node,
                                             Point pointer,
                                             WalkBudget& budget,
                                             const KnownChildren& known) {
    if (node.child != CHILDID_SELF || !budget.Spend()) {
        return {};
    }
    HitAnswer hit = HitTest(*node.object, pointer);
    std::vector<AccessibleWalk::Step> steps;
    if (hit.child != CHILDID_SELF) {
        steps.push_back(StepFor({.object = node.object.Share(), .child = hit.child}));
        return steps;
    }
    if (!hit.object) {
        return steps;
    }
    const std::string top = IdentityOf(node.object.get());
    const std::string found = IdentityOf(hit.object.get());
    // An object that answers with itself (the walk sees it passed and stops there), or a child already met as
    // this object's own: no parent to fill in.
    if (found == top || known.contains({top, found})) {
        steps.push_back(StepFor({.object = std::move(hit.object), .child = CHILDID_SELF}));
        return steps;
    }
    std::vector<AccessibleNode> chain = UpTo(top, std::move(hit.object), budget);
    for (auto level = chain.rbegin(); level != chain.rend(); ++level) {
        steps.push_back(StepFor(std::move(*level)));
    }
    return steps;
}

TreeWalk::TreeWalk(WindowHandle window,
                   Point pointer,
                   AccessibleNode client,
                   std::string client_id,
                   KnownChildren known)
    : pointer_(pointer),
      walk_(window, pointer, std::move(client), client_id),
      client_id_(std::move(client_id)),
      known_(std::move(known)) {}

KnownChildren TreeWalk::Children() const {
    KnownChildren children;
    const std::string* parent = &client_id_;
    for (const AccessibleWalk::Step& step : walk_.Path()) {
        if (step.node.child != CHILDID_SELF) {
            break;
        }
        children.emplace(*parent, step.element.id);
        parent = &step.element.id;
    }
    return children;
}

void TreeWalk::GoOn(WalkBudget& budget) {
    walk_.Descend(budget, [this](const AccessibleNode& node, WalkBudget& level_budget) {
        return StepsBelow(node, pointer_, level_budget, known_);
    });
    if (!located_) {
        if (AccessibleWalk::Step* deepest = walk_.Deepest()) {
            if (!budget.Spend()) {
                return;
            }
            deepest->element.extents = LocationOf(deepest->node).extents;
            located_ = true;
        } else {
            // Ended with nothing below the client object: there is nothing to locate.
            located_ = walk_.Complete();
        }
    }
    walk_.Describe(
        budget, [](const AccessibleNode& node) { return RoleOf(node); },
        [](const AccessibleNode& node) { return NameOf(node); });
}

}  // namespace hovermark::iaccessible
