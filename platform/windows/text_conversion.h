// Windows speaks UTF-16; the core speaks UTF-8. Every text crossing between them goes through here, so no
// character is lost or cut in half on the way.
#pragma once

#include <string>
#include <string_view>

namespace hovermark::windows {

// Ill-formed input (a lone surrogate, a broken UTF-8 sequence) becomes U+FFFD instead of being dropped.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace hovermark::windows
