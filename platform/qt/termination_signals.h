// SIGINT, SIGTERM and SIGHUP end the program the way a user's close does: its windows are closed from the event loop,
// so every handler of the unload runs and whatever the program changed on the desktop is put back. A signal
// handler itself may do almost nothing; it only wakes the event loop.
#pragma once

namespace hovermark::qt {

// Call once, after the QApplication exists. A second such signal while the first is handled ends the program
// at once, as the system's default would.
void CloseWindowsOnTerminationSignals();

}  // namespace hovermark::qt
