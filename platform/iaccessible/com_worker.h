// A thread of the multithreaded apartment that makes the calls into other programs. A call into a hung
// program blocks its caller for as long as the program hangs; made here, it blocks only this thread, and the
// GUI thread waits for it just as long as it chooses, then goes on without it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace hovermark::iaccessible {

class ComWorker {
  public:
    ComWorker();
    ComWorker(const ComWorker&) = delete;
    ComWorker& operator=(const ComWorker&) = delete;
    // Never waits for a job still running: the thread is left to end it alone, and ends with the process if
    // it never does.
    ~ComWorker();

    // Runs `job` on the worker; true when it ended by `deadline`. Otherwise it goes on alone, the worker stays
    // busy until it ends, and the job is destroyed on the worker too. Only for a worker that is not busy.
    bool Run(std::function<void()> job, std::chrono::steady_clock::time_point deadline);
    bool Busy() const;
    // Asks the system to cancel the call the worker is waiting in, where it can; true when it took the request.
    bool CancelCall() const;

  private:
    struct Shared;
    static void Serve(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace hovermark::iaccessible
