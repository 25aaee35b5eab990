#include "platform/windows/window_text.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "platform/windows/text_conversion.h"

namespace hovermark::windows {
namespace {

// A length a program claims beyond this is not believed: no title is that long, and the buffer for it
// would be allocated here and again in the system.
constexpr std::size_t kMaxTextUnits = std::size_t{1} << 22;
constexpr int kReadAttempts = 3;
// SMTO_BLOCK: nothing is sent back into the asking thread while it waits.
constexpr UINT kTextMessageFlags = SMTO_ABORTIFHUNG | SMTO_BLOCK;

std::optional<std::size_t> AskedLength(HWND window, UINT timeout_ms) {
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, kTextMessageFlags, timeout_ms, &length) == 0) {
        return std::nullopt;
    }
    return std::min<std::size_t>(length, kMaxTextUnits);
}

std::string Utf8Of(std::wstring_view text, bool cut) {
    // A text cut here may end in the first half of a surrogate pair, which alone is no character.
    if (cut && !text.empty() && IS_HIGH_SURROGATE(text.back())) {
        text.remove_suffix(1);
    }
    return WideToUtf8(text);
}

}  // namespace

std::optional<std::string> AskedWindowText(HWND window, UINT timeout_ms) {
    std::optional<std::size_t> length = AskedLength(window, timeout_ms);
    std::wstring buffer;
    std::size_t copied = 0;
    bool filled = false;
    for (int attempt = 0; attempt < kReadAttempts && length; ++attempt) {
        // Room for one unit more than told: a text that fills it has grown since its length was told.
        buffer.assign(*length + 2, L'\0');
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                kTextMessageFlags, timeout_ms, &answer) == 0) {
            return std::nullopt;
        }
        copied = std::min<std::size_t>(answer, *length + 1);
        filled = copied > *length || copied >= kMaxTextUnits;
        if (!filled || *length == kMaxTextUnits) {
            break;
        }
        length = AskedLength(window, timeout_ms);
    }
    if (!length) {
        return std::nullopt;
    }
    return Utf8Of(std::wstring_view(buffer.data(), std::min(copied, kMaxTextUnits)), filled);
}

std::string HeldWindowText(HWND window) {
    // The call tells no length, so the buffer grows until the text fits with room to spare.
    std::wstring text(256, L'\0');
    for (;;) {
        const int room = static_cast<int>(text.size());
        const int copied = InternalGetWindowText(window, text.data(), room);
        if (copied < room - 1 || text.size() >= kMaxTextUnits) {
            return Utf8Of(std::wstring_view(text.data(), static_cast<std::size_t>(std::max(copied, 0))),
                          copied >= room - 1);
        }
        text.resize(text.size() * 2);
    }
}

}  // namespace hovermark::windows
