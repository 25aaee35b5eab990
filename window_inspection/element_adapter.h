// What the element engine needs of one accessibility protocol, and nothing more: the element that stands for a
// window, the element at a point below another, an element's parent, role, name and extents, and what can be
// told of an element or a window without asking anybody. Everything else (when to walk, what a walk in
// progress shows, what rest and "hung" mean, the threads that make the calls) is the engine's, written once
// for every protocol.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "locator/live_tree.h"
#include "window_inspection/window_system.h"

namespace hovermark {

// Names the process that answers for a window or an element, in whatever way the system knows it (a process
// id, a bus name).
using ApplicationId = std::string;

// One element as a protocol holds it (an object reference, a path on a bus). The engine never looks inside,
// and drops its last reference on a worker thread only: releasing one may be a call into its application.
class ElementNode {
  public:
    ElementNode() = default;
    ElementNode(const ElementNode&) = delete;
    ElementNode& operator=(const ElementNode&) = delete;
    virtual ~ElementNode() = default;
};
using NodePtr = std::shared_ptr<const ElementNode>;

// What came back from one call. Whether it came in time is not the adapter's to say: the engine times every
// call, and a late one is never an answer.
enum class CallStatus {
    kAnswer,  // the application answered; the value may still be "nothing"
    kGone,    // the element, or its whole application, no longer exists
    kFailed,  // no answer, though the application is there (busy, refused, cancelled)
};

// A node with what a UI test framework would match it by, read in the same round of calls.
struct FoundNode {
    NodePtr node;
    locator::ItemFacts facts;
};

template <typename Value>
struct Reply {
    CallStatus status = CallStatus::kFailed;
    Value value{};
};

// The adapter reports each round trip into another program right before it makes it, a QueryInterface or a
// Release that crosses over included, so that the engine bounds a walk by every one and can tell a late one
// while it is still waiting.
class RoundTrips {
  public:
    virtual void Trip() = 0;
    // A round trip, within a call, to another program than the one the call was booked by (a registry, a bus
    // daemon, the application a listing names): booked by that one for its time, so that its lateness leaves it
    // alone, not the program asked. False, and no trip may be made, when that one is left alone or a worker
    // already waits in it; the call then answers kFailed, and the engine takes it as "not now".
    virtual bool TripTo(const ApplicationId& /*application*/) {
        Trip();
        return true;
    }

  protected:
    RoundTrips() = default;
    RoundTrips(const RoundTrips&) = default;
    RoundTrips& operator=(const RoundTrips&) = default;
    RoundTrips(RoundTrips&&) = default;
    RoundTrips& operator=(RoundTrips&&) = default;
    ~RoundTrips() = default;
};

// What one worker thread needs of the system: whatever set-up its calls need (a COM apartment), for as long
// as the thread lives, and the means to cancel a call it waits in.
class WorkerSetUp {
  public:
    WorkerSetUp() = default;
    WorkerSetUp(const WorkerSetUp&) = delete;
    WorkerSetUp& operator=(const WorkerSetUp&) = delete;
    virtual ~WorkerSetUp() = default;

    // False when the thread cannot make calls at all.
    virtual bool Ready() const { return true; }
    // Asks the system, from another thread, to end the call this worker waits in; where it cannot, the call
    // ends when its application answers or dies.
    virtual void CancelCall() {}
};

class ElementAdapter {
  public:
    ElementAdapter() = default;
    ElementAdapter(const ElementAdapter&) = delete;
    ElementAdapter& operator=(const ElementAdapter&) = delete;
    virtual ~ElementAdapter() = default;

    // Asked on the GUI thread when looking inside windows goes on and off. Start may wait, within a bound, on
    // the system's own services (a bus); nothing on success, otherwise the one sentence that tells the user why
    // elements cannot be shown. Stop lets go of whatever Start opened and puts back what it changed, while
    // workers may still be in calls: those end, failed, on their own.
    virtual std::optional<std::string> Start() { return std::nullopt; }
    virtual void Stop() noexcept {}

