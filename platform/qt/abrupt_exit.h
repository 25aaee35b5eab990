// The program's abrupt ends (the X display gone, an error no handler caught, a crash) leave without unwinding,
// so no destructor puts back what the program changed on the desktop. What must be put back all the same is
// registered here by the one place that knows it, and runs once, just before the process ends.
#pragma once

#include <functional>

namespace hovermark::qt {

// Replaces whatever was registered before. It must not throw.
void PutBackBeforeAbruptExit(std::function<void()> put_back);

// Runs what was registered (once), flushes the standard streams and ends the process with `code`.
[[noreturn]] void ExitAbruptly(int code);

// From now on a crash (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) runs what is registered too, as best it can
// in a process that is failing, within two seconds whatever it waits on, and then ends by its signal as
// before.
void PutBackOnCrash();

}  // namespace hovermark::qt
