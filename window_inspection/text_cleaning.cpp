#include "window_inspection/text_cleaning.h"

#include <algorithm>

#include "window_inspection/utf8.h"

namespace hovermark {

std::string CleanWindowString(std::string_view raw) {
    std::string text(raw);
    std::replace(text.begin(), text.end(), '\0', ' ');
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string CleanElementText(std::string_view raw) {
    return CleanWindowString(ValidUtf8Prefix(raw, kMaxElementTextBytes));
}

std::string ElementTextRead(std::string text) {
    constexpr std::size_t kRead = kMaxElementTextBytes + kMaxUtf8SequenceBytes;
    if (text.size() > kRead) {
        text.resize(kRead);
        text.shrink_to_fit();
    }
    return text;
}

}  // namespace hovermark
