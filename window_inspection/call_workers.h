// The threads that call into other programs for the element engine. A call into a busy or hung program blocks
// its caller for as long as that program keeps it waiting; made here, it blocks only a worker, and the GUI
// thread goes on without it.
//
// Problem: a worker stuck in a hung program cannot serve anybody else, and a call booked by the program whose
// window is inspected may in fact go to another one. Solution: each call is booked by the program it goes to,
// just before it is made; a program that a worker already waits in, or that did not answer in time, gets no
// second call; and there are more workers than hung programs are likely to be, so one that is stuck keeps no
// other program from being read. Jobs of one queue run one at a time, in order.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "window_inspection/element_adapter.h"
#include "window_inspection/walk_budget.h"

namespace hovermark {

// However many programs hang at once, Hovermark keeps at most this many threads for them.
inline constexpr std::size_t kMaxCallWorkers = 8;
// A call that answers within this is an answer, whatever its delay; one that takes longer leaves its program
// alone for kHungApplicationPause.
inline constexpr std::chrono::milliseconds kCallBound{250};
// What carrying a call there and back and waking the worker adds to the application's own delay: the system's
// time and this program's, not the application's, so it is not held against it. Under Wine one round trip
// adds 5 to 10 ms on an idle machine, and several times that on a busy one.
inline constexpr std::chrono::milliseconds kCarryAllowance{40};
// A round trip waited on longer than this is late.
inline constexpr std::chrono::milliseconds kLateAfter = kCallBound + kCarryAllowance;

class CallWorkers;

// What a job is given for its calls: the round trips it may still make, and the booking of each call.
class CallContext final : public RoundTrips {
  public:
    enum class Start {
        kGo,       // booked: make the call, then End()
        kSpent,    // this job's round trips are spent
        kNotNow,   // the program is left alone, or another worker waits in it
        kClosing,  // the engine is going, or this thread cannot make calls
    };
    Start Begin(const ApplicationId& application);
    // Ends the call begun; false when it came past its bound: its answer does not count, and its program is
    // left alone.
    bool End();
    void Trip() override;
    bool TripTo(const ApplicationId& application) override;
    // Whether a trip of the call ended was refused by TripTo: the call could not be made now.
    bool Refused() const { return refused_; }
    // Gives the job `trips` round trips in all, for a job that reads far more than a walk does; its calls
    // stay bounded one by one, and the job bounds its whole time itself.
    void AllowTrips(int trips) { trips_left_ = trips; }
    // Keeps `held` until the job's waiter has been told that the job is done, then lets go of it on this
    // thread: what a job releases costs no GUI wait.
    void ReleaseLater(std::shared_ptr<const void> held) { released_.push_back(std::move(held)); }

    CallContext(const CallContext&) = delete;
    CallContext& operator=(const CallContext&) = delete;
    ~CallContext() = default;

  private:
    friend class CallWorkers;
    struct Shared;
    struct Worker;
    CallContext(Shared& shared, Worker& worker, bool ready) : shared_(shared), worker_(worker), ready_(ready) {}
    void NextTrip(const ApplicationId& application);

    Shared& shared_;
    Worker& worker_;
    bool ready_;
    int trips_left_ = kMaxCallsPerWalk;
    bool refused_ = false;
    std::vector<std::shared_ptr<const void>> released_;
};

class CallWorkers {
  public:
    using Job = std::function<void(CallContext&)>;
    // Whether a job posted has ended.
    class Ticket;

    explicit CallWorkers(std::shared_ptr<ElementAdapter> adapter, SteadyClock clock = SteadyNow);
    CallWorkers(const CallWorkers&) = delete;
    CallWorkers& operator=(const CallWorkers&) = delete;
    // Never waits for a worker in a call: that one is left to end alone, or with the process.
    ~CallWorkers();

    // Queues `job` behind the jobs of `queue`; what it captures is destroyed on the worker that ran it.
    std::shared_ptr<Ticket> Post(const ApplicationId& queue, Job job);
    // Waits for the job at most `wait`; true when it has ended.
    bool Wait(const std::shared_ptr<Ticket>& ticket, std::chrono::milliseconds wait);
    static bool Done(const std::shared_ptr<Ticket>& ticket);

    // Marks every call waited on past its bound as late: its program is left alone, and the call is cancelled
    // where the system can. The GUI asks at every tick, so a hung program is known for what it is within a
    // tick of its bound even while its worker still waits.
    void FindLateCalls();
    // Whether a worker waits in a late call into `application`.
    bool StuckIn(const ApplicationId& application) const;
    bool IsLeftAlone(const ApplicationId& application) const;
    void LeaveAlone(const ApplicationId& application);

  private:
    using Shared = CallContext::Shared;
    using Worker = CallContext::Worker;
    static void Serve(const std::shared_ptr<Shared>& shared, Worker* worker);

    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> threads_;
};

}  // namespace hovermark
