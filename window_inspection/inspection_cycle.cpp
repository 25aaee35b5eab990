#include "window_inspection/inspection_cycle.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <utility>

#include "window_inspection/element_rows.h"
#include "window_inspection/window_chain.h"

namespace hovermark {
namespace {

// Problem: an element's extents come from another program, which may give any 32-bit values, and the frame's
// arithmetic on them would overflow. Solution: they are bounded to the range every window system here can
// place a window in (X11's 16-bit coordinates; Windows keeps its windows within it as well) before anything
// is computed from them.
constexpr std::int32_t kMinScreenCoordinate = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t kMaxScreenCoordinate = std::numeric_limits<std::int16_t>::max();

Rectangle BoundedToScreen(const Rectangle& rect) {
    const auto bound = [](std::int32_t value) { return std::clamp(value, kMinScreenCoordinate, kMaxScreenCoordinate); };
    const std::int32_t left = bound(rect.Left);
    const std::int32_t top = bound(rect.Top);
    return {left, top, std::max(left, bound(rect.Right)), std::max(top, bound(rect.Bottom))};
}

}  // namespace

InspectionCycle::InspectionCycle(WindowSystem& window_system,
                                 ReportListPeer& lstInfo,
                                 OptionButton& optPlay,
                                 HighlightFrame& frame,
                                 ElementSystem* element_system)
    : window_system_(window_system),
      lstInfo_(lstInfo),
      optPlay_(optPlay),
      frame_(frame),
      element_system_(element_system) {}

InspectionCycle::~InspectionCycle() {
    if (looking_inside_) {
        element_system_->Stop();
    }
}

bool InspectionCycle::IsFrameBar(WindowHandle window) const {
    const auto bars = frame_.Bars();
    std::array<WindowHandle, 4> bar_handles{};
    std::transform(bars.begin(), bars.end(), bar_handles.begin(), [](frmBorder* bar) { return bar->Form().Handle(); });
    return std::find(bar_handles.begin(), bar_handles.end(), window) != bar_handles.end();
}

std::optional<std::string> InspectionCycle::SetLookInside(bool on) {
    if (on == looking_inside_) {
        return std::nullopt;
    }
    if (on) {
        if (element_system_ == nullptr) {
            return std::string(kNoElementSystemText);
        }
        if (auto problem = element_system_->Start()) {
            return problem;
        }
    } else {
        element_system_->Stop();
        ShowHint({});
    }
    looking_inside_ = on;
    rebuild_pending_ = true;
    LastElements.clear();
    element_framed_ = false;
    return std::nullopt;
}

// Problem: the elements are asked for only where the pointer was read, yet the list, the frame and
// "Destroyed!" must follow the element while paused or while the pointer rests on a bar. Solution: a tick
// that read the pointer hands on the fresh elements; any other tick keeps the elements of the previous one and
// asks only whether the deepest still exists.
void InspectionCycle::tmrMain_Timer() {
    WindowHandle current = LastHandle;
    std::optional<std::vector<Element>> elements;
    std::string hint = hint_;
    if (optPlay_.Value() == kTrue) {
        Point pointer;
        window_system_.GetCursorPos(pointer);
        current = window_system_.WindowFromPoint(pointer);
        // The frame is never inspected: pointing at one of its bars keeps the previous window.
        if (IsFrameBar(current)) {
            current = LastHandle;
        } else if (looking_inside_) {
            elements = ReadElements(current, pointer, hint);
        }
    }
    std::vector<std::string> ids;
    if (elements) {
        std::transform(elements->begin(), elements->end(), std::back_inserter(ids),
                       [](const Element& element) { return element.id; });
    } else {
        ids = LastElements;
    }
    const std::string element = ids.empty() ? std::string() : ids.front();
    if (current != LastHandle || ids != LastElements || rebuild_pending_) {
        // The marks of a window stand until it is read again; an element's go with the list they were in.
        if (rebuild_pending_ || !element.empty()) {
            DestroyedShown = kFalse;
        }
        rebuild_pending_ = false;
        note_.clear();
        lstInfo_.Clear();
        ListRows(current, elements);
    }
    if (elements) {
        element_framed_ = !elements->empty() && elements->front().extents.has_value();
    }
    const bool element_inspected = !element.empty() && element_framed_;
    switch (ReadTargetRect(current, element, elements)) {
        case ElementPresence::kPresent:
            // A window that is back is framed and marked again when it next vanishes; an element that flips
            // between gone and present stays marked, and unframed, for as long as it is held.
            if (!element_inspected) {
                frame_.UpdateBorder();
                DestroyedShown = kFalse;
            } else if (DestroyedShown == kFalse) {
                frame_.UpdateBorder();
            }
            break;
        case ElementPresence::kGone:
            if (DestroyedShown == kFalse) {
                MarkVanishedWindow();
                DestroyedShown = kTrue;
            }
            break;
        case ElementPresence::kNotKnownNow:
            // Its application did not answer in time: the frame stays where it was.
            break;
    }
    LastHandle = current;
    LastElements = std::move(ids);
    ShowHint(hint);
}

// Not known now at the place where the elements listed were found, or on the deepest one's frame: those stand,
// and the tick goes on as if it had not read the pointer. Anywhere else: the window rows alone.
std::optional<std::vector<Element>> InspectionCycle::ReadElements(WindowHandle window,
                                                                  Point pointer,
                                                                  std::string& hint) {
    if (window <= 0) {
        hint.clear();
        return std::vector<Element>{};
    }
    ElementsAnswer answer = element_system_->ElementsAt(window, pointer);
    if (!answer.known) {
        const bool on_held = window == LastHandle && !LastElements.empty() &&
                             (element_framed_ ? Holds(frame_.TargetRect, pointer) : pointer == elements_pointer_);
        if (on_held) {
            return std::nullopt;
        }
        hint.clear();
        return std::vector<Element>{};
    }
    hint = std::move(answer.hint);
    for (Element& element : answer.elements) {
        if (element.extents) {
            element.extents = BoundedToScreen(*element.extents);
        }
    }
    elements_pointer_ = pointer;
    return std::move(answer.elements);
}

// The hint is told apart from the rows: it changes on its own, and the list is asked only when what it shows
// below them does.
void InspectionCycle::ShowHint(const std::string& hint) {
    hint_ = hint;
    const std::string& below = note_.empty() ? hint_ : note_;
    if (below != shown_below_) {
        shown_below_ = below;
        lstInfo_.SetHint(shown_below_);
    }
}

void InspectionCycle::ShowNote(std::string note) {
    note_ = std::move(note);
    ShowHint(hint_);
}

void InspectionCycle::ListRows(WindowHandle window, const std::optional<std::vector<Element>>& elements) {
    std::size_t listed = 0;
    if (elements) {
        // The window under the pointer is always listed, however deep the elements go.
        listed = ListElementRows(lstInfo_, *elements, kMaxChainRows - 1);
    }
    ListWindowChain(window_system_, lstInfo_, window, kMaxChainRows - listed);
}

// The frame lies on the deepest element's extents: fresh from this tick, or read again for the element held.
// Without an element that has extents of its own, it lies on the window.
ElementPresence InspectionCycle::ReadTargetRect(WindowHandle window,
                                                const std::string& element,
                                                const std::optional<std::vector<Element>>& elements) {
    if (element.empty() || !element_framed_) {
        return window_system_.GetWindowRect(window, frame_.TargetRect) > 0 ? ElementPresence::kPresent
                                                                           : ElementPresence::kGone;
    }
    if (elements) {
        frame_.TargetRect = *elements->front().extents;
        return ElementPresence::kPresent;
    }
    Rectangle rect = frame_.TargetRect;
    const ElementPresence presence = element_system_->GetElementRect(element, rect);
    if (presence == ElementPresence::kPresent) {
        frame_.TargetRect = BoundedToScreen(rect);
    }
    return presence;
}

void InspectionCycle::MarkVanishedWindow() {
    constexpr std::int32_t kExplanationColumn = 2;
    lstInfo_.AddRow({});
    const std::int32_t row = lstInfo_.AddRow(std::string(kDestroyedRowText));
    lstInfo_.SetSubItem(row, kExplanationColumn, std::string(kDestroyedExplanation));
    lstInfo_.SetSubItemForeColor(row, kExplanationColumn, kDestroyedExplanationColor);
    lstInfo_.SetRowForeColor(row, kDestroyedRowColor);
    lstInfo_.EnsureVisible(row);
    frame_.SetBarsVisible(false);
}

}  // namespace hovermark
