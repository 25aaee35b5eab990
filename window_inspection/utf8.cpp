#include "window_inspection/utf8.h"

#include <algorithm>

namespace hovermark {

std::size_t ValidUtf8SequenceLength(std::string_view bytes, std::size_t& invalid_length) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    unsigned char second_low = 0x80;
    unsigned char second_high = 0xBF;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        second_low = lead == 0xE0 ? 0xA0 : 0x80;
        second_high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        second_low = lead == 0xF0 ? 0x90 : 0x80;
        second_high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        invalid_length = 1;
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= bytes.size()) {
            invalid_length = i;
            return 0;
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (i == 1 ? byte < second_low || byte > second_high : !IsUtf8ContinuationByte(byte)) {
            invalid_length = i;
            return 0;
        }
    }
    return length;
}

std::string ValidUtf8Prefix(std::string_view raw, std::size_t max_bytes) {
    std::string text;
    text.reserve(std::min(raw.size(), max_bytes));
    while (!raw.empty()) {
        std::size_t invalid_length = 0;
        const std::size_t length = ValidUtf8SequenceLength(raw, invalid_length);
        const std::string_view piece = length > 0 ? raw.substr(0, length) : kReplacementCharacter;
        if (text.size() + piece.size() > max_bytes) {
            break;
        }
        text += piece;
        raw.remove_prefix(length > 0 ? length : invalid_length);
    }
    return text;
}

}  // namespace hovermark
