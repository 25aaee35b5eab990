// The scripted desktop: window tree, stacking, pointer, and the bookkeeping tests check calls against.
#include "tests/doubles/scripted_window_system.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <utility>

namespace hovermark::testing {
namespace {

using namespace window_system_constants;

constexpr std::array<std::string_view, 8> kOperations{
    "GetCursorPos",   "WindowFromPoint", "GetClassNameA", "GetWindowTextLengthA",
    "GetWindowTextA", "GetWindowLongA",  "GetWindowRect", "SetWindowPos",
};

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80U;
}

std::int32_t CodePointCount(std::string_view text) {
    return static_cast<std::int32_t>(
        std::count_if(text.begin(), text.end(), [](char byte) { return !IsContinuationByte(byte); }));
}

// The longest prefix of whole code points that a buffer of max_count units (one of them the NUL) holds.
std::string FitInBuffer(std::string_view text, std::int32_t max_count) {
    if (max_count <= 1) {
        return {};
    }
    const std::int64_t room = static_cast<std::int64_t>(max_count) - 1;
    std::int64_t started = 0;
    std::size_t end = 0;
    for (; end < text.size(); ++end) {
        if (!IsContinuationByte(text[end])) {
            if (started == room) {
                break;
            }
            ++started;
        }
    }
    return std::string(text.substr(0, end));
}

std::int32_t Saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::int64_t Width(const Rectangle& rect) {
    return static_cast<std::int64_t>(rect.Right) - rect.Left;
}

std::int64_t Height(const Rectangle& rect) {
    return static_cast<std::int64_t>(rect.Bottom) - rect.Top;
}

}  // namespace

ScriptedWindowSystem::ScriptedWindowSystem() : journal_(&own_journal_) {}

ScriptedWindowSystem::ScriptedWindowSystem(EventJournal& journal) : journal_(&journal) {}

WindowHandle ScriptedWindowSystem::AddWindow(ScriptedWindow window) {
    if (window.handle < 0) {
        throw std::invalid_argument("a window handle is never negative");
    }
    if (window.handle == 0) {
        while (windows_.contains(next_handle_)) {
            next_handle_ += 2;
        }
        window.handle = next_handle_;
        next_handle_ += 2;
    } else if (windows_.contains(window.handle)) {
        throw std::invalid_argument("handle " + std::to_string(window.handle) + " names a live window");
    }
    const WindowHandle handle = window.handle;
    windows_.emplace(handle, std::move(window));
    stacking_.push_back(handle);
    return handle;
}

ScriptedWindow& ScriptedWindowSystem::Existing(WindowHandle window) {
    const auto found = windows_.find(window);
    if (found == windows_.end()) {
        throw std::out_of_range("no window " + std::to_string(window));
    }
    return found->second;
}

const ScriptedWindow& ScriptedWindowSystem::Existing(WindowHandle window) const {
    const auto found = windows_.find(window);
    if (found == windows_.end()) {
        throw std::out_of_range("no window " + std::to_string(window));
    }
    return found->second;
}

void ScriptedWindowSystem::Destroy(WindowHandle window) {
    Existing(window);
    windows_.erase(window);
    std::erase(stacking_, window);
    observers_.erase(window);
}

void ScriptedWindowSystem::SetText(WindowHandle window, std::string text) {
    Existing(window).text = std::move(text);
}

void ScriptedWindowSystem::SetRect(WindowHandle window, Rectangle rect) {
    ScriptedWindow& target = Existing(window);
    const bool size_changed = Width(rect) != Width(target.rect) || Height(rect) != Height(target.rect);
    target.rect = rect;
    TellObserver(window, size_changed, false);
}

void ScriptedWindowSystem::SetParentOrOwner(WindowHandle window, std::int32_t value) {
    Existing(window).parent_or_owner = value;
}

void ScriptedWindowSystem::SetVisible(WindowHandle window, bool visible) {
    ScriptedWindow& target = Existing(window);
    const bool changed = target.visible != visible;
    target.visible = visible;
    TellObserver(window, false, changed);
}

void ScriptedWindowSystem::MovePointerTo(WindowHandle window) {
    const Rectangle& rect = Existing(window).rect;
    pointer_ = {Saturate((static_cast<std::int64_t>(rect.Left) + rect.Right) / 2),
                Saturate((static_cast<std::int64_t>(rect.Top) + rect.Bottom) / 2)};
}

void ScriptedWindowSystem::SetObserver(WindowHandle window, ScriptedWindowObserver* observer) {
    Existing(window);
    if (observer == nullptr) {
        observers_.erase(window);
    } else {
        observers_[window] = observer;
    }
}

const ScriptedWindow* ScriptedWindowSystem::Find(WindowHandle window) const {
    const auto found = windows_.find(window);
    return found == windows_.end() ? nullptr : &found->second;
}

