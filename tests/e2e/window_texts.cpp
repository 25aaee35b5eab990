// Reads the texts a top-level window shows in its child windows, for the end-to-end run: a message box's text
// sits in a static child, and Wine's message box copies nothing on Ctrl+C.
//
// hovermark_window_texts.exe TITLE   for the first visible top-level window titled exactly TITLE, each child
//                                    window's text as UTF-8, one after another, each followed by a line "--";
//                                    exit 1 when there is no such window
#include <windows.h>

#include <cstdio>
#include <string>

#include <fcntl.h>
#include <io.h>

#include "tests/e2e/helper_text.h"

namespace {

using e2e::Utf8;

std::wstring TextOf(HWND window) {
    // The window belongs to another process: WM_GETTEXT, bounded, so a hung owner cannot hold this up.
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length) == 0) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                            2000, &copied) == 0) {
        return {};
    }
    text.resize(copied);
    return text;
}

struct Search {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    if (IsWindowVisible(window) && TextOf(window) == search.title) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK PrintChild(HWND window, LPARAM) {
    const std::string text = Utf8(TextOf(window)) + "\n--\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 2) {
        std::fputs("usage: hovermark_window_texts.exe TITLE\n", stderr);
        return 2;
    }
    Search search{argv[1]};
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        return 1;
    }
    EnumChildWindows(search.found, PrintChild, 0);
    return std::fflush(stdout) == 0 ? 0 : 2;
}
