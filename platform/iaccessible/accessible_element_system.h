// The elements inside other programs' windows through IAccessible, the interface Windows' applications answer
// for assistive technology: what windowless toolkits draw inside one window, listed, framed and copyable.
//
// Every call into another program is made on a worker thread, and the GUI thread waits at most
// kAnswerWait for its answer. A program that does not answer in time is left alone for a while, its worker
// with it; its windows are listed as windows meanwhile.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/iaccessible/call_workers.h"
#include "platform/iaccessible/window_access.h"
#include "window_inspection/element_system.h"
#include "window_inspection/left_alone_applications.h"
#include "window_inspection/walk_budget.h"

namespace hovermark::iaccessible {

// How long the GUI thread waits for an answer at one tick.
inline constexpr std::chrono::milliseconds kAnswerWait{250};
// A walk starts no call after this, so that a slow program's last answer still arrives within kAnswerWait.
inline constexpr std::chrono::milliseconds kWalkTime{150};
// While the pointer rests, the walk is made again this often, so that content changing under it shows.
inline constexpr std::chrono::seconds kWalkAgainAtRest{1};
// While the pointer rests and the deepest element stays where it was, its location is asked at every this many
// ticks.
inline constexpr int kSteadyCheckEvery = 3;

class AccessibleElementSystem final : public ElementSystem {
  public:
    explicit AccessibleElementSystem(WindowAccess& windows, SteadyClock clock = SteadyNow);
    ~AccessibleElementSystem() override;

    std::optional<std::string> Start() override;
    void Stop() noexcept override;
    ElementsAnswer ElementsAt(WindowHandle window, Point pointer) override;
    ElementPresence GetElementRect(const std::string& id, Rectangle& rect) override;

  private:
    struct Look;

    // Lets go of the look held; its objects are released on a worker, never on this thread.
    void Discard(std::shared_ptr<Look> look);
    void DiscardLeftovers();

    WindowAccess& windows_;
    SteadyClock clock_;
    LeftAloneApplications left_alone_;
    CallWorkers workers_;
    // The look at the window and point of the last question; its objects are touched only by jobs, and by
    // this thread only while no job is running in its program.
    std::shared_ptr<Look> look_;
    // Looks no worker was free to release yet.
    std::vector<std::shared_ptr<Look>> leftovers_;
};

}  // namespace hovermark::iaccessible
