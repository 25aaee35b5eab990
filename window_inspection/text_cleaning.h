// Strings read from the window system come back padded and NUL-ended the way a fixed buffer leaves them.
#pragma once

#include <string>
#include <string_view>

namespace hovermark {

// Every NUL becomes a space, then leading and trailing spaces (only spaces) are removed.
std::string CleanWindowString(std::string_view raw);

}  // namespace hovermark
