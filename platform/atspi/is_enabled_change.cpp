#include "platform/atspi/is_enabled_change.h"

#include <utility>

#include "platform/atspi/session_bus.h"

namespace hovermark::atspi {

void IsEnabledChange::Made(std::string session_address) {
    const std::lock_guard lock(mutex_);
    made_on_ = std::move(session_address);
}

void IsEnabledChange::PutBack() noexcept {
    try {
        std::optional<std::string> address;
        {
            const std::lock_guard lock(mutex_);
            address = std::exchange(made_on_, std::nullopt);
        }
        if (!address) {
            return;
        }
        if (std::optional<SessionBus> session = SessionBus::ConnectTo(*address, timeout_)) {
            session->SetEnabled(false);
        }
    } catch (...) {
        // Nothing here throws but the allocator; the switch is then left as it is.
    }
}

}  // namespace hovermark::atspi
