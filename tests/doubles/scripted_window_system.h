// A window tree held in memory that answers the program's window-system calls as a real desktop does, so a
// headless test can point at, rename, move and destroy windows between any two calls the program makes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/doubles/event_journal.h"
#include "window_inspection/window_system.h"

namespace hovermark::testing {

// Placement values the program never sends but a test may, named as the window system names them.
inline constexpr WindowHandle kHwndTop = 0;
inline constexpr WindowHandle kHwndBottom = 1;
inline constexpr std::uint32_t kSwpNoZOrder = 4;
inline constexpr std::uint32_t kSwpHideWindow = 128;

struct ScriptedWindow {
    WindowHandle handle = 0;   // 0: the next free handle (1000, 1002, ...); otherwise must be positive and free
    std::string class_name{};  // UTF-8; may hold NULs
    std::string text{};
    std::int32_t parent_or_owner = 0;  // what GetWindowLongA(GWL_HWNDPARENT) returns; need not name a window
    // A child is stacked just above its parent and only shows while the parent shows. Otherwise the window
    // is top-level and parent_or_owner is merely its owner, which does not affect stacking.
    bool child = false;
    Rectangle rect{};
    bool visible = true;
    bool topmost = false;
};

// Told synchronously, from inside the call that made the change, as a window procedure would be.
class ScriptedWindowObserver {
  public:
    virtual ~ScriptedWindowObserver() = default;
    virtual void OnSizeChanged() = 0;   // width or height changed (a move alone is not reported)
    virtual void OnShownChanged() = 0;  // the window's own visible flag changed
};

class ScriptedWindowSystem final : public WindowSystem {
  public:
    // Without a journal of its own the system keeps a private one, reachable through Journal().
    ScriptedWindowSystem();
    explicit ScriptedWindowSystem(EventJournal& journal);

    // Building and changing the tree. These are the test's doing: not counted, no before_call, and they
    // throw std::out_of_range for a handle naming no window.
    WindowHandle AddWindow(ScriptedWindow window);  // above every window of its band; throws invalid_argument
                                                    // for a negative or live handle
    // The window vanishes; windows naming it as parent or owner stay and keep the now dangling handle.
    void Destroy(WindowHandle window);
    void SetText(WindowHandle window, std::string text);
    void SetRect(WindowHandle window, Rectangle rect);  // tells the observer of a size change
    void SetParentOrOwner(WindowHandle window, std::int32_t value);
    void SetVisible(WindowHandle window, bool visible);  // tells the observer of a change
    void SetPointer(Point point) { pointer_ = point; }
    void MovePointerTo(WindowHandle window);  // the centre of the window's rect
    // nullptr removes the observer. Destroy removes it too.
    void SetObserver(WindowHandle window, ScriptedWindowObserver* observer);

    // Runs at the start of every WindowSystem call, after the call is counted, so it can change the tree
    // between any two calls. Calls it makes itself are neither counted nor hooked.
    std::function<void(std::string_view operation)> before_call;

    // Inspection; none of it is counted.
    const ScriptedWindow* Find(WindowHandle window) const;  // nullptr once destroyed
    bool IsVisible(WindowHandle window) const;              // own flag and every stacking parent's; false if unknown
    Rectangle RectOf(WindowHandle window) const;
    bool IsTopmost(WindowHandle window) const;
    std::vector<WindowHandle> ZOrderFrontToBack() const;  // every window, the one on top first
    // Operation names as the WindowSystem methods are named; any other name throws std::invalid_argument.
    int Calls(std::string_view operation) const;
    int TextReads(WindowHandle window) const;  // GetWindowTextA calls for that handle
    EventJournal& Journal() { return *journal_; }

    std::int32_t GetCursorPos(Point& point) override;
    WindowHandle WindowFromPoint(Point point) override;
    // At most max_count - 1 code points, never part of one; NULs and what follows them come back too.
    std::string GetClassNameA(WindowHandle window, std::int32_t max_count) override;
    std::int32_t GetWindowTextLengthA(WindowHandle window) override;  // in code points
    std::string GetWindowTextA(WindowHandle window, std::int32_t max_count) override;
    std::int32_t GetWindowLongA(WindowHandle window, std::int32_t index) override;
    std::int32_t GetWindowRect(WindowHandle window, Rectangle& rect) override;
    // Journals "SetWindowPos <handle> <insertAfter> <x> <y> <cx> <cy> <flags>" for every call, known handle
    // or not, then restacks, moves, sizes, shows or hides, then tells the observer.
    std::int32_t SetWindowPos(WindowHandle window,
                              WindowHandle insert_after,
                              std::int32_t x,
                              std::int32_t y,
                              std::int32_t cx,
                              std::int32_t cy,
                              std::uint32_t flags) override;

  private:
    bool BeginCall(std::string_view operation);
    ScriptedWindow& Existing(WindowHandle window);
    const ScriptedWindow& Existing(WindowHandle window) const;
    struct Stacked {
        WindowHandle handle;
        bool shown;  // itself and every stacking parent visible
    };
    std::map<WindowHandle, WindowHandle> StackingParents() const;  // 0: stacked as top-level
    std::vector<Stacked> BackToFront() const;
    void Restack(WindowHandle window, WindowHandle insert_after);
    void TellObserver(WindowHandle window, bool size_changed, bool shown_changed);

    EventJournal own_journal_;
    EventJournal* journal_;
    std::map<WindowHandle, ScriptedWindow> windows_;
    std::vector<WindowHandle> stacking_;  // back to front, before bands and children are applied
    std::map<WindowHandle, ScriptedWindowObserver*> observers_;
    WindowHandle next_handle_ = 1000;
    Point pointer_{};
    std::map<std::string, int, std::less<>> calls_;
    std::map<WindowHandle, int> text_reads_;
    bool in_hook_ = false;
};

}  // namespace hovermark::testing
