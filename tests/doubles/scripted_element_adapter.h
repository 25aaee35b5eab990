// Element trees of several applications, scripted to answer as real ones do, slowly or not at all: each round
// trip waits its application's delay, a hung application keeps the call until it is let go, and the trees can
// be changed, made to fail or made to go between any two calls. A hit test may answer with the deepest element
// at once (the engine then climbs the parents), and an application may hand out a fresh object at every
// answer. Object answers cost a second round trip (their interface asked for), and so does each release, as
// they do across processes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "window_inspection/element_adapter.h"

namespace hovermark::testing {

struct ScriptedApplicationState {
    int delay_ms = 0;
    bool hung = false;
    bool exited = false;
    // Calls of these kinds fail ("role", "name", "extents", "child", "parent", "window").
    std::vector<std::string> failing;
    int trips = 0;
};

class ScriptedElementAdapter final : public ElementAdapter {
  public:
    struct Item {
        std::string application;
        std::string role;
        std::string name;
        Rectangle extents{};
        int parent = -1;
        std::vector<int> children;
    };

    // A window of `application` whose element is item 0 of a tree of its own; returns the item's index.
    int AddWindow(WindowHandle window, const std::string& application, Rectangle extents);
    int Add(int parent, const std::string& role, const std::string& name, Rectangle extents);
    // Another application's element, answered by a hit test inside `parent`'s tree.
    int AddForeign(int parent, const std::string& application, const std::string& role, Rectangle extents);

    // Changed from the test's thread at any time.
    void SetDelay(const std::string& application, int delay_ms);
    void SetHung(const std::string& application, bool hung);
    void SetExited(const std::string& application, bool exited);
    void SetFailing(const std::string& application, std::vector<std::string> kinds);
    void MoveExtents(int item, Rectangle extents);
    // Hit tests answer the deepest element at once, as some toolkits do.
    std::atomic<bool> deep_answers{false};
    // A new object for every answer: identities change at every walk.
    std::atomic<bool> fresh_objects{false};
    // The windows tell of their changes, and none has any.
    std::atomic<bool> tells_no_change{false};
    // The window's element is found through this program first (a registry listing the applications): one round
    // trip to it, booked by it, before the window's own.
    void SetListedBy(const std::string& application);
    // No element stands for the window; the walk over it is told `hint`.
    void SetTopless(WindowHandle window, std::string hint);
    // The window's application comes: an element stands for it from now on, and the system tells so.
    void Arrive(WindowHandle window);

    int Trips(const std::string& application);
    // How many calls asked for the element at a point below `item`.
    int ChildAtCalls(int item);
    // Nodes released on the thread that made the adapter (the GUI thread, in the program).
    int ReleasedOnCreatingThread() const { return released_on_creator_; }

    ApplicationId ApplicationOfWindow(WindowHandle window) override;
    bool WindowHung(WindowHandle window) override;
    bool WindowExists(WindowHandle window) override;
    bool ChangedSinceLastAsked(WindowHandle /*window*/) override { return !tells_no_change; }
    std::uint64_t ApplicationsSeen() override { return applications_seen_; }
    Reply<NodePtr> WindowNode(WindowHandle window, RoundTrips& trips) override;
    Reply<NodePtr> ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) override;
    Reply<NodePtr> ParentOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> RoleOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> NameOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::optional<Rectangle>> ExtentsOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> HintFor(WindowHandle window, const NodePtr& top, RoundTrips& trips) override;
    // The scopes are the windows' own elements, in the order they were added, named by their applications, each
    // asked by a round trip into its application; a window's element lists its children in one round trip.
    Reply<std::vector<FoundNode>> Scopes(RoundTrips& trips) override;
    Reply<NodePtr> ScopeOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::vector<FoundNode>> ChildrenOf(const NodePtr& node, RoundTrips& trips) override;
    std::string Identity(const ElementNode& node) const override;
    ApplicationId ApplicationOf(const ElementNode& node) const override;

  private:
    class Node;
    // One round trip into the item's application: counted, delayed, held while it hangs. The status to answer
    // with, unless it is an answer.
    CallStatus Enter(int item, const std::string& kind, RoundTrips& trips);
    CallStatus EnterApplication(const std::string& name, const std::string& kind, RoundTrips& trips, bool elsewhere);
    NodePtr NodeFor(int item);
    void Released(const std::string& application);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Item> items_;
    std::map<WindowHandle, int> windows_;
    std::map<std::string, ScriptedApplicationState> applications_;
    std::map<int, int> child_at_calls_;
    std::string listed_by_;
    std::map<WindowHandle, std::string> topless_;
    int serial_ = 0;
    const std::thread::id creator_ = std::this_thread::get_id();
    std::atomic<int> released_on_creator_{0};
    std::atomic<std::uint64_t> applications_seen_{0};
};

}  // namespace hovermark::testing
