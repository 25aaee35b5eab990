#include "platform/atspi/atspi_element_system.h"

#include <utility>

#include "platform/atspi/atspi_library.h"

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
