#include "platform/iaccessible/call_workers.h"

#include <algorithm>

namespace hovermark::iaccessible {

bool CallWorkers::BusyIn(DWORD process) const {
    return std::any_of(workers_.begin(), workers_.end(),
                       [&](const Worker& worker) { return worker.process == process && worker.thread->Busy(); });
}

CallWorkers::Worker* CallWorkers::Free(DWORD process) {
    if (BusyIn(process)) {
        return nullptr;
    }
    auto free =
        std::find_if(workers_.begin(), workers_.end(), [](const Worker& worker) { return !worker.thread->Busy(); });
    if (free == workers_.end()) {
        if (workers_.size() == kMaxCallWorkers) {
            return nullptr;
        }
        workers_.push_back({.thread = std::make_unique<ComWorker>()});
        free = workers_.end() - 1;
    }
    free->process = process;
    return &*free;
}

CallWorkers::Outcome CallWorkers::Run(DWORD process,
                                      std::function<void()> job,
                                      std::chrono::steady_clock::time_point deadline) {
    Worker* worker = Free(process);
    if (worker == nullptr) {
        return Outcome::kRefused;
    }
    if (worker->thread->Run(std::move(job), deadline)) {
        return Outcome::kDone;
    }
    worker->thread->CancelCall();
    return Outcome::kLate;
}

bool CallWorkers::Post(DWORD process, std::function<void()> job) {
    Worker* worker = Free(process);
    if (worker == nullptr) {
        return false;
    }
    worker->thread->Run(std::move(job), std::chrono::steady_clock::time_point::min());
    return true;
}

}  // namespace hovermark::iaccessible
