// The help message, once, for every front end.
#pragma once

#include <string>
#include <string_view>

namespace hovermark {

inline constexpr std::string_view kHelpTitle = "Hovermark - Help";

// What a Linux program in a Wayland session cannot see, said in its help and once on stderr at start.
inline constexpr std::string_view kWaylandSessionNote =
    "In a Wayland session Hovermark sees the windows of X11 programs (XWayland) only: the windows of native "
    "Wayland programs, and anything inside them, are invisible to it.";

// What the help tells beyond the keys every program has. The front end that starts the program knows both.
struct HelpFacts {
    bool can_look_inside = false;
    bool wayland_session = false;
};

// The 13-line prompt, every line (the last one too) ended by CR LF. A program that can look inside windows
// tells of its F7 key too, in two more lines, and one in a Wayland session of what it cannot see there, in two
// more.
std::string HelpPrompt(const HelpFacts& facts = {});

}  // namespace hovermark
