// Tells the end-to-end run what Windows itself says about top-level windows: whether they are topmost. Without
// a window manager Wine does not stack X windows by that flag, so screenshots cannot show it.
//
// hovermark_window_probe.exe TITLE   one line per top-level window titled exactly TITLE:
//                                    "<handle in decimal> topmost=<0|1> visible=<0|1>"; exit 1 when none
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
    std::wstring title;
    int found = 0;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    wchar_t text[512]{};
    GetWindowTextW(window, text, 512);
    if (search.title == text) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
        const auto handle =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)));
        std::printf("%ld topmost=%d visible=%d\n", static_cast<long>(handle), (style & WS_EX_TOPMOST) != 0 ? 1 : 0,
                    IsWindowVisible(window) ? 1 : 0);
        ++search.found;
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: hovermark_window_probe.exe TITLE\n", stderr);
        return 2;
    }
    Search search{argv[1]};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    std::fflush(stdout);
    return search.found > 0 ? 0 : 1;
}
