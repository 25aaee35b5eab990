// Looking inside windows, written once for every protocol: when to walk, what a walk in progress shows, what
// rest and "hung" mean, and the workers that make the calls. A protocol gives only an ElementAdapter.
//
// The rules:
// - Calls into other programs run on the workers, never on the GUI thread. The GUI thread waits at most
//   kElementWait for each question (ElementsAt, GetElementRect); a walk that is not done goes on in the
//   background, and a later tick shows it.
// - A call that answers within kCallBound is an answer, whatever its delay (the time the system takes to carry it
//   is not counted against the program, up to kCarryAllowance). Only a call past that, or a window the system
//   already reports hung, leaves the program alone for kHungApplicationPause: "not known now".
// - While a walk is in progress in the same window, the elements shown before stay, rows and frame, until it
//   answers: the list changes only to another element's rows, never to the window rows and back. A new window
//   shows its window rows at once, and its elements when they come.
// - At rest: at most one call a tick, the deepest element's extents, and once they have stood still, at every
//   kSteadyCheckEvery-th tick only; none while a system that tells of changes says the window shows nothing new. The
//   walk is made again kWalkAgainAtRest after the last one ended, so what changes under a resting pointer shows; the
//   same goes for an element that no longer holds the pointer.
// - An element keeps its id while its program gives the same object, or the same role and name at the same
//   place of the same parent; an id is never given to another element.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window_inspection/call_workers.h"
#include "window_inspection/element_adapter.h"
#include "window_inspection/element_system.h"
#include "window_inspection/tree_read.h"
#include "window_inspection/walk_budget.h"

namespace hovermark {

// A third of a tick: the timer keeps its ten ticks a second and a key waits at most this long, while a prompt
// program's whole walk (a dozen calls of well under a millisecond) still answers within the tick that asked.
inline constexpr std::chrono::milliseconds kElementWait{30};
inline constexpr std::chrono::seconds kWalkAgainAtRest{1};
inline constexpr int kSteadyCheckEvery = 3;
// A walk whose call got no answer (a busy program refused it) goes on no sooner than this.
inline constexpr std::chrono::seconds kFailedWalkPause{1};

class ElementEngine final : public ElementSystem {
  public:
    explicit ElementEngine(std::shared_ptr<ElementAdapter> adapter, SteadyClock clock = SteadyNow);
    ElementEngine(const ElementEngine&) = delete;
    ElementEngine& operator=(const ElementEngine&) = delete;
    ElementEngine(ElementEngine&&) = delete;
    ElementEngine& operator=(ElementEngine&&) = delete;
    ~ElementEngine() override;

    std::optional<std::string> Start() override;
    void Stop() noexcept override;
    ElementsAnswer ElementsAt(WindowHandle window, Point pointer) override;
    ElementPresence GetElementRect(const std::string& id, Rectangle& rect) override;
    bool StartTreeRead(const std::string& id, std::chrono::steady_clock::time_point deadline) override;
    std::optional<ElementTreeAnswer> TreeReadResult() override;

  private:
    struct Look;
    enum class Job { kWalk, kCheck };
    struct Shown {
        std::uint64_t generation = 0;
        std::vector<std::string> identities;  // the deepest first, as the elements
        std::vector<Element> elements;
        std::string hint;  // while no element is shown
    };

    // Lets go of the look held; what it holds is released on a worker.
    void Drop();
    void Post(Job job);
    std::optional<Job> JobDue(Point pointer);
    bool CheckDue();
    // Shows a walk that has come, when it stands at the pointer.
    void TakeWalk(Point pointer);
    // Takes what the last check of the deepest element shown found.
    void TakeCheck();
    std::string IdFor(std::size_t level_from_top, const Shown& next, std::vector<bool>& matched) const;
    bool BlockedNow(WindowHandle window);
    void FollowConnection();

    std::shared_ptr<ElementAdapter> adapter_;
    SteadyClock clock_;
    CallWorkers workers_;
    std::shared_ptr<Look> look_;
    std::shared_ptr<CallWorkers::Ticket> ticket_;  // the look's job in flight
    std::shared_ptr<TreeRead> tree_read_;          // asked for and not yet taken
    std::optional<Shown> shown_;
    bool deepest_gone_ = false;
    bool stood_ = false;  // the deepest element's extents were the same at its last check
    int ticks_unchecked_ = 0;
    std::uint64_t next_id_ = 0;
    std::uint64_t applications_at_walk_ = 0;
    std::uint64_t connection_ = 0;  // what the adapter had seen when the last walk was posted
};

}  // namespace hovermark
