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

// Valid UTF-8 of at most `max_bytes` bytes: each maximal invalid part of `raw` becomes U+FFFD, and the text
// ends before the first character that would not fit whole.
std::string ValidUtf8Prefix(std::string_view raw, std::size_t max_bytes);

// An element's role or name as a row shows it: valid UTF-8 cut at kMaxElementTextBytes, then cleaned like a
// window's text.
std::string CleanElementText(std::string_view raw);

}  // namespace hovermark
