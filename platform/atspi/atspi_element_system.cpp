#include "platform/atspi/atspi_element_system.h"

#include <utility>

#include "platform/atspi/atspi_library.h"
#include "platform/atspi/session_bus.h"

namespace hovermark::atspi {

AtspiElementSystem::AtspiElementSystem(TopLevelFacts& facts, SteadyClock clock)
    : facts_(facts), clock_(std::move(clock)) {
    UsersOwnBusAddress();
}

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
    if (!ConnectLibrary(*session, kCallTimeout)) {
        return std::string(kNoAccessibilityBusText);
    }
    if (session->IsEnabled() == false) {
        // Recorded before it is made: an end of the program in between, or an answer lost after the change
        // was made, still puts it back.
        enabled_change_.Made(session->Address());
        session->SetEnabled(true);
    }
    desktop_ = std::make_unique<AtspiDesktop>(kCallTimeout);
    reader_ = std::make_unique<ElementReader>(*desktop_, facts_, clock_);
    return std::nullopt;
}

void AtspiElementSystem::Stop() noexcept {
    reader_.reset();
    desktop_.reset();
    facts_.StopWatching();
    enabled_change_.PutBack();
}

ElementsAnswer AtspiElementSystem::ElementsAt(WindowHandle window, Point pointer) {
    return reader_ ? reader_->ElementsAt(window, pointer) : ElementsAnswer{};
}

ElementPresence AtspiElementSystem::GetElementRect(const std::string& id, Rectangle& rect) {
    return reader_ ? reader_->GetElementRect(id, rect) : ElementPresence::kGone;
}

}  // namespace hovermark::atspi