    // Asked on the GUI thread. None of these may wait on another program.
    //
    // The application that answers for `window`; empty when there is none (the window has gone) and for this
    // program's own windows, which hold no elements and whose calls would wait on the GUI thread itself.
    virtual ApplicationId ApplicationOfWindow(WindowHandle window) = 0;
    // Whether the system already takes the window's application for hung.
    virtual bool WindowHung(WindowHandle window) = 0;
    virtual bool WindowExists(WindowHandle window) = 0;
    // Whether the window may show anything new since this was last asked of it. A system that tells (X DAMAGE)
    // spares the checks at rest while nothing changed; one that cannot answers true, and the engine asks.
    virtual bool ChangedSinceLastAsked(WindowHandle /*window*/) { return true; }
    // A count that grows whenever the system tells of an application that came or went (a registry's word).
    // A window that no element stood for is looked at again at rest only once it has grown; a system that does
    // not tell answers 0 always.
    virtual std::uint64_t ApplicationsSeen() { return 0; }
    // A count that grows whenever the system's connection has been made anew (a bus that restarted): whatever
    // the engine holds from before is let go of, and nothing it showed is taken for gone.
    virtual std::uint64_t Connection() { return 0; }

    // Asked on a worker thread, right as it starts.
    virtual std::unique_ptr<WorkerSetUp> SetUpWorker() { return std::make_unique<WorkerSetUp>(); }

    // Calls, made on the engine's workers only, one at a time on each node.
    //
    // The element that stands for the window; an answer of none: the window shows no elements.
    virtual Reply<NodePtr> WindowNode(WindowHandle window, RoundTrips& trips) = 0;
    // The element at the screen point below `node`: its child there or any deeper descendant (the engine fills
    // in the levels between through ParentOf); an answer of none: nothing lies deeper.
    virtual Reply<NodePtr> ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) = 0;
    // An answer of none: no parent that can be followed.
    virtual Reply<NodePtr> ParentOf(const NodePtr& node, RoundTrips& trips) = 0;
    // The role as the protocol names it ("push button"), and the name, both UTF-8; the logic cleans them.
    virtual Reply<std::string> RoleOf(const NodePtr& node, RoundTrips& trips) = 0;
    virtual Reply<std::string> NameOf(const NodePtr& node, RoundTrips& trips) = 0;
    // Screen pixels; an answer of none: it exists but shows nowhere now, or will not say where.
    virtual Reply<std::optional<Rectangle>> ExtentsOf(const NodePtr& node, RoundTrips& trips) = 0;
    // Once a walk has found no element below the window's own (`top`; none when no element stands for the
    // window at all): one sentence for the user, where the system knows why and what would make the window show
    // its elements (an application that describes them only when started so); empty otherwise.
    virtual Reply<std::string> HintFor(WindowHandle /*window*/, const NodePtr& /*top*/, RoundTrips& /*trips*/) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }

    // Calls for checking a locator, on the workers too. A system that cannot answer them leaves them failed,
    // and every locator it gives is "not checked".
    //
    // Every scope a framework starts its search of elements from, in the system's own order, with its facts:
    // the applications the registry lists; the top-level windows.
    virtual Reply<std::vector<FoundNode>> Scopes(RoundTrips& /*trips*/) { return {}; }
    // The scope the node belongs to: its application; its top-level window's element. Compared with the
    // scopes by Identity.
    virtual Reply<NodePtr> ScopeOf(const NodePtr& /*node*/, RoundTrips& /*trips*/) { return {}; }
    // The node's children in the system's own order, each with its facts; an answer of none: a leaf.
    virtual Reply<std::vector<FoundNode>> ChildrenOf(const NodePtr& /*node*/, RoundTrips& /*trips*/) { return {}; }

    // Told from the node alone, on any thread, with no call.
    //
    // Equal for two nodes that are the same element, as long as both are held; never empty.
    virtual std::string Identity(const ElementNode& node) const = 0;
    // The application that a call on the node goes to.
    virtual ApplicationId ApplicationOf(const ElementNode& node) const = 0;
    // Nothing can lie below it (a simple child): the descent ends there without asking.
    virtual bool IsLeaf(const ElementNode& /*node*/) const { return false; }
};

}  // namespace hovermark
