// The elements inside other programs' windows on a desktop with an accessibility bus (AT-SPI), read through
// libatspi: the client library made for that protocol, which finds the bus, speaks its D-Bus interfaces and
// names the roles, without any GUI toolkit in this folder. Every call waits at most kCallTimeout, on the
// caller's thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atspi/atspi_desktop.h"
#include "platform/atspi/element_reader.h"
#include "platform/atspi/is_enabled_change.h"
#include "platform/atspi/top_level_facts.h"
#include "window_inspection/element_system.h"

namespace hovermark::atspi {

// The bound on every call, to other applications and to the buses alike: switching the mode on waits no longer
// for a stopped bus than a tick waits for a stopped application.
inline constexpr std::chrono::milliseconds kCallTimeout{250};

inline constexpr std::string_view kNoSessionBusText =
    "Hovermark cannot look inside windows: this desktop has no D-Bus session bus.";
inline constexpr std::string_view kNoAccessibilityBusText =
    "Hovermark cannot look inside windows: this desktop has no accessibility bus (AT-SPI).";

class AtspiElementSystem final : public ElementSystem {
  public:
    explicit AtspiElementSystem(TopLevelFacts& facts, SteadyClock clock = SteadyNow);
    AtspiElementSystem(const AtspiElementSystem&) = delete;
    AtspiElementSystem& operator=(const AtspiElementSystem&) = delete;
    ~AtspiElementSystem() override;

    // Connects, and sets org.a11y.Status IsEnabled when it is false, so that applications which describe
    // their elements only on request (Qt, Chromium) do so.
    std::optional<std::string> Start() override;
    // Puts IsEnabled back when Start changed it. The program calls it when the mode is switched off and when
    // it exits, a signal included: from the event loop that a signal handler woke (it talks to the bus, so
    // it is not safe inside the handler itself).
    void Stop() noexcept override;
    // The change to IsEnabled alone, for an end of the program that leaves no time to stop: safe from any
    // thread, whatever the element system is doing.
    IsEnabledChange& EnabledChange() { return enabled_change_; }
    ElementsAnswer ElementsAt(WindowHandle window, Point pointer) override;
    ElementPresence GetElementRect(const std::string& id, Rectangle& rect) override;

    // Calls over the accessibility bus since the mode was last switched on.
    std::uint64_t RoundTrips() const { return desktop_ ? desktop_->RoundTrips() : 0; }

  private:
    TopLevelFacts& facts_;
    SteadyClock clock_;
    IsEnabledChange enabled_change_{kCallTimeout};
    std::unique_ptr<AtspiDesktop> desktop_;
    std::unique_ptr<ElementReader> reader_;
};

}  // namespace hovermark::atspi
