// Reads the clipboard from inside Wine, where Hovermark put it: Wine's bridge to the X clipboard would turn
// CR LF into LF, and the end-to-end run checks the exact bytes.
//
// hovermark_read_clipboard.exe          prints CF_UNICODETEXT as UTF-8; exit 1 when there is no text
// hovermark_read_clipboard.exe --set    puts the UTF-8 read from stdin on the clipboard (to test the reader)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <io.h>

namespace {

constexpr int kNoText = 1;
constexpr int kFailure = 2;

// Another program may hold the clipboard open for a moment.
bool OpenClipboardPatiently() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

int PrintClipboard() {
    if (!OpenClipboardPatiently()) {
        std::fputs("cannot open the clipboard\n", stderr);
        return kFailure;
    }
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* text = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (text == nullptr) {
        CloseClipboard();
        return kNoText;
    }
    const int length = static_cast<int>(wcslen(text));
    std::string utf8;
    if (length > 0) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
        utf8.resize(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    }
    GlobalUnlock(data);
    CloseClipboard();
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : kFailure;
}

int SetClipboard() {
    std::string utf8;
    char chunk[4096];
    std::size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        utf8.append(chunk, read);
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (static_cast<std::size_t>(length) + 1) * sizeof(wchar_t));
    auto* text = memory != nullptr ? static_cast<wchar_t*>(GlobalLock(memory)) : nullptr;
    if (text == nullptr) {
        return kFailure;
    }
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text, length);
    text[length] = L'\0';
    GlobalUnlock(memory);
    if (!OpenClipboardPatiently()) {
        GlobalFree(memory);
        return kFailure;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) {
        GlobalFree(memory);
        return kFailure;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    if (argc == 2 && std::strcmp(argv[1], "--set") == 0) {
        return SetClipboard();
    }
    if (argc != 1) {
        std::fputs("usage: hovermark_read_clipboard.exe [--set]\n", stderr);
        return kFailure;
    }
    return PrintClipboard();
}
