#include "tests/windows/test_windows.h"

namespace hovermark::windows::testing {
namespace {

void RegisterTestClassOnce() {
    static const ATOM kAtom = [] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        window_class.lpszClassName = kTestWindowClass;
        return RegisterClassExW(&window_class);
    }();
    static_cast<void>(kAtom);
}

}  // namespace

UniqueWindow MakeTopLevel(const std::wstring& text, HWND owner, RECT bounds, DWORD style) {
    RegisterTestClassOnce();
    return UniqueWindow(CreateWindowExW(0, kTestWindowClass, text.c_str(), style, bounds.left, bounds.top,
                                        bounds.right - bounds.left, bounds.bottom - bounds.top, owner, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
}

UniqueWindow MakeChild(const wchar_t* window_class, const std::wstring& text, HWND parent, RECT bounds) {
    return UniqueWindow(CreateWindowExW(0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE, bounds.left, bounds.top,
                                        bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
}

}  // namespace hovermark::windows::testing
