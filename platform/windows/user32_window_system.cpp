#include "platform/windows/user32_window_system.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/windows/dwm_frame_bounds.h"
#include "platform/windows/text_conversion.h"

namespace hovermark::windows {
namespace {

// Asking a window for its text length is a message to the thread that owns it; a hung thread must not freeze
// the inspection, so it gets this long to answer before the text the system holds for the window stands in.
constexpr UINT kTextLengthTimeoutMs = 200;

std::string ThreadKey(DWORD thread) {
    return "thread " + std::to_string(thread);
}

// The text the system keeps for a window, read without a message, so a hung thread cannot block it. The call
// tells no length, so the buffer grows until the text fits with room to spare.
std::wstring HeldText(HWND window) {
    std::wstring text(256, L'\0');
    for (;;) {
        const int room = static_cast<int>(text.size());
        const int copied = ::InternalGetWindowText(window, text.data(), room);
        if (copied < room - 1 || room > std::numeric_limits<int>::max() / 2) {
            text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// A buffer cut by the system may end in the first half of a surrogate pair; that half alone is no character.
std::wstring_view WithoutCutSurrogate(std::wstring_view text) {
    if (!text.empty() && IS_HIGH_SURROGATE(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

template <typename ReadText>
std::string ReadWideText(std::int32_t max_count, ReadText read_text) {
    if (max_count <= 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(max_count), L'\0');
    const int copied = read_text(buffer.data(), max_count);
    const auto length = static_cast<std::size_t>(copied > 0 ? copied : 0);
    return WideToUtf8(WithoutCutSurrogate(std::wstring_view(buffer.data(), length)));
}

}  // namespace

WindowHandle ToWindowHandle(HWND window) {
    return static_cast<WindowHandle>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)));
}

HWND ToHwnd(WindowHandle handle) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
}

User32WindowSystem::User32WindowSystem()
    : User32WindowSystem([dwm = std::make_shared<const DwmFrameBounds>()](HWND window) { return dwm->Of(window); }) {}

User32WindowSystem::User32WindowSystem(FrameBoundsQuery frame_bounds) : frame_bounds_(std::move(frame_bounds)) {}

std::int32_t User32WindowSystem::GetCursorPos(Point& point) {
    POINT position{};
    const BOOL result = ::GetCursorPos(&position);
    point = Point{position.x, position.y};
    return result;
}

WindowHandle User32WindowSystem::WindowFromPoint(Point point) {
    return ToWindowHandle(::WindowFromPoint(POINT{point.x, point.y}));
}

std::string User32WindowSystem::GetClassNameA(WindowHandle window, std::int32_t max_count) {
    return ReadWideText(max_count,
                        [&](wchar_t* buffer, int size) { return ::GetClassNameW(ToHwnd(window), buffer, size); });
}

bool User32WindowSystem::AnswersTextMessages(HWND window, DWORD thread) const {
    return ::IsHungAppWindow(window) == 0 && !silent_threads_.IsLeftAlone(ThreadKey(thread));
}

std::int32_t User32WindowSystem::GetWindowTextLengthA(WindowHandle window) {
    const HWND hwnd = ToHwnd(window);
    const DWORD thread = ::GetWindowThreadProcessId(hwnd, nullptr);
    if (thread == 0) {
        return 0;
    }
    if (AnswersTextMessages(hwnd, thread)) {
        DWORD_PTR length = 0;
        if (SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kTextLengthTimeoutMs,
                                &length) != 0) {
            return static_cast<std::int32_t>(length);
        }
        // The thread's other windows would each cost the same wait at every rebuild of the list.
        silent_threads_.LeaveAlone(ThreadKey(thread));
    }
    return static_cast<std::int32_t>(HeldText(hwnd).size());
}

std::string User32WindowSystem::GetWindowTextA(WindowHandle window, std::int32_t max_count) {
    const HWND hwnd = ToHwnd(window);
    // For a window of this process GetWindowTextW sends WM_GETTEXT, which a hung thread never answers; and the
    // text must be the one whose length was just told.
    if (!AnswersTextMessages(hwnd, ::GetWindowThreadProcessId(hwnd, nullptr))) {
        return ReadWideText(max_count,
                            [&](wchar_t* buffer, int size) { return ::InternalGetWindowText(hwnd, buffer, size); });
    }
    return ReadWideText(max_count, [&](wchar_t* buffer, int size) { return ::GetWindowTextW(hwnd, buffer, size); });
}

std::int32_t User32WindowSystem::GetWindowLongA(WindowHandle window, std::int32_t index) {
    // 64-bit Windows keeps the parent or owner only through the pointer-sized call.
    if (index == window_system_constants::GWL_HWNDPARENT) {
        return ToWindowHandle(reinterpret_cast<HWND>(::GetWindowLongPtrW(ToHwnd(window), GWLP_HWNDPARENT)));
    }
    return static_cast<std::int32_t>(::GetWindowLongPtrW(ToHwnd(window), index));
}

std::int32_t User32WindowSystem::GetWindowRect(WindowHandle window, Rectangle& rect) {
    const HWND hwnd = ToHwnd(window);
    RECT bounds{};
    // user32 alone says whether the window still exists: a vanished window fails here whatever else answers.
    if (::GetWindowRect(hwnd, &bounds) == 0) {
        return 0;
    }
    // A top-level window's rectangle includes invisible resize borders on Windows 10 and 11; the compositor
    // knows its visible edges. Both answer in physical pixels because the manifest makes the program
    // per-monitor DPI aware (v2), so either rectangle lines up with the pointer and the frame's bars. A child
    // window has no such borders.
    if ((::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) == 0) {
        if (const std::optional<RECT> visible = frame_bounds_(hwnd)) {
            bounds = *visible;
        }
    }
    rect = Rectangle{bounds.left, bounds.top, bounds.right, bounds.bottom};
    return 1;
}

std::int32_t User32WindowSystem::SetWindowPos(WindowHandle window,
                                              WindowHandle insert_after,
                                              std::int32_t x,
                                              std::int32_t y,
                                              std::int32_t cx,
                                              std::int32_t cy,
                                              std::uint32_t flags) {
    return ::SetWindowPos(ToHwnd(window), ToHwnd(insert_after), x, y, cx, cy, flags);
}

}  // namespace hovermark::windows
