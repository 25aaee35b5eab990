// The program the look-inside end-to-end run points Hovermark at: one top-level window, "Drawn Controls", that
// draws its controls itself, as windowless toolkits do, and describes them only through IAccessible (see
// accessible_fixture_objects.h): a button three objects deep (panel > toolbar > button), a list whose items
// are simple children, and one real BUTTON child window for comparison. It writes its window's handles and
// every drawn element's screen rectangle and name to an info file, and takes commands through a command file.
//
// Usage: hovermark_accessible_fixture.exe INFO_FILE COMMAND_FILE [--title=TEXT] [--rect=LEFT,TOP,RIGHT,BOTTOM]
//   --title  the window's title and its client object's name (default "Drawn Controls"), so that several
//            copies at once can be told apart in a report
//   --rect   the window's rectangle on the screen (default 480,700,1260,1000); the drawn controls keep their
//            places in the client area, so a smaller window shows only what fits
// Commands (the command file's whole content):
//   remove-button      the drawn button goes: no longer drawn or hit, its object disconnected
//   remove-item        list item 2 goes: the list answers E_INVALIDARG for child id 2
//   hang SECONDS       the window's thread sleeps, so every call from another program waits
//   delay-calls MS     a slow application: every IDispatch and IAccessible method sleeps MS before it answers
//                      (0: at once). QueryInterface, AddRef and Release answer at once: marshalling an object
//                      answer calls them in this process too, and a delay there would count several times
//                      in one round trip.
//   delay-messages MS  a slow message loop: it sleeps MS before dispatching each message it takes, and calls
//                      from other programs, QueryInterface and Release among them, arrive as messages (0: off)
//   stats              writes what was received so far to the info file: calls= (IDispatch and IAccessible
//                      methods), calls.METHOD= for each method called, queries= and queries.INTERFACE=
//                      (IUnknown, IDispatch, IAccessible, other), addrefs=, releases=, getobject= (WM_GETOBJECT),
//                      messages= (taken by the message loop) and messages.CLASS= by the class of the window
//                      they were for ("thread" for none)
//   quit
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
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
constexpr wchar_t kDefaultTitle[] = L"Drawn Controls";
constexpr wchar_t kButtonName[] = L"  Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442  ";
constexpr wchar_t kPlainText[] = L"Plain";

// The window's rectangle on a 1280 x 1024 screen: below Hovermark's centred window, right of the old fixture's.
constexpr RECT kDefaultWindowRect{480, 700, 1260, 1000};
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
    Elements(HWND window, const std::wstring& title, RECT client_area)
        : client(window, ROLE_SYSTEM_CLIENT, title, client_area, kBackgroundColour),
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
    std::wstring title = kDefaultTitle;
    RECT window_rect = kDefaultWindowRect;
    DWORD message_delay = 0;
    std::uint64_t messages = 0;
    std::map<std::string, std::uint64_t> messages_by_class;
    std::map<HWND, std::string> class_names;
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
    info += WindowLines("window", g_fixture.window) + "window_name=" + Utf8(g_fixture.title) + "\n";
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
            "\naddrefs=" + std::to_string(counts.add_refs) + "\nreleases=" + std::to_string(counts.releases) +
            "\ngetobject=" + std::to_string(counts.window_object_requests) +
            "\nmessages=" + std::to_string(g_fixture.messages) + "\n";
    const auto counted = [&info](const std::string& prefix, const std::map<std::string, std::uint64_t>& by) {
        for (const auto& [what, count] : by) {
            info += prefix + what + "=" + std::to_string(count) + "\n";
        }
    };
    counted("calls.", counts.by_method);
    counted("queries.", counts.queries_by_interface);
    counted("messages.", g_fixture.messages_by_class);

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
    } else if (command.rfind("delay-calls ", 0) == 0) {
        const int milliseconds = std::atoi(command.c_str() + 12);
        if (milliseconds >= 0 && milliseconds <= 60000) {
            fixture::SetCallDelay(static_cast<DWORD>(milliseconds));
        }
    } else if (command.rfind("delay-messages ", 0) == 0) {
        const int milliseconds = std::atoi(command.c_str() + 15);
        if (milliseconds >= 0 && milliseconds <= 60000) {
            g_fixture.message_delay = static_cast<DWORD>(milliseconds);
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
    Label(dc, g_fixture.title, RECT{10, 6, 400, 26}, DT_LEFT | DT_TOP);
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

// By the class of the window a message is for: calls from other programs arrive at COM's own window.
void CountMessage(HWND window) {
    ++g_fixture.messages;
    std::string& name = g_fixture.class_names[window];
    if (name.empty()) {
        wchar_t class_name[256]{};
        name = window != nullptr && GetClassNameW(window, class_name, 256) > 0 ? Utf8(class_name) : "thread";
        for (char& letter : name) {
            if (letter == '=' || letter == ' ' || letter == '\n') {
                letter = '_';
            }
        }
    }
    ++g_fixture.messages_by_class[name];
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
    const RECT& place = g_fixture.window_rect;
    g_fixture.window =
        CreateWindowExW(0, kWindowClass, g_fixture.title.c_str(), kFramed, place.left, place.top,
                        place.right - place.left, place.bottom - place.top, nullptr, nullptr, instance, nullptr);
    if (g_fixture.window == nullptr) {
        return 4;
    }
    RECT client{};
    GetClientRect(g_fixture.window, &client);
    g_fixture.elements = std::make_unique<Elements>(g_fixture.window, g_fixture.title, client);
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
        CountMessage(message.hwnd);
        if (g_fixture.message_delay > 0) {
            Sleep(g_fixture.message_delay);
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

bool ParseRect(const wchar_t* text, RECT* rect) {
    long values[4]{};
    for (long& value : values) {
        wchar_t* end = nullptr;
        value = std::wcstol(text, &end, 10);
        if (end == text) {
            return false;
        }
        text = *end == L',' ? end + 1 : end;
    }
    *rect = RECT{values[0], values[1], values[2], values[3]};
    return *text == L'\0' && rect->right > rect->left && rect->bottom > rect->top;
}

bool ParseOptions(int count, wchar_t** arguments) {
    for (int index = 3; index < count; ++index) {
        const std::wstring argument = arguments[index];
        if (argument.rfind(L"--title=", 0) == 0 && argument.size() > 8) {
            g_fixture.title = argument.substr(8);
        } else if (argument.rfind(L"--rect=", 0) != 0 || !ParseRect(argument.c_str() + 7, &g_fixture.window_rect)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The C runtime has split the command line already (the entry point is the wide one).
    if (__argc < 3 || !ParseOptions(__argc, __wargv)) {
        MessageBoxW(nullptr,
                    L"Usage: hovermark_accessible_fixture.exe INFO_FILE COMMAND_FILE [--title=TEXT] "
                    L"[--rect=LEFT,TOP,RIGHT,BOTTOM]",
                    kDefaultTitle, MB_OK);
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
