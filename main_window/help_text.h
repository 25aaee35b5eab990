// The help message, once, for every front end.
#pragma once

#include <string>
#include <string_view>

namespace hovermark {

inline constexpr std::string_view kHelpTitle = "Hovermark - Help";

// The 13-line prompt, every line (the last one too) ended by CR LF.
const std::string& HelpPrompt();

}  // namespace hovermark
