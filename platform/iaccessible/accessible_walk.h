// The walk from a window's client object down to the element under the pointer, through IAccessible: the
// shared walk (loop-safe, bounded, going on across ticks) with the two things that are IAccessible's own, how
// one level down is found and how an element is described.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/iaccessible/accessible_calls.h"
#include "window_inspection/element_walk.h"
#include "window_inspection/walk_budget.h"

namespace hovermark::iaccessible {

using AccessibleWalk = ElementWalk<AccessibleNode>;

// Pairs of object ids, a parent's and its child's, that a walk has already met as such.
using KnownChildren = std::set<std::pair<std::string, std::string>>;

// One level down from `node` at `pointer`, as the walk takes it: accHitTest's answer, the deepest last, with
// the objects between it and `node` filled in by accParent when the application answered with a descendant
// deeper than a child (not asked for an answer `known` already holds as `node`'s child). A simple child ends
// the descent: nothing lies below it. Empty when nothing lies deeper, or when the budget ran out first.
std::vector<AccessibleWalk::Step> StepsBelow(const AccessibleNode& node,
                                             Point pointer,
                                             WalkBudget& budget,
                                             const KnownChildren& known = {});

class TreeWalk {
  public:
    // `client_id`: NodeId of `client`, the window's own element. `known`: what earlier walks over objects
    // still held found of who is whose child, so that it need not be asked again.
    TreeWalk(WindowHandle window,
             Point pointer,
             AccessibleNode client,
             std::string client_id,
             KnownChildren known = {});

    bool At(WindowHandle window, Point pointer) const { return walk_.At(window, pointer); }
    // The window's client object, where the walk starts.
    const AccessibleNode& Client() const { return walk_.Top(); }
    // Goes on from where the last call stopped: down, then where the deepest element lies, then the roles and
    // names, the deepest first.
    void GoOn(WalkBudget& budget);
    bool Complete() const { return walk_.Complete() && located_; }
    // The elements described so far, the deepest first.
    std::vector<Element> Elements() const { return walk_.Elements(); }
    // The deepest element, once the descent has ended and found one.
    AccessibleWalk::Step* Deepest() { return walk_.Deepest(); }
    // What this walk found of who is whose child, for the next walk while this one's objects are still held
    // (the ids are the objects' addresses, which a released object may give to another).
    KnownChildren Children() const;

  private:
    Point pointer_;
    AccessibleWalk walk_;
    std::string client_id_;
    KnownChildren known_;
    bool located_ = false;
};

}  // namespace hovermark::iaccessible
