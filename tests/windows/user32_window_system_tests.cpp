// The window-system operations against real windows: what the inspection reads of a button in a dialog
// owned by a main window, texts that do not fit a code page, handles that vanish, a top-level window's
// visible edges, placing windows, and the windows of a thread that has stopped answering.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows/dwm_frame_bounds.h"
#include "platform/windows/user32_window_system.h"
#include "tests/windows/test_windows.h"

namespace hovermark::windows {
namespace {

using testing::MakeChild;
using testing::MakeTopLevel;
namespace ws = window_system_constants;

// The logic's names for the stacking positions are macros here, so the tests spell out their values.
constexpr WindowHandle kTopmost = -1;
constexpr WindowHandle kNotTopmost = -2;

constexpr std::int32_t kClassNameRoom = 256;

class User32WindowSystemTest : public ::testing::Test {
  protected:
    // Reads a window's text the way the chain listing does: its length first, then that many units.
    std::string TextOf(HWND window) {
        const std::int32_t length = system_.GetWindowTextLengthA(ToWindowHandle(window));
        return length > 0 ? system_.GetWindowTextA(ToWindowHandle(window), length + 1) : std::string();
    }

    User32WindowSystem system_;
};

TEST_F(User32WindowSystemTest, ReadsAButtonsChainThroughItsDialogToTheOwner) {
    UniqueWindow owner = MakeTopLevel(L"  Main window  ", nullptr, {40, 40, 400, 300}, WS_OVERLAPPEDWINDOW);
    UniqueWindow dialog = MakeTopLevel(L"Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442\t", owner.get(),
                                       {100, 100, 300, 220}, WS_POPUP | WS_CAPTION | WS_VISIBLE);
    UniqueWindow button = MakeChild(L"Button", L"  OK  ", dialog.get(), {10, 10, 90, 40});
    ASSERT_TRUE(owner && dialog && button);

    EXPECT_EQ(system_.GetClassNameA(ToWindowHandle(button.get()), kClassNameRoom), "Button");
    EXPECT_EQ(system_.GetClassNameA(ToWindowHandle(owner.get()), kClassNameRoom), "HovermarkTestWindow");
    EXPECT_EQ(TextOf(button.get()), "  OK  ");
    EXPECT_EQ(TextOf(dialog.get()),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x80\x94 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\t");
    EXPECT_EQ(TextOf(owner.get()), "  Main window  ");

    // The parent of a child, then the owner of a top-level window, then nothing.
    EXPECT_EQ(system_.GetWindowLongA(ToWindowHandle(button.get()), ws::GWL_HWNDPARENT), ToWindowHandle(dialog.get()));
    EXPECT_EQ(system_.GetWindowLongA(ToWindowHandle(dialog.get()), ws::GWL_HWNDPARENT), ToWindowHandle(owner.get()));
    EXPECT_EQ(system_.GetWindowLongA(ToWindowHandle(owner.get()), ws::GWL_HWNDPARENT), 0);
}

TEST_F(User32WindowSystemTest, MeasuresTextInSystemUnitsAndNeverCutsACharacterInHalf) {
    // "ab" and one character outside the basic plane: four UTF-16 units.
    UniqueWindow window = MakeTopLevel(L"ab\U0001F600", nullptr, {0, 0, 50, 50});
    const WindowHandle handle = ToWindowHandle(window.get());
    ASSERT_EQ(system_.GetWindowTextLengthA(handle), 4);
    EXPECT_EQ(system_.GetWindowTextA(handle, 5), "ab\xF0\x9F\x98\x80");
    // Room for three units would end in the pair's first half: the half is dropped, not garbled.
    EXPECT_EQ(system_.GetWindowTextA(handle, 4), "ab");
    EXPECT_EQ(system_.GetWindowTextA(handle, 2), "a");
    EXPECT_EQ(system_.GetWindowTextA(handle, 0), "");
    EXPECT_EQ(system_.GetClassNameA(handle, 4), "Hov");
}

TEST_F(User32WindowSystemTest, AVanishedHandleReadsAsNoWindow) {
    UniqueWindow window = MakeTopLevel(L"soon gone", nullptr, {10, 20, 110, 220});
    const WindowHandle handle = ToWindowHandle(window.get());
    Rectangle rect;
    ASSERT_NE(system_.GetWindowRect(handle, rect), 0);
    EXPECT_EQ(rect, (Rectangle{10, 20, 110, 220}));

    window.reset();
    Rectangle untouched{1, 2, 3, 4};
    EXPECT_EQ(system_.GetWindowRect(handle, untouched), 0);
    EXPECT_EQ(untouched, (Rectangle{1, 2, 3, 4}));
    EXPECT_EQ(system_.GetClassNameA(handle, kClassNameRoom), "");
    EXPECT_LE(system_.GetWindowTextLengthA(handle), 0);
    EXPECT_EQ(system_.GetWindowLongA(handle, ws::GWL_HWNDPARENT), 0);
}

// The compositor's rectangle, standing in for Windows 10's: the dialog's visible pixels lie 7 pixels inside
// its rectangle on the left, the right and the bottom.
TEST(User32WindowSystemFrameTest, ATopLevelWindowGetsItsVisibleEdgesAndAChildItsOwnRectangle) {
    UniqueWindow dialog = MakeTopLevel(L"dialog", nullptr, {100, 100, 300, 220});
    UniqueWindow button = MakeChild(L"Button", L"OK", dialog.get(), {10, 10, 90, 40});
    ASSERT_TRUE(dialog && button);
    std::vector<HWND> asked;
    std::optional<RECT> answer = RECT{107, 100, 293, 213};
    User32WindowSystem system([&](HWND window) {
        asked.push_back(window);
        return answer;
    });
    const WindowHandle dialog_handle = ToWindowHandle(dialog.get());

    Rectangle rect;
    ASSERT_NE(system.GetWindowRect(dialog_handle, rect), 0);
    EXPECT_EQ(rect, (Rectangle{107, 100, 293, 213}));
    ASSERT_NE(system.GetWindowRect(ToWindowHandle(button.get()), rect), 0);
    EXPECT_EQ(rect, (Rectangle{110, 110, 190, 140}));
    EXPECT_EQ(asked, std::vector<HWND>{dialog.get()}) << "the compositor was asked about a child window";

    // When the compositor cannot tell, the window's own rectangle stands.
    answer.reset();
    ASSERT_NE(system.GetWindowRect(dialog_handle, rect), 0);
    EXPECT_EQ(rect, (Rectangle{100, 100, 300, 220}));

    // Only user32 says whether a window exists: a vanished one fails though the compositor would answer.
    answer = RECT{107, 100, 293, 213};
    button.reset();
    dialog.reset();
    Rectangle untouched{1, 2, 3, 4};
    EXPECT_EQ(system.GetWindowRect(dialog_handle, untouched), 0);
    EXPECT_EQ(untouched, (Rectangle{1, 2, 3, 4}));
}

// dwmapi is loaded at run time from the system directory; a wrong name there would silently leave every
// top-level window on its old rectangle.
TEST(User32WindowSystemFrameTest, FindsTheCompositorsCallInTheSystemDirectory) {
    const DwmFrameBounds dwm;
    EXPECT_TRUE(dwm.Available());
    EXPECT_FALSE(dwm.Of(nullptr).has_value());
}

TEST_F(User32WindowSystemTest, HandlesKeepTheirLowThirtyTwoBitsAndComeBackSignExtended) {
    // The system's HWND_TOPMOST and HWND_NOTOPMOST are the pointer-sized -1 and -2.
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(ToHwnd(kTopmost)), -1);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(ToHwnd(kNotTopmost)), -2);
    EXPECT_EQ(ToWindowHandle(reinterpret_cast<HWND>(std::intptr_t{-2})), kNotTopmost);
    // Only the low 32 bits of a handle count.
    EXPECT_EQ(ToWindowHandle(reinterpret_cast<HWND>(std::uintptr_t{0xFFFFFFFF00012345})), 0x12345);
    UniqueWindow window = MakeTopLevel(L"", nullptr, {0, 0, 10, 10});
    EXPECT_EQ(ToHwnd(ToWindowHandle(window.get())), window.get());
    EXPECT_EQ(ToWindowHandle(nullptr), 0);
}

TEST_F(User32WindowSystemTest, FindsTheWindowUnderThePointer) {
    UniqueWindow dialog = MakeTopLevel(L"dialog", nullptr, {300, 200, 500, 400});
    UniqueWindow button = MakeChild(L"Button", L"OK", dialog.get(), {20, 20, 120, 60});
    ASSERT_TRUE(SetCursorPos(350, 240));
    Point pointer;
    system_.GetCursorPos(pointer);
    EXPECT_EQ(pointer, (Point{350, 240}));
    EXPECT_EQ(system_.WindowFromPoint(pointer), ToWindowHandle(button.get()));
    EXPECT_EQ(system_.WindowFromPoint(Point{450, 380}), ToWindowHandle(dialog.get()));
}

TEST_F(User32WindowSystemTest, PlacesAndStacksOneOfItsOwnWindows) {
    UniqueWindow bar = MakeTopLevel(L"bar", nullptr, {0, 0, 178, 90}, WS_POPUP);
    const WindowHandle handle = ToWindowHandle(bar.get());
    system_.SetWindowPos(handle, kTopmost, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(IsWindowVisible(bar.get()));
    EXPECT_NE(GetWindowLongPtrW(bar.get(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    system_.SetWindowPos(handle, kTopmost, 98, 48, 204, 2, SWP_NOACTIVATE);
    Rectangle rect;
    system_.GetWindowRect(handle, rect);
    EXPECT_EQ(rect, (Rectangle{98, 48, 302, 50}));

    system_.SetWindowPos(handle, kNotTopmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindowLongPtrW(bar.get(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

// A program that stops answering must not stop the inspection, nor lose its titles: the chain of a control
// deep in a hung thread's windows reads whole, and the whole chain waits for the thread once, briefly.
TEST_F(User32WindowSystemTest, AHungThreadsChainKeepsEveryTitleAndWaitsForItOnce) {
    struct HungWindows {
        HWND button, panel, dialog, owner;
    } hung{};
    std::atomic<bool> woke{false};
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread hung_thread([&] {
        UniqueWindow owner = MakeTopLevel(L"  Main window  ", nullptr, {40, 40, 400, 300}, WS_OVERLAPPEDWINDOW);
        UniqueWindow dialog = MakeTopLevel(L"Drawn controls \u2014 \u03A9", owner.get(), {100, 100, 300, 220},
                                           WS_POPUP | WS_CAPTION | WS_VISIBLE);
        UniqueWindow panel = MakeChild(L"Static", L"Gr\u00fc\u00dfe \U0001F600", dialog.get(), {0, 0, 180, 80});
        UniqueWindow button = MakeChild(L"Button", L"OK", panel.get(), {10, 10, 90, 40});
        hung = {button.get(), panel.get(), dialog.get(), owner.get()};
        SetEvent(created);
        Sleep(2000);  // owns the windows and pumps no messages
        woke = true;
    });
    WaitForSingleObject(created, INFINITE);
    ASSERT_TRUE(hung.button && hung.panel && hung.dialog && hung.owner);

    // Row by row as the chain listing reads them: class, handle and text, then on to the parent or owner.
    std::vector<std::string> rows;
    const auto started = std::chrono::steady_clock::now();
    for (WindowHandle window = ToWindowHandle(hung.button); window != 0;
         window = system_.GetWindowLongA(window, ws::GWL_HWNDPARENT)) {
        rows.push_back(system_.GetClassNameA(window, kClassNameRoom) + "\t" + std::to_string(window) + "\t" +
                       TextOf(ToHwnd(window)));
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    RecordProperty("chain_ms", static_cast<int>(took.count()));
    EXPECT_FALSE(woke) << "the chain waited for the hung thread";
    hung_thread.join();
    CloseHandle(created);

    const auto row = [](const char* window_class, HWND window, const std::string& text) {
        return std::string(window_class) + "\t" + std::to_string(ToWindowHandle(window)) + "\t" + text;
    };
    EXPECT_EQ(rows, (std::vector<std::string>{
                        row("Button", hung.button, "OK"),
                        row("Static", hung.panel,
                            "Gr\xC3\xBC\xC3\x9F"
                            "e \xF0\x9F\x98\x80"),
                        row("HovermarkTestWindow", hung.dialog, "Drawn controls \xE2\x80\x94 \xCE\xA9"),
                        row("HovermarkTestWindow", hung.owner, "  Main window  "),
                    }));
    EXPECT_LT(took.count(), 450) << "each window of the hung thread was waited for";
}

}  // namespace
}  // namespace hovermark::windows
