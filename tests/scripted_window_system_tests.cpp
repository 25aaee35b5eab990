// The scripted window system stands in for the desktop in every program test; these cases pin down the
// behaviour those tests lean on: what is under the pointer, how text is cut, what a vanished handle answers,
// and when placement reaches a window's observer.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/doubles/scripted_window_system.h"

namespace hovermark::testing {
namespace {

using namespace window_system_constants;

constexpr Rectangle kScreen{0, 0, 100, 100};

struct CountingObserver : ScriptedWindowObserver {
    int size_changes = 0;
    int shown_changes = 0;
    EventJournal* journal = nullptr;
    std::optional<std::size_t> journal_size_at_size_notice;
    void OnSizeChanged() override {
        ++size_changes;
        if (journal != nullptr) {
            journal_size_at_size_notice = journal->Entries().size();
        }
    }
    void OnShownChanged() override { ++shown_changes; }
};

TEST(ScriptedWindowSystemStacking, LaterWindowsAreAboveEarlierOnesAndHiddenOnesAreSkipped) {
    ScriptedWindowSystem system;
    const WindowHandle below = system.AddWindow({.rect = kScreen});
    const WindowHandle above = system.AddWindow({.rect = {10, 10, 20, 20}});
    EXPECT_EQ(below, 1000);
    EXPECT_EQ(above, 1002);

    EXPECT_EQ(system.WindowFromPoint({15, 15}), above);
    EXPECT_EQ(system.WindowFromPoint({5, 5}), below);
    system.SetVisible(above, false);
    EXPECT_EQ(system.WindowFromPoint({15, 15}), below);
    EXPECT_EQ(system.WindowFromPoint({100, 50}), 0) << "Right lies outside the window";
    EXPECT_EQ(system.WindowFromPoint({99, 99}), below);
}

TEST(ScriptedWindowSystemStacking, ChildrenStayOnTheirParentAndHideWithIt) {
    ScriptedWindowSystem system;
    const WindowHandle parent = system.AddWindow({.rect = kScreen});
    const WindowHandle covering = system.AddWindow({.rect = {0, 0, 50, 50}});
    const WindowHandle child = system.AddWindow({.parent_or_owner = parent, .child = true, .rect = {40, 40, 60, 60}});

    // Added last, the child is still only as high as its parent, under the window covering it.
    EXPECT_EQ(system.WindowFromPoint({45, 45}), covering);
    EXPECT_EQ(system.WindowFromPoint({55, 55}), child);
    EXPECT_EQ(system.ZOrderFrontToBack(), (std::vector<WindowHandle>{covering, child, parent}));

    system.SetVisible(parent, false);
    EXPECT_FALSE(system.IsVisible(child));
    EXPECT_EQ(system.WindowFromPoint({55, 55}), 0);
}

TEST(ScriptedWindowSystemStacking, LoopsOfChildLinksDoNotHang) {
    ScriptedWindowSystem system;
    const WindowHandle first = system.AddWindow({.handle = 10, .parent_or_owner = 12, .child = true, .rect = kScreen});
    const WindowHandle second = system.AddWindow({.handle = 12, .parent_or_owner = 10, .child = true, .rect = kScreen});
    const WindowHandle self = system.AddWindow({.handle = 14, .parent_or_owner = 14, .child = true, .rect = kScreen});
    EXPECT_EQ(system.ZOrderFrontToBack().size(), 3U);
    EXPECT_EQ(system.WindowFromPoint({1, 1}), self);
    system.Destroy(self);
    EXPECT_EQ(system.WindowFromPoint({1, 1}), second);
    EXPECT_EQ(system.GetWindowLongA(first, GWL_HWNDPARENT), second);
}

TEST(ScriptedWindowSystemStacking, TopmostBandStaysAboveLaterWindows) {
    ScriptedWindowSystem system;
    const WindowHandle bar = system.AddWindow({.rect = kScreen});
    system.SetWindowPos(bar, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    const WindowHandle later = system.AddWindow({.rect = kScreen});
    EXPECT_TRUE(system.IsTopmost(bar));
    EXPECT_EQ(system.WindowFromPoint({1, 1}), bar);

    system.SetWindowPos(bar, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(system.IsTopmost(bar));
    EXPECT_EQ(system.WindowFromPoint({1, 1}), later);

    system.SetWindowPos(bar, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | kSwpNoZOrder);
    EXPECT_FALSE(system.IsTopmost(bar)) << "SWP_NOZORDER leaves the stacking alone";
}

TEST(ScriptedWindowSystemText, LimitsCountWholeCodePoints) {
    ScriptedWindowSystem system;
    // "a", e-acute (2 bytes), euro (3 bytes), G clef (4 bytes), "b".
    const std::string text =
        "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"
        "b";
    const WindowHandle window = system.AddWindow({.class_name = text, .text = text});

    EXPECT_EQ(system.GetWindowTextLengthA(window), 5);
    EXPECT_EQ(system.GetWindowTextA(window, 6), text);
    EXPECT_EQ(system.GetWindowTextA(window, 3), "a\xC3\xA9");
    EXPECT_EQ(system.GetClassNameA(window, 4), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(system.GetClassNameA(window, 5), "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E");
    EXPECT_EQ(system.GetClassNameA(window, 1), "");
    EXPECT_EQ(system.GetWindowTextA(window, 0), "");
    EXPECT_EQ(system.GetWindowTextA(window, -5), "");
}

TEST(ScriptedWindowSystemText, EmbeddedNulsComeBackWithWhatFollowsThem) {
    ScriptedWindowSystem system;
    const std::string text("x\0y\tz", 5);
    const WindowHandle window = system.AddWindow({.class_name = text, .text = text});
    EXPECT_EQ(system.GetWindowTextLengthA(window), 5);
    EXPECT_EQ(system.GetWindowTextA(window, 6), text);
    EXPECT_EQ(system.GetClassNameA(window, 4), std::string("x\0y", 3));
}

TEST(ScriptedWindowSystemLifetime, DestroyedHandlesAnswerAsNamingNoWindow) {
    ScriptedWindowSystem system;
    const WindowHandle parent = system.AddWindow({.rect = kScreen});
    const WindowHandle window =
        system.AddWindow({.class_name = "Edit", .text = "hi", .parent_or_owner = parent, .rect = {1, 2, 3, 4}});
    Rectangle rect{};
    ASSERT_EQ(system.GetWindowRect(window, rect), 1);
    EXPECT_EQ(rect, (Rectangle{1, 2, 3, 4}));

    system.Destroy(window);
    const Rectangle untouched{9, 9, 9, 9};
    rect = untouched;
    EXPECT_EQ(system.GetWindowRect(window, rect), 0);
    EXPECT_EQ(rect, untouched);
    EXPECT_EQ(system.GetClassNameA(window, 256), "");
    EXPECT_EQ(system.GetWindowTextLengthA(window), 0);
    EXPECT_EQ(system.GetWindowTextA(window, 256), "");
    EXPECT_EQ(system.GetWindowLongA(window, GWL_HWNDPARENT), 0);
    EXPECT_EQ(system.Find(window), nullptr);
    EXPECT_EQ(system.AddWindow({}), 1004) << "fresh handles are not reused";
}

TEST(ScriptedWindowSystemLifetime, HookCanChangeTheTreeBetweenCalls) {
    ScriptedWindowSystem system;
    const WindowHandle owner = system.AddWindow({.class_name = "Owner"});
    const WindowHandle window = system.AddWindow({.class_name = "Owned", .parent_or_owner = owner});
    system.before_call = [&](std::string_view operation) {
        Rectangle ignored;
        system.GetWindowRect(window, ignored);  // the hook's own calls are not counted
        if (operation == "GetWindowLongA" && system.Find(owner) != nullptr) {
            system.Destroy(owner);
        }
    };
    const WindowHandle next = system.GetWindowLongA(window, GWL_HWNDPARENT);
    EXPECT_EQ(next, owner);
    EXPECT_EQ(system.GetClassNameA(next, 256), "");
    EXPECT_EQ(system.GetWindowTextA(window, 10), "");
    EXPECT_EQ(system.Calls("GetWindowLongA"), 1);
    EXPECT_EQ(system.Calls("GetWindowRect"), 0);
    EXPECT_EQ(system.Calls("GetClassNameA"), 1);
    EXPECT_EQ(system.TextReads(window), 1);
    EXPECT_EQ(system.TextReads(owner), 0);
    EXPECT_THROW(system.Calls("GetWindowText"), std::invalid_argument);
}

TEST(ScriptedWindowSystemPlacement, EveryCallIsJournaledBeforeAnythingElse) {
    EventJournal journal;
    ScriptedWindowSystem system(journal);
    CountingObserver observer;
    observer.journal = &journal;
    const WindowHandle window = system.AddWindow({.rect = {0, 0, 10, 10}, .visible = false});
    system.SetObserver(window, &observer);

    system.SetWindowPos(window, HWND_TOPMOST, 5, 6, 20, -3, SWP_NOACTIVATE);
    system.SetWindowPos(4242, HWND_TOPMOST, 1, 2, 3, 4, 0);
    EXPECT_EQ(journal.Entries(),
              (std::vector<std::string>{"SetWindowPos 1000 -1 5 6 20 -3 16", "SetWindowPos 4242 -1 1 2 3 4 0"}));
    EXPECT_EQ(system.RectOf(window), (Rectangle{5, 6, 25, 6})) << "a negative size counts as 0";
    EXPECT_EQ(observer.journal_size_at_size_notice, 1U) << "the observer is told inside the first call";
    EXPECT_EQ(system.Calls("SetWindowPos"), 2);
}

TEST(ScriptedWindowSystemPlacement, ObserverHearsOnlyRealChanges) {
    ScriptedWindowSystem system;
    CountingObserver observer;
    const WindowHandle window = system.AddWindow({.rect = {0, 0, 10, 10}, .visible = false});
    system.SetObserver(window, &observer);

    system.SetWindowPos(window, HWND_TOPMOST, 50, 50, 99, 99, SWP_NOSIZE);
    EXPECT_EQ(system.RectOf(window), (Rectangle{50, 50, 60, 60}));
    system.SetWindowPos(window, HWND_TOPMOST, 0, 0, 10, 10, SWP_NOMOVE);
    EXPECT_EQ(observer.size_changes, 0) << "moves and same-size placements are not size changes";

    system.SetWindowPos(window, HWND_TOPMOST, 0, 0, 10, 11, SWP_NOMOVE | SWP_SHOWWINDOW);
    EXPECT_EQ(observer.size_changes, 1);
    EXPECT_EQ(observer.shown_changes, 1);
    EXPECT_TRUE(system.IsVisible(window));
    system.SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_EQ(observer.shown_changes, 1);
    system.SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | kSwpHideWindow);
    EXPECT_EQ(observer.shown_changes, 2);
    EXPECT_FALSE(system.IsVisible(window));

    system.SetRect(window, {7, 7, 17, 18});
    EXPECT_EQ(observer.size_changes, 1);
    system.SetRect(window, {7, 7, 18, 18});
    EXPECT_EQ(observer.size_changes, 2);
}

TEST(ScriptedWindowSystemPointer, PointerCanBeSetOrPutOnAWindowCentre) {
    ScriptedWindowSystem system;
    const WindowHandle window = system.AddWindow({.rect = {10, 20, 31, 41}});
    system.MovePointerTo(window);
    Point pointer;
    system.GetCursorPos(pointer);
    EXPECT_EQ(pointer, (Point{20, 30}));
    EXPECT_EQ(system.WindowFromPoint(pointer), window);
    system.SetPointer({-5, -5});
    system.GetCursorPos(pointer);
    EXPECT_EQ(pointer, (Point{-5, -5}));
}

}  // namespace
}  // namespace hovermark::testing
