// What the end-to-end run's Win32 helper programs all write the same way: a window's handle as Hovermark
// shows it, and a wide text as UTF-8. Header only: each helper stays one self-contained program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace e2e {

// The low 32 bits of the handle, signed: how Hovermark lists a handle.
inline std::int32_t Decimal(HWND window) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)));
}

inline std::string Utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

}  // namespace e2e
