// Text properties of X windows as UTF-8. Other programs store window titles and class names as Latin-1
// (STRING), as UTF-8 that nobody checked (UTF8_STRING), or as ISO 2022 compound text; the logic gets
// valid UTF-8 in every case, and a text is never cut inside a character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hovermark::x11 {

enum class TextEncoding { kLatin1, kUtf8, kCompoundText };

// `cut_short` says the property was longer than what was read: a character cut at the end is dropped
// rather than shown as a replacement character. NULs are kept; the logic decides what they mean.
std::string DecodePropertyText(std::string_view bytes, TextEncoding encoding, bool cut_short);

// What fits into a buffer of `max_count` bytes with its NUL: at most max_count - 1 bytes, whole characters.
std::string FitIntoBuffer(std::string_view utf8, std::int32_t max_count);

}  // namespace hovermark::x11
