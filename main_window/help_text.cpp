#include "main_window/help_text.h"

#include <array>

namespace hovermark {
namespace {

constexpr std::array<std::string_view, 13> kHelpLines{
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
    "Note that this program does not make any changes to other programs. It does only read information.",
    "",
    "Hovermark was written by the Hovermark developers.",
};

std::string BuildHelpPrompt() {
    std::string prompt;
    for (std::string_view line : kHelpLines) {
        prompt.append(line).append("\r\n");
    }
    return prompt;
}

}  // namespace

const std::string& HelpPrompt() {
    static const std::string prompt = BuildHelpPrompt();
    return prompt;
}

}  // namespace hovermark
