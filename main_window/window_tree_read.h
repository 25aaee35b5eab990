// Reading the windows a locator of a window is checked against, on a thread of its own: the top-level windows
// with their facts, then in pre-order all that lies below the one the window belongs to (below every one, for a
// framework that searches the whole desktop). The window system bounds each call; the read stops at its
// deadline, and what it had read by then stays to be taken.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "locator/live_tree.h"
#include "window_inspection/walk_budget.h"
#include "window_inspection/window_enumeration.h"

namespace hovermark {

class WindowTreeRead {
  public:
    // `chain`: the window, then its parents and owners; the nearest of them that is a top-level window is the
    // one whose windows are read. No enumeration: nothing can be read, and the read ends at once.
    WindowTreeRead(WindowEnumeration* enumeration,
                   std::vector<WindowHandle> chain,
                   bool every_top_level,
                   SteadyClock clock,
                   std::chrono::steady_clock::time_point deadline);
    WindowTreeRead(const WindowTreeRead&) = delete;
    WindowTreeRead& operator=(const WindowTreeRead&) = delete;
    WindowTreeRead(WindowTreeRead&&) = delete;
    WindowTreeRead& operator=(WindowTreeRead&&) = delete;
    // Waits for the call in progress, which the system bounds.
    ~WindowTreeRead();

    bool Ended();

    struct Taken {
        // Complete only when the read ended having read all.
        locator::LiveTree tree;
        // The item of the window asked for; kNoItem when it was not reached.
        std::size_t item = locator::kNoItem;
    };
    // What has been read of `window` by now; the read stops at its next call.
    Taken Take(WindowHandle window);

  private:
    void Read(WindowEnumeration& enumeration, const std::vector<WindowHandle>& chain, bool every_top_level);
    bool InTime() const { return !stop_ && clock_() < deadline_; }
    std::size_t Add(std::size_t parent, WindowHandle window, const WindowFacts& facts);
    // Reads what lies below `window`; false when it could not read it all.
    bool ReadBelow(WindowEnumeration& enumeration, WindowHandle window, std::size_t item);

    const SteadyClock clock_;
    const std::chrono::steady_clock::time_point deadline_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    locator::LiveTree tree_;
    std::vector<WindowHandle> windows_;  // of each item; 0 for the root
    bool ended_ = false;
    std::thread thread_;
};

// A window's properties as a framework matches them.
std::vector<locator::Property> PropertiesOf(const WindowFacts& facts);

}  // namespace hovermark
