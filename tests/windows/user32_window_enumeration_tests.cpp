// The windows a locator is checked against, on real windows: the order a framework numbers its matches in
// (direct children top of the Z order first, whose recursion is EnumChildWindows' pre-order), the facts it
// matches by, the text a window gives when asked rather than the one the system holds, and a hung thread
// that costs one short wait.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows/user32_window_enumeration.h"
#include "platform/windows/user32_window_system.h"
#include "tests/windows/test_windows.h"

namespace hovermark::windows {
namespace {

using testing::MakeChild;
using testing::MakeTopLevel;

UniqueWindow MakeChildWithId(const wchar_t* window_class, const std::wstring& text, HWND parent, int id) {
    return UniqueWindow(CreateWindowExW(0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, parent,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                        nullptr));
}

std::vector<WindowHandle> Handles(std::initializer_list<HWND> windows) {
    std::vector<WindowHandle> handles;
    for (HWND window : windows) {
        handles.push_back(ToWindowHandle(window));
    }
    return handles;
}

// What EnumChildWindows itself lists below `parent`: the framework's order of a window's descendants.
std::vector<WindowHandle> Descendants(HWND parent) {
    std::vector<WindowHandle> all;
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(ToWindowHandle(window));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// The descendants as the pre-order over ChildWindows gives them.
void PreOrder(WindowEnumeration& enumeration, WindowHandle parent, std::vector<WindowHandle>& out) {
    const std::vector<WindowHandle> children = enumeration.ChildWindows(parent).value();
    for (WindowHandle child : children) {
        out.push_back(child);
        PreOrder(enumeration, child, out);
    }
}

// Where `window` stands among the top-level windows; -1 when it is not there.
int PlaceOf(const std::vector<WindowHandle>& top_levels, HWND window) {
    for (std::size_t index = 0; index < top_levels.size(); ++index) {
        if (top_levels[index] == ToWindowHandle(window)) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

TEST(User32WindowEnumerationTest, ListsTopLevelsAndDirectChildrenInTheFrameworksOrder) {
    UniqueWindow first = MakeTopLevel(L"first", nullptr, {10, 10, 300, 200});
    UniqueWindow second = MakeTopLevel(L"second", nullptr, {20, 20, 300, 200}, WS_POPUP);
    UniqueWindow left = MakeChild(L"Static", L"left", first.get(), {0, 0, 100, 100});
    UniqueWindow right = MakeChild(L"Static", L"right", first.get(), {100, 0, 200, 100});
    UniqueWindow ok1 = MakeChild(L"Button", L"OK", left.get(), {0, 0, 40, 20});
    UniqueWindow ok2 = MakeChild(L"Button", L"OK", left.get(), {0, 30, 40, 50});
    UniqueWindow ok3 = MakeChild(L"Button", L"OK", right.get(), {0, 0, 40, 20});
    ASSERT_TRUE(first && second && left && right && ok1 && ok2 && ok3);
    User32WindowEnumeration enumeration;

    // Top of the Z order first, whichever is on top; hidden windows are listed too.
    for (HWND top : {first.get(), second.get(), first.get()}) {
        SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const std::vector<WindowHandle> top_levels = enumeration.ChildWindows(0).value();
        const HWND other = top == first.get() ? second.get() : first.get();
        ASSERT_GE(PlaceOf(top_levels, other), 0);
        EXPECT_LT(PlaceOf(top_levels, top), PlaceOf(top_levels, other));
        EXPECT_EQ(PlaceOf(top_levels, left.get()), -1) << "a child window among the top-level ones";
    }

    // Direct children only, and over the whole tree the order EnumChildWindows lists the descendants in.
    EXPECT_EQ(enumeration.ChildWindows(ToWindowHandle(left.get())).value().size(), 2u);
    std::vector<WindowHandle> pre_order;
    PreOrder(enumeration, ToWindowHandle(first.get()), pre_order);
    EXPECT_EQ(pre_order, Descendants(first.get()));
    EXPECT_EQ(pre_order.size(), 5u);
    // Restacked, the order follows.
    for (HWND top : {ok2.get(), ok1.get()}) {
        SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const HWND other = top == ok1.get() ? ok2.get() : ok1.get();
        EXPECT_EQ(enumeration.ChildWindows(ToWindowHandle(left.get())).value(), Handles({top, other}));
        pre_order.clear();
        PreOrder(enumeration, ToWindowHandle(first.get()), pre_order);
        EXPECT_EQ(pre_order, Descendants(first.get()));
    }
    EXPECT_EQ(enumeration.ChildWindows(ToWindowHandle(ok3.get())).value(), std::vector<WindowHandle>{});

    const WindowHandle gone = ToWindowHandle(second.get());
    second.reset();
    EXPECT_FALSE(enumeration.ChildWindows(gone).has_value());
    EXPECT_FALSE(enumeration.FactsOf(gone).has_value());
    EXPECT_EQ(PlaceOf(enumeration.ChildWindows(0).value(), ToHwnd(gone)), -1);
}

// A window procedure of the test's own, for texts that only a message gives.
std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> g_text_answer;

LRESULT CALLBACK AnsweringProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (g_text_answer && (message == WM_GETTEXT || message == WM_GETTEXTLENGTH)) {
        return g_text_answer(window, message, wparam, lparam);
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT AnswerText(const std::wstring& text, std::size_t told_length, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_GETTEXTLENGTH) {
        return static_cast<LRESULT>(told_length);
    }
    const std::size_t copied = std::min<std::size_t>(text.size(), wparam > 0 ? wparam - 1 : 0);
    auto* buffer = reinterpret_cast<wchar_t*>(lparam);
    text.copy(buffer, copied);
    buffer[copied] = L'\0';
    return static_cast<LRESULT>(copied);
}

TEST(User32WindowEnumerationTest, ReadsWhatAFrameworkMatchesBy) {
    const std::wstring hostile = L"He said \"hi\" \\ it's\ttab\nnext line \U0001F600 Gr\u00fc\u00dfe";
    const std::string hostile_utf8 =
        "He said \"hi\" \\ it's\ttab\nnext line \xF0\x9F\x98\x80 Gr\xC3\xBC\xC3\x9F"
        "e";
    HMENU menu = CreateMenu();
    ASSERT_NE(menu, nullptr);
    UniqueWindow main = MakeTopLevel(L"  padded main  ", nullptr, {10, 10, 300, 200}, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetMenu(main.get(), menu);
    UniqueWindow button = MakeChildWithId(L"Button", hostile, main.get(), 1001);
    UniqueWindow hidden = MakeTopLevel(L"hidden", nullptr, {10, 10, 300, 200}, WS_POPUP);
    UniqueWindow inside_hidden = MakeChildWithId(L"Static", L"", hidden.get(), 7);
    const std::wstring long_text(100000, L'x');
    UniqueWindow long_titled = MakeTopLevel(long_text + L"!", nullptr, {10, 10, 300, 200});
    ASSERT_TRUE(main && button && hidden && inside_hidden && long_titled);
    ASSERT_NE(GetDlgCtrlID(main.get()), 0) << "the test needs a top level that GetDlgCtrlID answers for";
    User32WindowEnumeration enumeration;

    const WindowFacts main_facts = enumeration.FactsOf(ToWindowHandle(main.get())).value();
    EXPECT_EQ(main_facts.class_name, "HovermarkTestWindow");
    EXPECT_EQ(main_facts.title, "  padded main  ");
    EXPECT_EQ(main_facts.control_id, 0) << "a top-level window's menu taken for a control id";
    EXPECT_TRUE(main_facts.visible);
    const WindowFacts button_facts = enumeration.FactsOf(ToWindowHandle(button.get())).value();
    EXPECT_EQ(button_facts.class_name, "Button");
    EXPECT_EQ(button_facts.title, hostile_utf8);
    EXPECT_EQ(button_facts.control_id, 1001);
    EXPECT_TRUE(button_facts.visible);
    EXPECT_FALSE(enumeration.FactsOf(ToWindowHandle(hidden.get())).value().visible);
    const WindowFacts inside = enumeration.FactsOf(ToWindowHandle(inside_hidden.get())).value();
    EXPECT_FALSE(inside.visible) << "a shown child of a hidden window";
    EXPECT_EQ(inside.control_id, 7);
    EXPECT_EQ(inside.title, "");
    const std::string long_title = enumeration.FactsOf(ToWindowHandle(long_titled.get())).value().title;
    EXPECT_EQ(long_title.size(), long_text.size() + 1);
    EXPECT_EQ(long_title.back(), '!');

    // A window that answers the messages otherwise than the system holds its text: the answer counts, and a
    // text longer than its told length is read whole.
    WNDCLASSEXW answering{};
    answering.cbSize = sizeof answering;
    answering.lpfnWndProc = AnsweringProc;
    answering.hInstance = GetModuleHandleW(nullptr);
    answering.lpszClassName = L"HovermarkAnsweringWindow";
    RegisterClassExW(&answering);
    UniqueWindow asked(CreateWindowExW(0, L"HovermarkAnsweringWindow", L"held", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(asked);
    int length_asked = 0;
    g_text_answer = [&](HWND, UINT message, WPARAM wparam, LPARAM lparam) {
        length_asked += message == WM_GETTEXTLENGTH;
        return AnswerText(L"answered, longer than told", length_asked == 1 ? 5 : 26, message, wparam, lparam);
    };
    EXPECT_EQ(enumeration.FactsOf(ToWindowHandle(asked.get())).value().title, "answered, longer than told");
    EXPECT_EQ(length_asked, 2);
    length_asked = 0;
    g_text_answer = [&](HWND, UINT message, WPARAM wparam, LPARAM lparam) {
        length_asked += message == WM_GETTEXTLENGTH;
        return AnswerText(L"exact", 5, message, wparam, lparam);
    };
    EXPECT_EQ(enumeration.FactsOf(ToWindowHandle(asked.get())).value().title, "exact");
    EXPECT_EQ(length_asked, 1) << "a text of the length told was asked for again";
    // Hidden, no search finds it: it is not asked.
    ShowWindow(asked.get(), SW_HIDE);
    length_asked = 0;
    EXPECT_EQ(enumeration.FactsOf(ToWindowHandle(asked.get())).value().title, "held");
    EXPECT_EQ(length_asked, 0);
    g_text_answer = nullptr;
}

// A thread that stops answering costs one short wait, never more: its shown windows' facts are "not known",
// its other windows are not waited for again, and its hidden ones give the text the system holds.
TEST(User32WindowEnumerationTest, AHungThreadCostsOneShortWait) {
    HWND hung_main = nullptr;
    HWND hung_button = nullptr;
    HWND hung_hidden = nullptr;
    std::atomic<bool> woke{false};
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread hung_thread([&] {
        UniqueWindow main = MakeTopLevel(L"hung main", nullptr, {10, 10, 300, 200});
        UniqueWindow button = MakeChild(L"Button", L"OK", main.get(), {0, 0, 40, 20});
        UniqueWindow hidden = MakeTopLevel(L"hidden of the hung", nullptr, {10, 10, 300, 200}, WS_POPUP);
        hung_main = main.get();
        hung_button = button.get();
        hung_hidden = hidden.get();
        SetEvent(created);
        Sleep(1500);  // owns the windows and pumps no messages
        woke = true;
    });
    WaitForSingleObject(created, INFINITE);
    User32WindowEnumeration enumeration;

    const auto started = std::chrono::steady_clock::now();
    const auto main_facts = enumeration.FactsOf(ToWindowHandle(hung_main));
    const auto first_wait = std::chrono::steady_clock::now() - started;
    const auto button_facts = enumeration.FactsOf(ToWindowHandle(hung_button));
    const auto children = enumeration.ChildWindows(ToWindowHandle(hung_main));
    // A hidden window, which no search finds, costs no wait: its facts are the system's.
    const auto hidden_facts = enumeration.FactsOf(ToWindowHandle(hung_hidden));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_FALSE(woke);
    hung_thread.join();
    CloseHandle(created);

    EXPECT_FALSE(main_facts.has_value());
    EXPECT_FALSE(button_facts.has_value());
    EXPECT_EQ(children.value(), Handles({hung_button})) << "listing children sends no message";
    ASSERT_TRUE(hidden_facts.has_value());
    EXPECT_EQ(hidden_facts->title, "hidden of the hung");
    EXPECT_FALSE(hidden_facts->visible);
    EXPECT_GE(first_wait, std::chrono::milliseconds(90));
    EXPECT_LT(took - first_wait, std::chrono::milliseconds(50)) << "each window of the hung thread was waited for";
    EXPECT_LT(first_wait, std::chrono::milliseconds(300));
    RecordProperty("hung_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
}

}  // namespace
}  // namespace hovermark::windows
