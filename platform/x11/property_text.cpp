#include "platform/x11/property_text.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "window_inspection/utf8.h"

namespace hovermark::x11 {
namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kControlSequenceIntroducer = 0x9B;

void AppendCodePoint(std::string& out, char32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

void AppendLatin1(std::string& out, unsigned char byte) {
    AppendCodePoint(out, byte);
}

// A read that stopped at the property's size limit may end inside a character.
std::string_view WithoutCutCharacter(std::string_view utf8) {
    std::size_t start = utf8.size();
    while (start > 0 && utf8.size() - start < 4 &&
           IsUtf8ContinuationByte(static_cast<unsigned char>(utf8[start - 1]))) {
        --start;
    }
    if (start == 0) {
        return utf8;
    }
    std::size_t invalid_length = 0;
    const std::string_view last = utf8.substr(start - 1);
    if (ValidUtf8SequenceLength(last, invalid_length) == 0 && invalid_length == last.size()) {
        utf8.remove_suffix(last.size());
    }
    return utf8;
}

// Compound text: ISO 2022 with ASCII on the left half and Latin-1 on the right half at the start, which
// escape sequences may switch to other character sets. The Latin-1 part is decoded, and the UTF-8
// segments that Xlib writes for characters outside Latin-1; a run of text in any other character set
// shows as one replacement character.
class CompoundTextDecoder {
  public:
    explicit CompoundTextDecoder(std::string_view bytes) : bytes_(bytes) {}

    std::string Decode() {
        while (position_ < bytes_.size()) {
            const auto byte = static_cast<unsigned char>(bytes_[position_]);
            if (byte == kEscape) {
                ReadEscapeSequence();
            } else if (byte == kControlSequenceIntroducer) {
                SkipControlSequence();
            } else if (utf8_segment_) {
                ReadUtf8Run();
            } else {
                ReadByte(byte);
                ++position_;
            }
        }
        return std::move(out_);
    }

  private:
    void ReadByte(unsigned char byte) {
        const bool right_half = byte >= 0xA0;
        const bool left_half = byte >= 0x20 && byte < 0x80;
        if ((right_half && !right_is_latin1_) || (left_half && !left_is_ascii_)) {
            if (!in_foreign_run_) {
                out_ += kReplacementCharacter;
                in_foreign_run_ = true;
            }
            return;
        }
        in_foreign_run_ = false;
        if (right_half || left_half || byte == '\t' || byte == '\n' || byte == '\0') {
            AppendLatin1(out_, byte);
        }
    }

    void ReadUtf8Run() {
        const std::size_t end = bytes_.find(static_cast<char>(kEscape), position_);
        const std::size_t stop = end == std::string_view::npos ? bytes_.size() : end;
        out_ += ValidUtf8Prefix(bytes_.substr(position_, stop - position_));
        position_ = stop;
    }

    void ReadEscapeSequence() {
        std::size_t end = position_ + 1;
        while (end < bytes_.size() && bytes_[end] >= 0x20 && bytes_[end] <= 0x2F) {
            ++end;
        }
        if (end >= bytes_.size()) {
            position_ = bytes_.size();
            return;
        }
        const std::string_view intermediates = bytes_.substr(position_ + 1, end - position_ - 1);
        const char final_byte = bytes_[end];
        position_ = end + 1;
        in_foreign_run_ = false;
        if (intermediates == "%") {
            utf8_segment_ = final_byte == 'G';  // "%@" returns to ISO 2022
        } else if (intermediates == "%/") {
            SkipExtendedSegment();
        } else if (intermediates == "(") {
            left_is_ascii_ = final_byte == 'B';
        } else if (intermediates == "-") {
            right_is_latin1_ = final_byte == 'A';
        } else if (intermediates == "$(" || intermediates == "$") {
            left_is_ascii_ = false;
        } else if (intermediates == ")" || intermediates == "$)" || intermediates == "$-") {
            right_is_latin1_ = false;
        }
    }

    // An extended segment carries its length in two bytes after the escape sequence; its text is in an
    // encoding named inside it, which is not Latin-1.
    void SkipExtendedSegment() {
        if (position_ + 2 > bytes_.size()) {
            position_ = bytes_.size();
            return;
        }
        const std::size_t length =
            (static_cast<std::size_t>(static_cast<unsigned char>(bytes_[position_]) & 0x7F) << 7) |
            (static_cast<unsigned char>(bytes_[position_ + 1]) & 0x7F);
        position_ = std::min(bytes_.size(), position_ + 2 + length);
        out_ += kReplacementCharacter;
    }

    // Direction changes carry no text.
    void SkipControlSequence() {
        ++position_;
        while (position_ < bytes_.size()) {
            const auto byte = static_cast<unsigned char>(bytes_[position_++]);
            if (byte >= 0x40 && byte <= 0x7E) {
                return;
            }
        }
    }

    std::string_view bytes_;
    std::size_t position_ = 0;
    std::string out_;
    bool left_is_ascii_ = true;
    bool right_is_latin1_ = true;
    bool utf8_segment_ = false;
    bool in_foreign_run_ = false;
};

}  // namespace

std::string DecodePropertyText(std::string_view bytes, TextEncoding encoding, bool cut_short) {
    switch (encoding) {
        case TextEncoding::kLatin1: {
            std::string out;
            out.reserve(bytes.size());
            for (const char byte : bytes) {
                AppendLatin1(out, static_cast<unsigned char>(byte));
            }
            return out;
        }
        case TextEncoding::kUtf8:
            return ValidUtf8Prefix(cut_short ? WithoutCutCharacter(bytes) : bytes);
        case TextEncoding::kCompoundText:
            return CompoundTextDecoder(bytes).Decode();
    }
    return {};
}

std::string FitIntoBuffer(std::string_view utf8, std::int32_t max_count) {
    if (max_count <= 0) {
        return {};
    }
    const auto room = static_cast<std::size_t>(max_count) - 1;
    if (utf8.size() <= room) {
        return std::string(utf8);
    }
    std::size_t end = room;
    while (end > 0 && IsUtf8ContinuationByte(static_cast<unsigned char>(utf8[end]))) {
        --end;
    }
    return std::string(utf8.substr(0, end));
}

}  // namespace hovermark::x11
