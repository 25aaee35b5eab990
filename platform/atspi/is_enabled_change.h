// Hovermark's own change to org.a11y.Status IsEnabled, and the one duty it brings: to put it back. However the
// program ends, the change is undone here and nowhere else, also from a thread that is not the element
// system's (a lost display is reported on whichever thread Qt logs from, maybe while the element system is in
// the middle of a call): so this holds nothing of libatspi nor of the element system, and speaks to the
// session bus on a connection of its own.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

namespace hovermark::atspi {

class IsEnabledChange {
  public:
    explicit IsEnabledChange(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    // IsEnabled is about to be turned on, on the session bus at `session_address`.
    void Made(std::string session_address);
    // Turns it off again if it was turned on, once however many threads call; each call to the bus waits at
    // most the bound.
    void PutBack() noexcept;

  private:
    std::chrono::milliseconds timeout_;
    std::mutex mutex_;
    // The session bus's address while the change stands.
    std::optional<std::string> made_on_;
};

}  // namespace hovermark::atspi
