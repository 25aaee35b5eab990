#include "platform/qt/abrupt_exit.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <unistd.h>

namespace hovermark::qt {
namespace {

std::function<void()>& PutBack() {
    static std::function<void()> put_back;
    return put_back;
}

// Whatever the put-back waits on in a process that has crashed (a lock the crashed thread held), the alarm's
// default action ends it then.
constexpr unsigned kCrashPutBackSeconds = 2;

extern "C" void PutBackAndCrash(int signal) {
    alarm(kCrashPutBackSeconds);
    std::function<void()> put_back = std::exchange(PutBack(), nullptr);
    if (put_back) {
        put_back();
    }
    // The handler was reset on entry: the signal now does what it would have done.
    raise(signal);
}

}  // namespace

void PutBackOnCrash() {
    struct sigaction action {};
    action.sa_handler = PutBackAndCrash;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
        sigaction(signal, &action, nullptr);
    }
}

void PutBackBeforeAbruptExit(std::function<void()> put_back) {
    PutBack() = std::move(put_back);
}

void ExitAbruptly(int code) {
    std::function<void()> put_back = std::exchange(PutBack(), nullptr);
    if (put_back) {
        put_back();
    }
    std::fflush(nullptr);
    std::_Exit(code);
}

}  // namespace hovermark::qt
