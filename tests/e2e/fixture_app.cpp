// The program the end-to-end run points Hovermark at: a main window that owns a dialog holding an OK button,
// and a top-level window without owner, all at fixed screen places and with texts that exercise the text
// cleaning. Inside the main window, for locators: three panels, the last two of the same title, each holding a
// button of the same class, text and control id, and a button without a control id whose text holds quotes, a
// backslash, a tab, a line break and a character outside the Basic Multilingual Plane. It writes the handles, classes
// and rectangles of its windows to an info file, and it takes commands through a command file, because without a window
// manager there is no reliable way to hand it keys while Hovermark keeps the focus.
//
// Usage: hovermark_fixture.exe INFO_FILE COMMAND_FILE
// Commands (the command file's whole content): "destroy-dialog", "quit".
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/helper_text.h"

namespace {

using e2e::Decimal;
using e2e::Utf8;

constexpr wchar_t kMainClass[] = L"HovermarkFixtureMain";
constexpr wchar_t kDialogClass[] = L"HovermarkFixtureDialog";
constexpr wchar_t kLoneClass[] = L"HovermarkFixtureLone";
constexpr wchar_t kPanelClass[] = L"HovermarkFixturePanel";

constexpr wchar_t kMainText[] = L"  Fixture Main  ";
constexpr wchar_t kDialogText[] = L"  Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442\t";
constexpr wchar_t kButtonText[] = L"  OK  ";
constexpr wchar_t kLoneText[] = L"  Lone  top-level window ";
constexpr wchar_t kSameText[] = L"Same";
constexpr int kPanels = 3;
constexpr const wchar_t* kPanelTexts[kPanels] = {L"Group A", L"Group B", L"Group B"};
constexpr wchar_t kHostileText[] = L"He said \"it's\" \\ back\tslash\nnext \U0001F600";

// Client-area fills the harness recognises in screenshots.
constexpr COLORREF kMainColor = RGB(0x2B, 0x57, 0x9A);
constexpr COLORREF kDialogColor = RGB(0xDD, 0xE6, 0xF0);
constexpr COLORREF kLoneColor = RGB(0x3C, 0x8D, 0x5A);
constexpr COLORREF kPanelColor = RGB(0x6B, 0x8F, 0xC4);

// Window rectangles on a 1280 x 1024 screen, clear of Hovermark's window, which is centred there.
constexpr RECT kMainRect{20, 20, 440, 280};
constexpr RECT kDialogRect{560, 40, 940, 300};
constexpr RECT kLoneRect{20, 740, 440, 980};
// The button inside the dialog's client area.
constexpr RECT kButtonRect{130, 100, 250, 140};
// In the main window's client area, clear of its caption text, its centre and its lower right corner.
constexpr RECT kHostileRect{12, 40, 300, 76};
constexpr RECT kPanelRects[kPanels] = {{12, 150, 130, 222}, {142, 150, 260, 222}, {272, 150, 390, 222}};
// The same button inside each panel.
constexpr RECT kSameRect{10, 16, 108, 56};

constexpr UINT_PTR kCommandTimer = 1;
constexpr int kButtonId = 100;
constexpr int kSameId = 300;

struct Fixture {
    std::wstring info_path;
    std::wstring command_path;
    HWND main = nullptr;
    HWND dialog = nullptr;
    HWND button = nullptr;
    HWND lone = nullptr;
    HWND panels[kPanels] = {};
    HWND same[kPanels] = {};
    HWND hostile = nullptr;
    HFONT font = nullptr;
    bool dialog_destroyed = false;
};

Fixture g_fixture;

std::wstring ClassOf(HWND window) {
    wchar_t buffer[256]{};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

std::string RectLine(const char* key, const RECT& rect) {
    char line[160];
    std::snprintf(line, sizeof line, "%s=%ld %ld %ld %ld\n", key, rect.left, rect.top, rect.right, rect.bottom);
    return line;
}

RECT ScreenClientRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void AppendWindow(std::string& info, const char* name, HWND window) {
    RECT window_rect{};
    GetWindowRect(window, &window_rect);
    info += std::string(name) + "_hwnd=" + std::to_string(Decimal(window)) + "\n";
    info += std::string(name) + "_class=" + Utf8(ClassOf(window)) + "\n";
    info += RectLine((std::string(name) + "_rect").c_str(), window_rect);
    info += RectLine((std::string(name) + "_client").c_str(), ScreenClientRect(window));
}

// Written to a temporary file and renamed, so the harness never reads half an info file.
void WriteInfo() {
    std::string info = "pid=" + std::to_string(GetCurrentProcessId()) + "\n";
    AppendWindow(info, "main", g_fixture.main);
    AppendWindow(info, "lone", g_fixture.lone);
    AppendWindow(info, "hostile", g_fixture.hostile);
    for (int index = 0; index < kPanels; ++index) {
        AppendWindow(info, ("panel" + std::to_string(index + 1)).c_str(), g_fixture.panels[index]);
        AppendWindow(info, ("same" + std::to_string(index + 1)).c_str(), g_fixture.same[index]);
    }
    if (g_fixture.dialog_destroyed) {
        info += "dialog_destroyed=1\n";
    } else {
        AppendWindow(info, "dialog", g_fixture.dialog);
        AppendWindow(info, "button", g_fixture.button);
    }
    const std::wstring temporary = g_fixture.info_path + L".tmp";
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, info.data(), static_cast<DWORD>(info.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), g_fixture.info_path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string TakeCommand() {
    HANDLE file = CreateFileW(g_fixture.command_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    char buffer[64]{};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
    CloseHandle(file);
    DeleteFileW(g_fixture.command_path.c_str());
    std::string command(buffer, read);
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r' || command.back() == ' ')) {
        command.pop_back();
    }
    return command;
}

void RunCommand(const std::string& command) {
    if (command == "destroy-dialog" && !g_fixture.dialog_destroyed) {
        DestroyWindow(g_fixture.dialog);
        g_fixture.dialog_destroyed = true;
        WriteInfo();
    } else if (command == "quit") {
        DestroyWindow(g_fixture.main);
        DestroyWindow(g_fixture.lone);
    }
}

// Without a window manager no title bar shows, so each window paints its own text (between brackets, to show
// the spaces and the tab).
void PaintCaption(HWND window, COLORREF text_color) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    wchar_t text[256]{};
    GetWindowTextW(window, text, 256);
    std::wstring shown = L"[" + std::wstring(text) + L"]";
    for (wchar_t& c : shown) {
        if (c == L'\t') {
            c = L'\u2192';
        }
    }
    // Without a window manager nothing marks a window's edge; a dark line inside the client area does.
    RECT edge{};
    GetClientRect(window, &edge);
    FrameRect(dc, &edge, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
    SelectObject(dc, g_fixture.font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text_color);
    RECT client{};
    GetClientRect(window, &client);
    client.left += 12;
    client.top += 10;
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &client,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    EndPaint(window, &paint);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_TIMER:
            if (wparam == kCommandTimer) {
                const std::string command = TakeCommand();
                if (!command.empty()) {
                    RunCommand(command);
                }
            }
            return 0;
        case WM_PAINT:
            PaintCaption(window, RGB(0xFF, 0xFF, 0xFF));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        PaintCaption(window, RGB(0x20, 0x20, 0x20));
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK LoneProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        PaintCaption(window, RGB(0xFF, 0xFF, 0xFF));
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

bool Register(const wchar_t* name, WNDPROC procedure, COLORREF background, HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = CreateSolidBrush(background);
    window_class.lpszClassName = name;
    return RegisterClassExW(&window_class) != 0;
}

HWND CreateChild(const wchar_t* class_name,
                 const wchar_t* text,
                 const RECT& rect,
                 HWND parent,
                 int id,
                 HINSTANCE instance) {
    HWND child = CreateWindowExW(0, class_name, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left, rect.top,
                                 rect.right - rect.left, rect.bottom - rect.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), instance, nullptr);
    if (child != nullptr) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_fixture.font), FALSE);
    }
    return child;
}

