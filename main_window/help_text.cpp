#include "main_window/help_text.h"

#include <array>
#include <span>

namespace hovermark {
namespace {

// The help in parts; a program that can look inside windows tells of it after the first, one in a Wayland
// session of what it cannot see after that, and then every program of copying a locator.
constexpr std::array<std::string_view, 10> kHelpIntroduction{
    "Hovermark is a simple tool to find out the type of window or control at the mouse pointer position.",
    "It displays the class name, window handle and window text of the window or control",
    "and of all of its parents (containers) up to the main window.",
    "",
    "This can be used by software developers in order to reveal the structure of a graphical user interface.",
    "",
    "Optionally the window or control can be highlighted by a red rectangular frame.",
    "",
    "Press the 'P' or 'Pause' key to lock or unlock the current window or control (when Hovermark has the "
    "focus).",
    "",
};

constexpr std::array<std::string_view, 2> kLookInsideHelp{
    "Press the 'F7' key to look inside windows: the button, text field or other element under the mouse "
    "pointer is listed above its window (when Hovermark has the focus).",
    "",
};

constexpr std::array<std::string_view, 2> kWaylandHelp{kWaylandSessionNote, ""};

constexpr std::array<std::string_view, 2> kLocatorHelp{
    "Press 'Ctrl + L' to copy a locator for UI tests: a line a test framework finds the first listed control or "
    "window by, checked against the running program; what the check found shows below the list.",
    "",
};

constexpr std::array<std::string_view, 3> kHelpClosing{
    "Note that this program does not make any changes to other programs. It does only read information.",
    "",
    "Hovermark was written by the Hovermark developers.",
};

void AppendLines(std::string& prompt, std::span<const std::string_view> lines) {
    for (std::string_view line : lines) {
        prompt.append(line).append("\r\n");
    }
}

}  // namespace

std::string HelpPrompt(const HelpFacts& facts) {
    std::string prompt;
    AppendLines(prompt, kHelpIntroduction);
    if (facts.can_look_inside) {
        AppendLines(prompt, kLookInsideHelp);
    }
    if (facts.wayland_session) {
        AppendLines(prompt, kWaylandHelp);
    }
    AppendLines(prompt, kLocatorHelp);
    AppendLines(prompt, kHelpClosing);
    return prompt;
}

}  // namespace hovermark
