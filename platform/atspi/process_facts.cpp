#include "platform/atspi/process_facts.h"

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace hovermark::atspi {
namespace {

// A process with more mappings than this is not read to the end: Qt's library is mapped early, near the top.
constexpr int kMaxMappingsRead = 20000;

std::string ProcPath(std::uint32_t pid, const char* file) {
    return "/proc/" + std::to_string(pid) + "/" + file;
}

}  // namespace

std::uint64_t BootTicksNow() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const auto ticks_per_second = static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK));
    return static_cast<std::uint64_t>(now.tv_sec) * ticks_per_second +
           static_cast<std::uint64_t>(now.tv_nsec) * ticks_per_second / 1'000'000'000U;
}

// The 22nd field of /proc/PID/stat; the second, the command's name in parentheses, may hold spaces and
// parentheses itself, so the fields are counted from the last ')'.
std::optional<std::uint64_t> ProcessStartTicks(std::uint32_t pid) {
    std::ifstream stat(ProcPath(pid, "stat"));
    std::string line;
    if (!std::getline(stat, line)) {
        return std::nullopt;
    }
    const std::size_t name_end = line.rfind(')');
    if (name_end == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(name_end + 1));
    std::string field;
    // Fields 3 to 21, then the start time.
    for (int skipped = 3; skipped <= 21; ++skipped) {
        if (!(fields >> field)) {
            return std::nullopt;
        }
    }
    std::uint64_t start = 0;
    if (!(fields >> start)) {
        return std::nullopt;
    }
    return start;
}

bool RunsQt(std::uint32_t pid) {
    std::ifstream maps(ProcPath(pid, "maps"));
    std::string line;
    for (int read = 0; read < kMaxMappingsRead && std::getline(maps, line); ++read) {
        if (line.find("/libQt5Gui.so") != std::string::npos || line.find("/libQt6Gui.so") != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace hovermark::atspi
