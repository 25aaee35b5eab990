// The program the look-inside end-to-end run points Hovermark at: one top-level window, "Drawn Controls", that
// draws its controls itself, as windowless toolkits do, and describes them only through IAccessible (see
// accessible_fixture_objects.h): a button three objects deep (panel > toolbar > button), a list whose items
// are simple children, and one real BUTTON child window for comparison. It writes its window's handles and
// every drawn element's screen rectangle and name to an info file, and takes commands through a command file.
//
// Usage: hovermark_accessible_fixture.exe INFO_FILE COMMAND_FILE
// Commands (the command file's whole content):
//   remove-button   the drawn button goes: no longer drawn or hit, its object disconnected
//   remove-item     list item 2 goes: the list answers E_INVALIDARG for child id 2
//   hang SECONDS    the window's thread sleeps, so every call from another program waits
//   stats           writes the calls received so far to the info file (calls=, queries=, getobject=, and
//                   calls.METHOD= for each method called)
//   quit
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>

#include <oleacc.h>

#include "tests/e2e/accessible_fixture_objects.h"
#include "tests/e2e/com_ref.h"
#include "tests/e2e/helper_text.h"

namespace {

using e2e::ComApartment;

using e2e::Decimal;
using e2e::Utf8;

using fixture::DrawnObject;

constexpr wchar_t kWindowClass[] = L"HovermarkDrawnControls";
constexpr wchar_t kWindowTitle[] = L"Drawn Controls";
constexpr wchar_t kButtonName[] = L"  Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442  ";
constexpr wchar_t kPlainText[] = L"Plain";

// The window's rectangle on a 1280 x 1024 screen: below Hovermark's centred window, right of the old fixture's.
constexpr RECT kWindowRect{480, 700, 1260, 1000};
// The drawn controls, in the client area. Every one has a solid colour of its own for the screenshots.
constexpr RECT kPanelRect{10, 30, 400, 255};
constexpr RECT kToolbarRect{25, 60, 385, 150};
constexpr RECT kButtonRect{40, 90, 370, 135};
constexpr RECT kListRect{420, 30, 620, 255};
constexpr RECT kItemRects[] = {{430, 60, 610, 100}, {430, 110, 610, 150}, {430, 160, 610, 200}};
constexpr RECT kPlainRect{640, 30, 760, 70};

constexpr COLORREF kBackgroundColour = RGB(0xF2, 0xEF, 0xE6);
constexpr COLORREF kPanelColour = RGB(0x4A, 0x6F, 0xA5);
constexpr COLORREF kToolbarColour = RGB(0x8E, 0xC0, 0x7C);
constexpr COLORREF kButtonColour = RGB(0xE0, 0x8E, 0x3C);
constexpr COLORREF kListColour = RGB(0x9B, 0x6F, 0xB5);
constexpr COLORREF kItemColours[] = {RGB(0xF4, 0xD0, 0x3F), RGB(0xF2, 0xA5, 0xB8), RGB(0x5C, 0xC8, 0xC8)};
constexpr const wchar_t* kItemNames[] = {L"Apple", L"Banana", L"Cherry"};

constexpr UINT_PTR kCommandTimer = 1;
constexpr int kPlainId = 100;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueFile = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct GdiDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;

UniqueFile OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueFile(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

struct Elements {
    // The client object covers the whole client area; the plain button's part of it answers CHILDID_SELF.
    Elements(HWND window, RECT client_area)
        : client(window, ROLE_SYSTEM_CLIENT, kWindowTitle, client_area, kBackgroundColour),
          panel(window, ROLE_SYSTEM_GROUPING, L"Panel", kPanelRect, kPanelColour),
          toolbar(window, ROLE_SYSTEM_TOOLBAR, L"Tools", kToolbarRect, kToolbarColour),
          button(window, ROLE_SYSTEM_PUSHBUTTON, kButtonName, kButtonRect, kButtonColour),
          list(window, ROLE_SYSTEM_LIST, L"Fruits", kListRect, kListColour) {}

    DrawnObject client;
    DrawnObject panel;
    DrawnObject toolbar;
    DrawnObject button;
    DrawnObject list;
};

struct Fixture {
    std::wstring info_path;
    std::wstring command_path;
    HWND window = nullptr;
    HWND plain = nullptr;
    UniqueFont font;
    std::unique_ptr<Elements> elements;
};

Fixture g_fixture;

std::string RectLine(const std::string& key, const RECT& rect) {
    char line[160];
    std::snprintf(line, sizeof line, "%s=%ld %ld %ld %ld\n", key.c_str(), rect.left, rect.top, rect.right, rect.bottom);
    return line;
}

std::string WindowLines(const std::string& key, HWND window) {
    wchar_t class_name[256]{};
    GetClassNameW(window, class_name, 256);
    RECT rect{};
    GetWindowRect(window, &rect);
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return key + "_hwnd=" + std::to_string(Decimal(window)) + "\n" + key + "_class=" + Utf8(class_name) + "\n" +
           RectLine(key + "_rect", rect) + RectLine(key + "_client", client);
}

std::string ElementLines(const std::string& key, const DrawnObject& element) {
    return RectLine(key + "_rect", element.ScreenRect()) + key + "_name=" + Utf8(element.name()) + "\n" +
           (element.removed() ? key + "_removed=1\n" : "");
}

// Written to a temporary file and renamed, so the harness never reads half an info file.
void WriteInfo() {
    const Elements& elements = *g_fixture.elements;
    std::string info = "pid=" + std::to_string(GetCurrentProcessId()) + "\n";
    info += WindowLines("window", g_fixture.window) + "window_name=" + Utf8(kWindowTitle) + "\n";
    info += WindowLines("plain", g_fixture.plain);
    info += ElementLines("panel", elements.panel) + ElementLines("toolbar", elements.toolbar) +
            ElementLines("button", elements.button) + ElementLines("list", elements.list);
    for (std::size_t index = 0; index < elements.list.simple_children().size(); ++index) {
        const fixture::SimpleChild& item = elements.list.simple_children()[index];
        const std::string key = "item" + std::to_string(index + 1);
        info += RectLine(key + "_rect", elements.list.ScreenRectOf(item)) + key + "_name=" + Utf8(item.name) + "\n" +
                (item.removed ? key + "_removed=1\n" : "");
    }
    const fixture::CallCounts& counts = fixture::Counts();
    info += "calls=" + std::to_string(counts.calls) + "\nqueries=" + std::to_string(counts.queries) +
            "\ngetobject=" + std::to_string(counts.window_object_requests) + "\n";
    for (const auto& [method, count] : counts.by_method) {
        info += "calls." + method + "=" + std::to_string(count) + "\n";
    }

    const std::wstring temporary = g_fixture.info_path + L".tmp";
    {
        UniqueFile file = OpenFile(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
        if (!file) {
            return;
        }
        DWORD written = 0;
        WriteFile(file.get(), info.data(), static_cast<DWORD>(info.size()), &written, nullptr);
    }
    MoveFileExW(temporary.c_str(), g_fixture.info_path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string TakeCommand() {
    std::string command;
    {
        UniqueFile file =
            OpenFile(g_fixture.command_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
        if (!file) {
            return {};
        }
        char buffer[64]{};
        DWORD read = 0;
        ReadFile(file.get(), buffer, sizeof buffer - 1, &read, nullptr);
        command.assign(buffer, read);
    }
    DeleteFileW(g_fixture.command_path.c_str());
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r' || command.back() == ' ')) {
        command.pop_back();
    }
    return command;
}

void RunCommand(const std::string& command) {
    Elements& elements = *g_fixture.elements;
    if (command == "remove-button") {
        elements.button.Remove();
        InvalidateRect(g_fixture.window, nullptr, TRUE);
        WriteInfo();
    } else if (command == "remove-item") {
        elements.list.RemoveSimpleChild(2);
        InvalidateRect(g_fixture.window, nullptr, TRUE);
        WriteInfo();
    } else if (command.rfind("hang ", 0) == 0) {
        const int seconds = std::atoi(command.c_str() + 5);
        if (seconds > 0 && seconds <= 600) {
            Sleep(static_cast<DWORD>(seconds) * 1000);
        }
    } else if (command == "stats") {
        WriteInfo();
    } else if (command == "quit") {
        DestroyWindow(g_fixture.window);
    }
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    const UniqueBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.get());
}

void Label(HDC dc, const std::wstring& text, RECT rect, UINT format) {
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_SINGLELINE | DT_NOPREFIX);
}

// Each control is a solid rectangle with its name in it; what has been removed is simply not drawn.
void Paint(HWND window) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    const Elements& elements = *g_fixture.elements;
    RECT client{};
    GetClientRect(window, &client);
    FillSolid(dc, client, kBackgroundColour);
    const HGDIOBJ old_font = SelectObject(dc, g_fixture.font.get());
    constexpr COLORREF kDarkText = RGB(0x20, 0x20, 0x20);
    constexpr COLORREF kLightText = RGB(0xFF, 0xFF, 0xFF);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kDarkText);
    Label(dc, kWindowTitle, RECT{10, 6, 400, 26}, DT_LEFT | DT_TOP);
    const auto labelled = [dc](const DrawnObject& element, COLORREF text_colour) {
        FillSolid(dc, element.rect(), element.colour());
        SetTextColor(dc, text_colour);
        RECT inside = element.rect();
        inside.left += 6;
        inside.top += 4;
        Label(dc, element.name(), inside, DT_LEFT | DT_TOP);
    };
    labelled(elements.panel, kLightText);
    labelled(elements.toolbar, kDarkText);
    if (!elements.button.removed()) {
        FillSolid(dc, elements.button.rect(), elements.button.colour());
        RECT face = elements.button.rect();
        SetTextColor(dc, kDarkText);
        Label(dc, elements.button.name(), face, DT_CENTER | DT_VCENTER);
    }
    labelled(elements.list, kLightText);
    SetTextColor(dc, kDarkText);
    for (const fixture::SimpleChild& item : elements.list.simple_children()) {
        if (!item.removed) {
            FillSolid(dc, item.rect, item.colour);
            RECT face = item.rect;
            face.left += 8;
            Label(dc, item.name, face, DT_LEFT | DT_VCENTER);
        }
    }
    SelectObject(dc, old_font);
    EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_GETOBJECT:
            // lParam carries a 32-bit object id, sign-extended or not.
            if (static_cast<LONG>(static_cast<DWORD>(lparam)) == OBJID_CLIENT && g_fixture.elements) {
                ++fixture::Counts().window_object_requests;
                return LresultFromObject(fixture::kIidAccessible, wparam,
                                         static_cast<IAccessible*>(&g_fixture.elements->client));
            }
            break;
        case WM_TIMER:
            if (wparam == kCommandTimer) {
                const std::string command = TakeCommand();
                if (!command.empty()) {
                    RunCommand(command);
                }
            }
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

int Run(HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kWindowClass;
    if (RegisterClassExW(&window_class) == 0) {
        return 3;
    }
    g_fixture.font.reset(CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Liberation Sans"));
    constexpr DWORD kFramed = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    g_fixture.window = CreateWindowExW(0, kWindowClass, kWindowTitle, kFramed, kWindowRect.left, kWindowRect.top,
                                       kWindowRect.right - kWindowRect.left, kWindowRect.bottom - kWindowRect.top,
                                       nullptr, nullptr, instance, nullptr);
    if (g_fixture.window == nullptr) {
        return 4;
    }
    RECT client{};
    GetClientRect(g_fixture.window, &client);
    g_fixture.elements = std::make_unique<Elements>(g_fixture.window, client);
    Elements& elements = *g_fixture.elements;
    elements.client.AddChild(elements.panel);
    elements.panel.AddChild(elements.toolbar);
    elements.toolbar.AddChild(elements.button);
    elements.client.AddChild(elements.list);
    for (std::size_t index = 0; index < 3; ++index) {
        elements.list.AddSimpleChild({kItemNames[index], kItemRects[index], kItemColours[index]});
    }

    g_fixture.plain = CreateWindowExW(0, L"Button", kPlainText, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, kPlainRect.left,
                                      kPlainRect.top, kPlainRect.right - kPlainRect.left,
                                      kPlainRect.bottom - kPlainRect.top, g_fixture.window,
                                      reinterpret_cast<HMENU>(static_cast<std::intptr_t>(kPlainId)), instance, nullptr);
    if (g_fixture.plain == nullptr) {
        return 5;
    }
    SendMessageW(g_fixture.plain, WM_SETFONT, reinterpret_cast<WPARAM>(g_fixture.font.get()), FALSE);
    ShowWindow(g_fixture.window, SW_SHOWNOACTIVATE);
    UpdateWindow(g_fixture.window);
    WriteInfo();
    SetTimer(g_fixture.window, kCommandTimer, 50, nullptr);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The C runtime has split the command line already (the entry point is the wide one).
    if (__argc != 3) {
        MessageBoxW(nullptr, L"Usage: hovermark_accessible_fixture.exe INFO_FILE COMMAND_FILE", kWindowTitle, MB_OK);
        return 2;
    }
    g_fixture.info_path = __wargv[1];
    g_fixture.command_path = __wargv[2];
    // The objects are served from this thread: calls from other programs arrive through its message loop.
    // The objects outlive the apartment (g_fixture is static): the apartment's end releases what it holds.
    const ComApartment apartment;
    if (!apartment.initialised()) {
        return 6;
    }
    return Run(instance);
}