bool ScriptedWindowSystem::IsVisible(WindowHandle window) const {
    if (!windows_.contains(window)) {
        return false;
    }
    const std::map<WindowHandle, WindowHandle> parents = StackingParents();
    for (WindowHandle current = window; current != 0; current = parents.at(current)) {
        if (!windows_.at(current).visible) {
            return false;
        }
    }
    return true;
}

Rectangle ScriptedWindowSystem::RectOf(WindowHandle window) const {
    return Existing(window).rect;
}

bool ScriptedWindowSystem::IsTopmost(WindowHandle window) const {
    return Existing(window).topmost;
}

// Problem: parent links come from the test and may dangle or loop. Solution: a child is stacked on its
// parent only when the parent exists and the window lies on no loop of such links; a window on a loop is
// stacked as top-level. So the stacking parents form a forest.
std::map<WindowHandle, WindowHandle> ScriptedWindowSystem::StackingParents() const {
    std::map<WindowHandle, WindowHandle> parents;
    for (const auto& [handle, window] : windows_) {
        parents[handle] = window.child && windows_.contains(window.parent_or_owner) ? window.parent_or_owner : 0;
    }
    enum class Mark { Unseen, OnPath, Done };
    std::map<WindowHandle, Mark> marks;
    for (const auto& entry : parents) {
        std::vector<WindowHandle> path;
        WindowHandle current = entry.first;
        while (current != 0 && marks[current] == Mark::Unseen) {
            marks[current] = Mark::OnPath;
            path.push_back(current);
            current = parents[current];
        }
        if (current != 0 && marks[current] == Mark::OnPath) {
            const auto loop_start = std::find(path.begin(), path.end(), current);
            for (auto on_loop = loop_start; on_loop != path.end(); ++on_loop) {
                parents[*on_loop] = 0;
            }
        }
        for (WindowHandle walked : path) {
            marks[walked] = Mark::Done;
        }
    }
    return parents;
}

std::vector<ScriptedWindowSystem::Stacked> ScriptedWindowSystem::BackToFront() const {
    const std::map<WindowHandle, WindowHandle> parents = StackingParents();
    std::map<WindowHandle, std::vector<WindowHandle>> children;
    std::vector<WindowHandle> roots;
    for (WindowHandle window : stacking_) {
        const WindowHandle parent = parents.at(window);
        (parent == 0 ? roots : children[parent]).push_back(window);
    }
    std::stable_partition(roots.begin(), roots.end(), [this](WindowHandle window) { return !IsTopmost(window); });
    // Depth first without recursion: chains of thousands of children are ordinary test material.
    std::vector<Stacked> order;
    order.reserve(stacking_.size());
    std::vector<Stacked> pending;
    for (auto root = roots.rbegin(); root != roots.rend(); ++root) {
        pending.push_back({*root, windows_.at(*root).visible});
    }
    while (!pending.empty()) {
        const Stacked next = pending.back();
        pending.pop_back();
        order.push_back(next);
        const std::vector<WindowHandle>& below = children[next.handle];
        for (auto child = below.rbegin(); child != below.rend(); ++child) {
            pending.push_back({*child, next.shown && windows_.at(*child).visible});
        }
    }
    return order;
}

std::vector<WindowHandle> ScriptedWindowSystem::ZOrderFrontToBack() const {
    std::vector<WindowHandle> order;
    for (const Stacked& window : BackToFront()) {
        order.push_back(window.handle);
    }
    std::reverse(order.begin(), order.end());
    return order;
}

int ScriptedWindowSystem::Calls(std::string_view operation) const {
    if (std::find(kOperations.begin(), kOperations.end(), operation) == kOperations.end()) {
        throw std::invalid_argument("no window-system operation is called " + std::string(operation));
    }
    const auto found = calls_.find(operation);
    return found == calls_.end() ? 0 : found->second;
}

int ScriptedWindowSystem::TextReads(WindowHandle window) const {
    const auto found = text_reads_.find(window);
    return found == text_reads_.end() ? 0 : found->second;
}

// Returns false for a call made from inside the hook, which is the test's own and is not counted.
bool ScriptedWindowSystem::BeginCall(std::string_view operation) {
    if (in_hook_) {
        return false;
    }
    ++calls_[std::string(operation)];
    if (before_call) {
        in_hook_ = true;
        try {
            before_call(operation);
        } catch (...) {
            in_hook_ = false;
            throw;
        }
        in_hook_ = false;
    }
    return true;
}

std::int32_t ScriptedWindowSystem::GetCursorPos(Point& point) {
    BeginCall("GetCursorPos");
    point = pointer_;
    return 1;
}

WindowHandle ScriptedWindowSystem::WindowFromPoint(Point point) {
    BeginCall("WindowFromPoint");
    const std::vector<Stacked> order = BackToFront();
    const auto hit = std::find_if(order.rbegin(), order.rend(), [&](const Stacked& window) {
        const Rectangle& rect = windows_.at(window.handle).rect;
        return window.shown && rect.Left <= point.x && point.x < rect.Right && rect.Top <= point.y &&
               point.y < rect.Bottom;
    });
    return hit == order.rend() ? 0 : hit->handle;
}

