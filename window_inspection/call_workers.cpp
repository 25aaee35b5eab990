#include "window_inspection/call_workers.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "window_inspection/left_alone_applications.h"

namespace hovermark {

class CallWorkers::Ticket {
  public:
    std::atomic<bool> done{false};
};

struct CallContext::Worker {
    WorkerSetUp* set_up = nullptr;
    bool serving = false;  // `queue` is this worker's until it has run dry
    ApplicationId queue;
    bool in_call = false;
    ApplicationId booked;   // the program the call in progress was booked by
    ApplicationId calling;  // the program its round trip in progress goes to
    std::chrono::steady_clock::time_point trip_started;
    bool late = false;  // the call in progress has been found late
};

// What the workers and their owner share; it outlives whichever of them goes last.
struct CallContext::Shared {
    Shared(std::shared_ptr<ElementAdapter> adapter_, SteadyClock clock_)
        : adapter(std::move(adapter_)), clock(std::move(clock_)), left_alone(clock) {}

    struct Queued {
        CallWorkers::Job job;
        std::shared_ptr<CallWorkers::Ticket> ticket;
    };

    bool OtherWorkerCalling(const Worker& self, const ApplicationId& application) const {
        return std::any_of(workers.begin(), workers.end(), [&](const std::unique_ptr<Worker>& worker) {
            return worker.get() != &self && worker->in_call && worker->calling == application;
        });
    }

    const std::shared_ptr<ElementAdapter> adapter;
    const SteadyClock clock;
    mutable std::mutex mutex;
    std::condition_variable changed;
    LeftAloneApplications left_alone;
    std::vector<std::unique_ptr<Worker>> workers;
    std::map<ApplicationId, std::deque<Queued>> queues;
    bool quit = false;
};

CallContext::Start CallContext::Begin(const ApplicationId& application) {
    const std::lock_guard lock(shared_.mutex);
    if (shared_.quit || !ready_) {
        return Start::kClosing;
    }
    if (trips_left_ <= 0) {
        return Start::kSpent;
    }
    if (shared_.left_alone.IsLeftAlone(application) || shared_.OtherWorkerCalling(worker_, application)) {
        return Start::kNotNow;
    }
    worker_.in_call = true;
    worker_.booked = application;
    worker_.calling = application;
    worker_.trip_started = shared_.clock();
    worker_.late = false;
    refused_ = false;
    return Start::kGo;
}

void CallContext::Trip() {
    const std::lock_guard lock(shared_.mutex);
    NextTrip(worker_.booked);
}

bool CallContext::TripTo(const ApplicationId& application) {
    const std::lock_guard lock(shared_.mutex);
    if (application != worker_.calling &&
        (shared_.left_alone.IsLeftAlone(application) || shared_.OtherWorkerCalling(worker_, application))) {
        refused_ = true;
        return false;
    }
    NextTrip(application);
    return true;
}

// Under the lock.
void CallContext::NextTrip(const ApplicationId& application) {
    --trips_left_;
    // Each round trip has the whole bound: a call of two that answer in 200 ms each is not late.
    if (worker_.in_call && !worker_.late && shared_.clock() - worker_.trip_started > kLateAfter) {
        worker_.late = true;
        shared_.left_alone.LeaveAlone(worker_.calling);
    }
    worker_.calling = application;
    worker_.trip_started = shared_.clock();
}

bool CallContext::End() {
    const std::lock_guard lock(shared_.mutex);
    bool late = worker_.late;
    if (!late && shared_.clock() - worker_.trip_started > kLateAfter) {
        late = true;
        shared_.left_alone.LeaveAlone(worker_.calling);
    }
    worker_.in_call = false;
    worker_.late = false;
    return !late;
}

CallWorkers::CallWorkers(std::shared_ptr<ElementAdapter> adapter, SteadyClock clock)
    : shared_(std::make_shared<Shared>(std::move(adapter), std::move(clock))) {}

CallWorkers::~CallWorkers() {
    std::vector<bool> in_call;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        for (const std::unique_ptr<Worker>& worker : shared_->workers) {
            in_call.push_back(worker->in_call);
        }
    }
    shared_->changed.notify_all();
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        if (in_call[i]) {
            threads_[i].detach();
        } else {
            threads_[i].join();
        }
    }
}

