#include "locator/string_literals.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace hovermark::locator {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kFirstAboveBmp = 0x10000;
constexpr char32_t kFirstPrintableAscii = 0x20;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kLastC1Control = 0x9F;

// The code point of the well-formed UTF-8 sequence at `at`, which moves past it; none for a byte that starts no
// such sequence (overlong forms, surrogates and values above U+10FFFF included), which `at` moves past alone.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(text[index]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t value = 0;
    if (lead < 0x80U) {
        ++at;
        return lead;
    }
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
        minimum = 0x80;
        value = lead & 0x1FU;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
        minimum = 0x800;
        value = lead & 0x0FU;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
        minimum = kFirstAboveBmp;
        value = lead & 0x07U;
    } else {
        ++at;
        return std::nullopt;
    }
    if (at + length > text.size()) {
        ++at;
        return std::nullopt;
    }
    for (std::size_t index = at + 1; index < at + length; ++index) {
        if ((byte(index) & 0xC0U) != 0x80U) {
            ++at;
            return std::nullopt;
        }
        value = (value << 6U) | (byte(index) & 0x3FU);
    }
    constexpr char32_t kFirstSurrogate = 0xD800;
    constexpr char32_t kLastSurrogate = 0xDFFF;
    constexpr char32_t kLastCodePoint = 0x10FFFF;
    if (value < minimum || value > kLastCodePoint || (value >= kFirstSurrogate && value <= kLastSurrogate)) {
        ++at;
        return std::nullopt;
    }
    at += length;
    return value;
}

void AppendUtf8(std::string& text, char32_t character) {
    const auto put = [&](unsigned value) { text += static_cast<char>(value); };
    if (character < 0x80) {
        put(character);
    } else if (character < 0x800) {
        put(0xC0U | (character >> 6U));
        put(0x80U | (character & 0x3FU));
    } else if (character < kFirstAboveBmp) {
        put(0xE0U | (character >> 12U));
        put(0x80U | ((character >> 6U) & 0x3FU));
        put(0x80U | (character & 0x3FU));
    } else {
        put(0xF0U | (character >> 18U));
        put(0x80U | ((character >> 12U) & 0x3FU));
        put(0x80U | ((character >> 6U) & 0x3FU));
        put(0x80U | (character & 0x3FU));
    }
}

// The shortest escape Python reads back as `character`, for the characters that need one.
void AppendPythonCharacter(std::string& literal, char32_t character) {
    switch (character) {
        case '\\':
            literal += "\\\\";
            return;
        case '\'':
            literal += "\\'";
            return;
        case '\n':
            literal += "\\n";
            return;
        case '\r':
            literal += "\\r";
            return;
        case '\t':
            literal += "\\t";
            return;
        default:
            break;
    }
    std::array<char, 16> escape{};
    if (character < kFirstPrintableAscii || (character >= kDelete && character <= kLastC1Control)) {
        std::snprintf(escape.data(), escape.size(), "\\x%02x", static_cast<unsigned>(character));
    } else if (character >= kFirstAboveBmp) {
        std::snprintf(escape.data(), escape.size(), "\\U%08x", static_cast<unsigned>(character));
    } else {
        AppendUtf8(literal, character);
        return;
    }
    literal += escape.data();
}

}  // namespace

std::string PythonLiteral(std::string_view text) {
    std::string literal = "'";
    literal.reserve(text.size() + 2);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::optional<char32_t> character = DecodeUtf8(text, at);
        AppendPythonCharacter(literal, character.value_or(kReplacementCharacter));
    }
    literal += '\'';
    return literal;
}

std::string ShellWord(std::string_view text) {
    std::string word = "'";
    for (const char byte : text) {
        if (byte == '\'') {
            word += "'\\''";
        } else {
            word += byte;
        }
    }
    word += '\'';
    return word;
}

std::string ExtendedRegexLiteral(std::string_view text) {
    constexpr std::string_view kSpecial = "\\.[]()*+?{}|^$";
    std::string pattern;
    pattern.reserve(text.size());
    for (const char byte : text) {
        if (kSpecial.find(byte) != std::string_view::npos) {
            pattern += '\\';
        }
        pattern += byte;
    }
    return pattern;
}

}  // namespace hovermark::locator
