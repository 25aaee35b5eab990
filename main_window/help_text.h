// The help message, once, for every front end.
#pragma once

#include <string>
#include <string_view>

namespace hovermark {

inline constexpr std::string_view kHelpTitle = "Hovermark - Help";

// The 13-line prompt, every line (the last one too) ended by CR LF. A program that can look inside windows
// tells of its F7 key too, in two more lines.
const std::string& HelpPrompt(bool can_look_inside = false);

}  // namespace hovermark