void CallWorkers::Serve(const std::shared_ptr<Shared>& shared, Worker* worker) {
    std::unique_ptr<WorkerSetUp> set_up = shared->adapter->SetUpWorker();
    const bool ready = set_up->Ready();
    std::unique_lock lock(shared->mutex);
    worker->set_up = set_up.get();
    while (true) {
        if (!worker->serving) {
            // A queue that no worker serves yet; queued jobs run even when quitting, with no calls, so that what
            // they hold is let go of here.
            const auto waiting = std::find_if(shared->queues.begin(), shared->queues.end(), [&](const auto& queue) {
                return std::none_of(shared->workers.begin(), shared->workers.end(),
                                    [&](const std::unique_ptr<Worker>& other) {
                                        return other->serving && other->queue == queue.first;
                                    });
            });
            if (waiting == shared->queues.end()) {
                if (shared->quit) {
                    break;
                }
                shared->changed.wait(lock);
                continue;
            }
            worker->serving = true;
            worker->queue = waiting->first;
        }
        auto queue = shared->queues.find(worker->queue);
        if (queue == shared->queues.end() || queue->second.empty()) {
            if (queue != shared->queues.end()) {
                shared->queues.erase(queue);
            }
            worker->serving = false;
            continue;
        }
        Shared::Queued queued = std::move(queue->second.front());
        queue->second.pop_front();
        lock.unlock();
        {
            CallContext context(*shared, *worker, ready);
            queued.job(context);
            {
                // Under the lock, so that a waiter between its check and its wait cannot miss it.
                const std::lock_guard done(shared->mutex);
                queued.ticket->done = true;
            }
            shared->changed.notify_all();
            // What the job held is let go of here, on this thread, once its waiter has been told.
            queued.job = nullptr;
        }
        lock.lock();
    }
    worker->set_up = nullptr;
    lock.unlock();
}

std::shared_ptr<CallWorkers::Ticket> CallWorkers::Post(const ApplicationId& queue, Job job) {
    auto ticket = std::make_shared<Ticket>();
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->queues[queue].push_back({.job = std::move(job), .ticket = ticket});
        const bool served = std::any_of(
            shared_->workers.begin(), shared_->workers.end(),
            [&](const std::unique_ptr<Worker>& worker) { return worker->serving && worker->queue == queue; });
        const bool idle = std::any_of(shared_->workers.begin(), shared_->workers.end(),
                                      [](const std::unique_ptr<Worker>& worker) { return !worker->serving; });
        if (!served && !idle && shared_->workers.size() < kMaxCallWorkers) {
            shared_->workers.push_back(std::make_unique<Worker>());
            threads_.emplace_back(Serve, shared_, shared_->workers.back().get());
        }
    }
    shared_->changed.notify_all();
    return ticket;
}

bool CallWorkers::Wait(const std::shared_ptr<Ticket>& ticket, std::chrono::milliseconds wait) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, wait, [&] { return ticket->done.load(); });
}

bool CallWorkers::Done(const std::shared_ptr<Ticket>& ticket) {
    return ticket->done;
}

void CallWorkers::FindLateCalls() {
    const std::lock_guard lock(shared_->mutex);
    const auto now = shared_->clock();
    for (const std::unique_ptr<Worker>& worker : shared_->workers) {
        if (worker->in_call && !worker->late && now - worker->trip_started > kLateAfter) {
            worker->late = true;
            shared_->left_alone.LeaveAlone(worker->calling);
            if (worker->set_up != nullptr) {
                worker->set_up->CancelCall();
            }
        }
    }
}

bool CallWorkers::StuckIn(const ApplicationId& application) const {
    const std::lock_guard lock(shared_->mutex);
    return std::any_of(shared_->workers.begin(), shared_->workers.end(), [&](const std::unique_ptr<Worker>& worker) {
        return worker->in_call && worker->late && worker->calling == application;
    });
}

bool CallWorkers::IsLeftAlone(const ApplicationId& application) const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->left_alone.IsLeftAlone(application);
}

void CallWorkers::LeaveAlone(const ApplicationId& application) {
    const std::lock_guard lock(shared_->mutex);
    shared_->left_alone.LeaveAlone(application);
}

}  // namespace hovermark
