// Real windows for the front end's tests: a plain window class of the test program's own, and windows made
// from it or from the system's classes, each destroyed when its owner object goes.
#pragma once

#include <windows.h>

#include <string>

#include "platform/windows/unique_handles.h"

namespace hovermark::windows::testing {

inline constexpr wchar_t kTestWindowClass[] = L"HovermarkTestWindow";

// A top-level window of the test class; `owner` may be null. Shown at the given screen rectangle.
UniqueWindow MakeTopLevel(const std::wstring& text, HWND owner, RECT bounds, DWORD style = WS_POPUP | WS_VISIBLE);
// A child window of a system class ("Button", ...) at client coordinates of `parent`.
UniqueWindow MakeChild(const wchar_t* window_class, const std::wstring& text, HWND parent, RECT bounds);

}  // namespace hovermark::windows::testing
