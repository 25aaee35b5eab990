// UTF-8 as other programs hand it over: not always valid, and often cut at some size. The rules for reading
// it live here once, for every text the program shows: a window's title, a class name, an element's name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hovermark {

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

inline constexpr bool IsUtf8ContinuationByte(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

// Length of the valid UTF-8 sequence at the start of `bytes` (not empty), or 0 when it starts with an invalid
// part, whose length `invalid_length` then gives. Overlong forms, surrogates and code points above U+10FFFF
// are invalid.
std::size_t ValidUtf8SequenceLength(std::string_view bytes, std::size_t& invalid_length);

// The longest UTF-8 sequence.
inline constexpr std::size_t kMaxUtf8SequenceBytes = 4;

// Valid UTF-8 of at most `max_bytes` bytes: each maximal invalid part of `raw` becomes U+FFFD, and the text
// ends before the first character that would not fit whole. It reads at most `max_bytes` +
// kMaxUtf8SequenceBytes bytes of `raw`: no input byte gives less than one output byte.
std::string ValidUtf8Prefix(std::string_view raw, std::size_t max_bytes = std::string_view::npos);

}  // namespace hovermark
