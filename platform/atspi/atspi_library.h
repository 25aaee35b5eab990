// libatspi, connected to the accessibility bus the desktop has now. libatspi finds the bus once and keeps its
// connection for the life of the process; the desktop's bus may restart at another address meanwhile, so each
// start of the element system finds the bus afresh and starts libatspi again when its bus has moved or gone.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/atspi/session_bus.h"

namespace hovermark::atspi {

// The user's own AT_SPI_BUS_ADDRESS, read once: the first call must come before this program sets the
// variable itself (the element system's construction makes it).
const std::optional<std::string>& UsersOwnBusAddress();

// Finds the accessibility bus (the user's own address, else the one the session's bus launcher gives), has it
// answer within `timeout`, and has libatspi connected to it. False when there is no bus to be had; libatspi
// is then left as it was or not started.
bool ConnectLibrary(SessionBus& session, std::chrono::milliseconds timeout);

}  // namespace hovermark::atspi
