// What the kernel tells of another process without asking the process anything: when it started, and whether
// it runs a toolkit that reads the accessibility switch only when it starts. Reading these waits on no program.
#pragma once

#include <cstdint>
#include <optional>

namespace hovermark::atspi {

// Clock ticks since boot, on the kernel's own clock for process start times.
std::uint64_t BootTicksNow();
// When the process started, in the same ticks; none when it cannot be read (gone, another user's).
std::optional<std::uint64_t> ProcessStartTicks(std::uint32_t pid);
// Whether the process has Qt's GUI library mapped.
bool RunsQt(std::uint32_t pid);

}  // namespace hovermark::atspi