HWND CreateTopLevel(const wchar_t* class_name,
                    const wchar_t* text,
                    DWORD style,
                    const RECT& rect,
                    HWND owner,
                    HINSTANCE instance) {
    return CreateWindowExW(0, class_name, text, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, owner, nullptr, instance, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The C runtime has split the command line already (the entry point is the wide one).
    if (__argc != 3) {
        MessageBoxW(nullptr, L"Usage: hovermark_fixture.exe INFO_FILE COMMAND_FILE", L"Hovermark fixture", MB_OK);
        return 2;
    }
    g_fixture.info_path = __wargv[1];
    g_fixture.command_path = __wargv[2];

    g_fixture.font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Liberation Sans");
    if (!Register(kMainClass, MainProc, kMainColor, instance) ||
        !Register(kDialogClass, DialogProc, kDialogColor, instance) ||
        !Register(kLoneClass, LoneProc, kLoneColor, instance) ||
        !Register(kPanelClass, DefWindowProcW, kPanelColor, instance)) {
        return 3;
    }

    constexpr DWORD kFramed = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    g_fixture.main = CreateTopLevel(kMainClass, kMainText, kFramed | WS_CLIPCHILDREN, kMainRect, nullptr, instance);
    // A popup with a caption, owned by the main window: its GWLP_HWNDPARENT is the main window.
    g_fixture.dialog = CreateTopLevel(kDialogClass, kDialogText, WS_POPUP | WS_CAPTION | WS_SYSMENU, kDialogRect,
                                      g_fixture.main, instance);
    g_fixture.lone = CreateTopLevel(kLoneClass, kLoneText, kFramed, kLoneRect, nullptr, instance);
    if (g_fixture.main == nullptr || g_fixture.dialog == nullptr || g_fixture.lone == nullptr) {
        return 4;
    }
    g_fixture.button = CreateWindowExW(
        0, L"Button", kButtonText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kButtonRect.left,
        kButtonRect.top, kButtonRect.right - kButtonRect.left, kButtonRect.bottom - kButtonRect.top, g_fixture.dialog,
        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(kButtonId)), instance, nullptr);
    if (g_fixture.button == nullptr) {
        return 5;
    }
    SendMessageW(g_fixture.button, WM_SETFONT, reinterpret_cast<WPARAM>(g_fixture.font), FALSE);
    g_fixture.hostile = CreateChild(L"Button", kHostileText, kHostileRect, g_fixture.main, 0, instance);
    for (int index = 0; index < kPanels; ++index) {
        g_fixture.panels[index] =
            CreateChild(kPanelClass, kPanelTexts[index], kPanelRects[index], g_fixture.main, 0, instance);
        g_fixture.same[index] =
            CreateChild(L"Button", kSameText, kSameRect, g_fixture.panels[index], kSameId, instance);
        if (g_fixture.same[index] == nullptr) {
            return 6;
        }
    }
    if (g_fixture.hostile == nullptr) {
        return 6;
    }

    ShowWindow(g_fixture.main, SW_SHOWNOACTIVATE);
    ShowWindow(g_fixture.lone, SW_SHOWNOACTIVATE);
    ShowWindow(g_fixture.dialog, SW_SHOWNOACTIVATE);
    UpdateWindow(g_fixture.main);
    UpdateWindow(g_fixture.lone);
    UpdateWindow(g_fixture.dialog);
    WriteInfo();
    SetTimer(g_fixture.main, kCommandTimer, 50, nullptr);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
