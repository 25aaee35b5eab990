// Strings read from the window system come back padded and NUL-ended the way a fixed buffer leaves them.
// Strings read from other programs' elements come as the program gave them: of any length, and not always
// valid UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hovermark {

// The most of an element's text that is shown.
inline constexpr std::size_t kMaxElementTextBytes = std::size_t{64} * 1024;

// Every NUL becomes a space, then leading and trailing spaces (only spaces) are removed.
std::string CleanWindowString(std::string_view raw);

// An element's role or name as a row shows it: valid UTF-8 cut at kMaxElementTextBytes, then cleaned like a
// window's text.
std::string CleanElementText(std::string_view raw);

// The part of an element's text that CleanElementText reads; the rest can change nothing it gives. What is
// kept of a name for later rows need be no longer.
std::string ElementTextRead(std::string text);

}  // namespace hovermark