std::string ScriptedWindowSystem::GetClassNameA(WindowHandle window, std::int32_t max_count) {
    BeginCall("GetClassNameA");
    const ScriptedWindow* found = Find(window);
    return found == nullptr ? std::string() : FitInBuffer(found->class_name, max_count);
}

std::int32_t ScriptedWindowSystem::GetWindowTextLengthA(WindowHandle window) {
    BeginCall("GetWindowTextLengthA");
    const ScriptedWindow* found = Find(window);
    return found == nullptr ? 0 : CodePointCount(found->text);
}

std::string ScriptedWindowSystem::GetWindowTextA(WindowHandle window, std::int32_t max_count) {
    if (BeginCall("GetWindowTextA")) {
        ++text_reads_[window];
    }
    const ScriptedWindow* found = Find(window);
    return found == nullptr ? std::string() : FitInBuffer(found->text, max_count);
}

std::int32_t ScriptedWindowSystem::GetWindowLongA(WindowHandle window, std::int32_t index) {
    BeginCall("GetWindowLongA");
    const ScriptedWindow* found = Find(window);
    return found != nullptr && index == GWL_HWNDPARENT ? found->parent_or_owner : 0;
}

std::int32_t ScriptedWindowSystem::GetWindowRect(WindowHandle window, Rectangle& rect) {
    BeginCall("GetWindowRect");
    const ScriptedWindow* found = Find(window);
    if (found == nullptr) {
        return 0;
    }
    rect = found->rect;
    return 1;
}

void ScriptedWindowSystem::Restack(WindowHandle window, WindowHandle insert_after) {
    ScriptedWindow& target = windows_.at(window);
    if (insert_after == HWND_NOTOPMOST) {
        target.topmost = false;
        return;
    }
    if (insert_after == window) {
        return;
    }
    if (insert_after != HWND_TOPMOST && insert_after != kHwndTop && insert_after != kHwndBottom &&
        !windows_.contains(insert_after)) {
        return;
    }
    std::erase(stacking_, window);
    if (insert_after == HWND_TOPMOST) {
        target.topmost = true;
        stacking_.push_back(window);
    } else if (insert_after == kHwndTop) {
        stacking_.push_back(window);
    } else if (insert_after == kHwndBottom) {
        target.topmost = false;
        stacking_.insert(stacking_.begin(), window);
    } else {
        // The window goes just behind the one named, into that one's band.
        target.topmost = windows_.at(insert_after).topmost;
        stacking_.insert(std::find(stacking_.begin(), stacking_.end(), insert_after), window);
    }
}

std::int32_t ScriptedWindowSystem::SetWindowPos(WindowHandle window,
                                                WindowHandle insert_after,
                                                std::int32_t x,
                                                std::int32_t y,
                                                std::int32_t cx,
                                                std::int32_t cy,
                                                std::uint32_t flags) {
    journal_->Record(SetWindowPosEntry(window, insert_after, x, y, cx, cy, flags));
    BeginCall("SetWindowPos");
    if (!windows_.contains(window)) {
        return 0;
    }
    if ((flags & kSwpNoZOrder) == 0) {
        Restack(window, insert_after);
    }
    ScriptedWindow& target = windows_.at(window);
    const Rectangle before = target.rect;
    const bool was_visible = target.visible;
    if ((flags & SWP_NOMOVE) == 0) {
        target.rect = {x, y, Saturate(x + Width(before)), Saturate(y + Height(before))};
    }
    if ((flags & SWP_NOSIZE) == 0) {
        target.rect.Right = Saturate(static_cast<std::int64_t>(target.rect.Left) + std::max(cx, 0));
        target.rect.Bottom = Saturate(static_cast<std::int64_t>(target.rect.Top) + std::max(cy, 0));
    }
    if ((flags & SWP_SHOWWINDOW) != 0) {
        target.visible = true;
    } else if ((flags & kSwpHideWindow) != 0) {
        target.visible = false;
    }
    const bool size_changed = Width(target.rect) != Width(before) || Height(target.rect) != Height(before);
    TellObserver(window, size_changed, target.visible != was_visible);
    return 1;
}

// The observer may call back into the system and even destroy the window, so it is looked up afresh
// before each notice.
void ScriptedWindowSystem::TellObserver(WindowHandle window, bool size_changed, bool shown_changed) {
    if (size_changed) {
        if (const auto found = observers_.find(window); found != observers_.end()) {
            found->second->OnSizeChanged();
        }
    }
    if (shown_changed) {
        if (const auto found = observers_.find(window); found != observers_.end()) {
            found->second->OnShownChanged();
        }
    }
}

}  // namespace hovermark::testing
