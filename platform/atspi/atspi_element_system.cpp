#include "platform/atspi/atspi_element_system.h"

#include <cstdlib>
#include <utility>

#include <atspi/atspi.h>

namespace hovermark::atspi {
namespace {

enum class LibraryState { kUntried, kReady, kUnusable };

// Problem: libatspi connects once per process, waits without bound for the bus to say hello, and once its
// connection has failed it calls g_error (which ends the process) at its next use. Solution: each start first
// asks the accessibility bus to say hello on a connection of this program's own, within the call bound; only
// then is libatspi started (once), with that bus's address in its environment, and never used again if it
// still fails.
LibraryState& Library() {
    static LibraryState state = LibraryState::kUntried;
    return state;
}

bool StartLibrary(SessionBus& session) {
    LibraryState& state = Library();
    if (state == LibraryState::kUnusable) {
        return false;
    }
    const char* configured = std::getenv("AT_SPI_BUS_ADDRESS");
    const std::optional<std::string> address = configured != nullptr && *configured != '\0'
                                                   ? std::optional<std::string>(configured)
                                                   : session.AccessibilityBusAddress();
    if (!address || OpenBus(*address, kCallTimeout) == nullptr) {
        return false;
    }
    if (state == LibraryState::kReady) {
        return true;
    }
    // Otherwise libatspi would look for the bus on the X display's root window first, which another session
    // may have left behind.
    g_setenv("AT_SPI_BUS_ADDRESS", address->c_str(), TRUE);
    // No longer wait for applications that started a moment ago: the bound is the same for all.
    atspi_set_timeout(static_cast<gint>(kCallTimeout.count()), -1);
    const int result = atspi_init();
    state = result == 0 || result == 1 ? LibraryState::kReady : LibraryState::kUnusable;
    return state == LibraryState::kReady;
}

}  // namespace

AtspiElementSystem::AtspiElementSystem(TopLevelFacts& facts, SteadyClock clock)
    : facts_(facts), clock_(std::move(clock)) {}

AtspiElementSystem::~AtspiElementSystem() {
    Stop();
}

std::optional<std::string> AtspiElementSystem::Start() {
    if (reader_) {
        return std::nullopt;
    }
    std::optional<SessionBus> session = SessionBus::Connect(kCallTimeout);
    if (!session) {
        return std::string(kNoSessionBusText);
    }
    if (!StartLibrary(*session)) {
        return std::string(kNoAccessibilityBusText);
    }
    if (session->IsEnabled() == false) {
        disable_at_stop_ = session->SetEnabled(true);
    }
    session_ = std::move(session);
    desktop_ = std::make_unique<AtspiDesktop>(kCallTimeout);
    reader_ = std::make_unique<ElementReader>(*desktop_, facts_, clock_);
    return std::nullopt;
}

void AtspiElementSystem::Stop() noexcept {
    try {
        reader_.reset();
        desktop_.reset();
        if (disable_at_stop_ && session_) {
            session_->SetEnabled(false);
        }
    } catch (...) {
        // Nothing here throws but the allocator; the switch is then left as it is.
    }
    disable_at_stop_ = false;
    session_.reset();
}

ElementsAnswer AtspiElementSystem::ElementsAt(WindowHandle window, Point pointer) {
    return reader_ ? reader_->ElementsAt(window, pointer) : ElementsAnswer{};
}

ElementPresence AtspiElementSystem::GetElementRect(const std::string& id, Rectangle& rect) {
    return reader_ ? reader_->GetElementRect(id, rect) : ElementPresence::kGone;
}

}  // namespace hovermark::atspi
