// One walk of the element engine: from the element that stands for a window down to the deepest element at a
// point, then where that one lies, then the role and name of each, the deepest first. It runs on a worker, a
// slice at a time, and each slice goes on exactly where the last one stopped, inside a level too.
//
// Problem: applications answer "the element at this point" with a child or with any deeper descendant, a
// child of another tree, the element asked itself, or a parent chain that loops. Solution: an answer is
// followed only when its parents lead back to the element asked (the levels between are listed), or when it
// is already known as that element's child; an answer whose parents lead nowhere counts as a child; an
// element already passed ends the descent.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "window_inspection/call_workers.h"
#include "window_inspection/element_adapter.h"

namespace hovermark {

// How many levels a descent goes down at most.
inline constexpr std::size_t kMaxWalkDepth = 256;

// Pairs of identities, a parent's and its child's, that a walk found as such.
using KnownChildren = std::set<std::pair<std::string, std::string>>;

// One element a walk passed, as the GUI thread may see it: no node, only what was read.
struct WalkedElement {
    std::string identity;
    std::string role;
    std::string name;
    // The deepest element's only.
    std::optional<Rectangle> extents;
};

class EngineWalk {
  public:
    enum class Progress {
        kComplete,
        kSliceEnded,  // the slice's round trips are spent: the next slice goes on from here
        kNotNow,      // a program it must ask is left alone, or a worker waits in it
        kLate,        // a call came past its bound
        kFailed,      // a call got no answer; the walk goes on from that call later
        kGone,        // an element of the walk has gone: walk again from the top
        kStopped,     // no longer wanted, or the engine is going
    };

    // `application`: the window's. `top`: the window's element, when one is held already; otherwise the walk
    // asks the window for it. `known`: who is whose child, as walks whose nodes are still held found it.
    EngineWalk(WindowHandle window, ApplicationId application, Point pointer, NodePtr top, KnownChildren known);

    Point Pointer() const { return pointer_; }
    // Goes on within the context's round trips while `wanted` holds between calls.
    Progress GoOn(ElementAdapter& adapter, CallContext& context, const std::function<bool()>& wanted);

    // Once complete: the elements, the deepest first, the window's own element not among them.
    std::vector<WalkedElement> Elements() const;
    const NodePtr& Top() const { return top_; }
    // Once complete with no element below the window's own: what the user is told of the window, if anything.
    const std::string& Hint() const { return hint_; }
    // The deepest element's node, once complete; none when nothing lies below the top.
    NodePtr Deepest() const;
    KnownChildren Children() const;

  private:
    enum class Phase { kTop, kDescend, kClimb, kLocate, kDescribe, kComplete };
    struct Level {
        NodePtr node;
        WalkedElement element;
    };

    Progress Step(ElementAdapter& adapter, CallContext& context);
    void Push(ElementAdapter& adapter, NodePtr node);

    WindowHandle window_;
    ApplicationId application_;
    Point pointer_;
    NodePtr top_;
    std::string top_identity_;
    KnownChildren known_;
    Phase phase_;
    std::set<std::string> passed_;
    std::vector<Level> path_;     // the deepest last
    std::vector<NodePtr> climb_;  // an answer, then its parents found so far
    std::size_t described_ = 0;   // counted from the deepest
    bool role_read_ = false;      // of the next one to describe
    std::string hint_;
};

}  // namespace hovermark
