// Reading the tree around an element shown, for checking a locator of it: every scope on the desktop, then the
// element's whole scope in pre-order, on a worker and against a deadline. What a read that could not end in
// time still says is the path to the element, made from what was shown of it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "locator/live_tree.h"
#include "window_inspection/call_workers.h"
#include "window_inspection/element_adapter.h"
#include "window_inspection/element_system.h"

namespace hovermark {

// However large the application, a read ends after this many items, and is then not complete.
inline constexpr std::size_t kMaxTreeReadItems = 100000;
// Round trips a read may make in all, within its deadline.
inline constexpr int kMaxTreeReadTrips = 400000;

// Shared by the GUI thread, which asks for it and gives up on it at its deadline, and the job that reads.
class TreeRead {
  public:
    // `shown`: the elements shown, the deepest first.
    // `generation`: the walk whose deepest element is read.
    TreeRead(std::chrono::steady_clock::time_point deadline, std::uint64_t generation, std::vector<Element> shown)
        : deadline_(deadline), generation_(generation), shown_(std::move(shown)) {}

    std::uint64_t Generation() const { return generation_; }

    // The job's: reads below `deepest`'s scope (none: the element is no longer held), whose calls are booked by
    // `application`.
    void Read(ElementAdapter& adapter,
              CallContext& context,
              const SteadyClock& clock,
              const NodePtr& deepest,
              const ApplicationId& application);

    // The GUI thread's: what was read, once the read has ended or `now` is past its deadline (the job then stops
    // at its next call). Once only.
    std::optional<ElementTreeAnswer> Take(std::chrono::steady_clock::time_point now);

  private:
    ElementTreeAnswer PathAlone() const;

    const std::chrono::steady_clock::time_point deadline_;
    const std::uint64_t generation_;
    const std::vector<Element> shown_;
    std::atomic<bool> given_up_{false};
    std::mutex mutex_;
    bool ended_ = false;
    bool taken_ = false;
    std::optional<locator::ItemFacts> scope_;  // once read
    ElementTreeAnswer answer_;
};

}  // namespace hovermark
