// Names written into a locator as exact literals of the language that runs it, whatever the application
// put in them: a test pasted from the clipboard must parse and must compare the very characters shown.
#pragma once

#include <string>
#include <string_view>

namespace hovermark::locator {

// A single-quoted Python string literal whose value is `text` (UTF-8). Quotes, backslashes and control
// characters are escaped, and so is every character outside the Basic Multilingual Plane; a byte that is no
// part of a UTF-8 character becomes U+FFFD, the character the application's own decoders show for it.
std::string PythonLiteral(std::string_view text);

// One word for a POSIX shell: `text` between single quotes, each quote inside closed, escaped and reopened.
std::string ShellWord(std::string_view text);

// `text` as a POSIX extended regular expression that matches exactly those characters.
std::string ExtendedRegexLiteral(std::string_view text);

}  // namespace hovermark::locator
