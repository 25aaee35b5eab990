#include "platform/iaccessible/com_worker.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

#include <objbase.h>

#include "platform/iaccessible/com_owners.h"

namespace hovermark::iaccessible {
namespace {

using CancelCallFunction = HRESULT(WINAPI*)(DWORD thread_id, ULONG timeout);

// Looked up rather than imported: a system without it (Wine 8 has none) then simply cannot cancel, where an
// import would end the process at the first call.
CancelCallFunction CancelCallOfTheSystem() {
    static const auto kCancelCall = reinterpret_cast<CancelCallFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ole32.dll"), "CoCancelCall")));
    return kCancelCall;
}

}  // namespace

// What the thread and its owner share; it outlives whichever of them goes first.
struct ComWorker::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> job;
    bool busy = false;
    bool quit = false;
    DWORD thread_id = 0;
};

ComWorker::ComWorker() : shared_(std::make_shared<Shared>()), thread_(Serve, shared_) {}

ComWorker::~ComWorker() {
    bool busy = false;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        busy = shared_->busy;
    }
    shared_->changed.notify_all();
    if (busy) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void ComWorker::Serve(const std::shared_ptr<Shared>& shared) {
    const MultithreadedApartment apartment;
    // Lets the owner cancel a call this thread is waiting in, where the system supports it.
    CoEnableCallCancellation(nullptr);
    std::unique_lock lock(shared->mutex);
    shared->thread_id = GetCurrentThreadId();
    while (true) {
        shared->changed.wait(lock, [&] { return shared->quit || shared->busy; });
        if (!shared->busy) {
            return;
        }
        std::function<void()> job = std::move(shared->job);
        lock.unlock();
        if (apartment.Joined()) {
            job();
        }
        // Whatever the job held from other programs is released here, on this thread of the apartment.
        job = nullptr;
        lock.lock();
        shared->busy = false;
        shared->changed.notify_all();
    }
}

bool ComWorker::Run(std::function<void()> job, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(shared_->mutex);
    shared_->job = std::move(job);
    shared_->busy = true;
    shared_->changed.notify_all();
    return shared_->changed.wait_until(lock, deadline, [&] { return !shared_->busy; });
}

bool ComWorker::Busy() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->busy;
}

bool ComWorker::CancelCall() const {
    DWORD thread_id = 0;
    {
        const std::lock_guard lock(shared_->mutex);
        thread_id = shared_->thread_id;
    }
    const CancelCallFunction cancel_call = CancelCallOfTheSystem();
    return thread_id != 0 && cancel_call != nullptr && SUCCEEDED(cancel_call(thread_id, 0));
}

}  // namespace hovermark::iaccessible
