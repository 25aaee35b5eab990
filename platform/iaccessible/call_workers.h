// The workers that call into other programs, and which program each busy one is in. A program that hangs
// keeps its worker; no second call is sent after the first, and only a few workers exist in all, so however
// many programs hang, Hovermark's threads stay few.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "platform/iaccessible/com_worker.h"

namespace hovermark::iaccessible {

inline constexpr std::size_t kMaxCallWorkers = 4;

class CallWorkers {
  public:
    enum class Outcome {
        kDone,     // the job ended by the deadline
        kLate,     // it goes on alone, and its worker stays in the process until it ends
        kRefused,  // not started: a worker is still in the process, or every worker is busy
    };

    // Runs `job`, which calls into `process`, on a free worker, waiting for it until `deadline`.
    Outcome Run(DWORD process, std::function<void()> job, std::chrono::steady_clock::time_point deadline);
    // Starts `job`, which calls into `process`, without waiting for it; false, and nothing started, when it
    // would be refused.
    bool Post(DWORD process, std::function<void()> job);
    // Whether a job calling into `process` is still running.
    bool BusyIn(DWORD process) const;

  private:
    struct Worker {
        std::unique_ptr<ComWorker> thread;
        DWORD process = 0;
    };
    // A free worker, set to call into `process`; none when it would be refused.
    Worker* Free(DWORD process);

    std::vector<Worker> workers_;
};

}  // namespace hovermark::iaccessible
