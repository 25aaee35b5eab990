#include "window_inspection/inspection_cycle.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "window_inspection/element_rows.h"
#include "window_inspection/window_chain.h"

namespace hovermark {

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
    }
    looking_inside_ = on;
    rebuild_pending_ = true;
    LastElement.clear();
    element_framed_ = false;
    return std::nullopt;
}

// Problem: the elements are asked for only where the pointer was read, yet the list, the frame and
// "Destroyed!" must follow the element while paused or while the pointer rests on a bar. Solution: a tick
// that read the pointer hands on the fresh elements; any other tick keeps the element of the previous one and
// asks only whether it still exists.
void InspectionCycle::tmrMain_Timer() {
    WindowHandle current = LastHandle;
    std::optional<std::vector<Element>> elements;
    if (optPlay_.Value() == kTrue) {
        Point pointer;
        window_system_.GetCursorPos(pointer);
        current = window_system_.WindowFromPoint(pointer);
        // The frame is never inspected: pointing at one of its bars keeps the previous window.
        if (IsFrameBar(current)) {
            current = LastHandle;
        } else if (looking_inside_) {
            elements = current > 0 ? element_system_->ElementsAt(current, pointer) : std::vector<Element>{};
        }
    }
    const std::string element = elements ? (elements->empty() ? std::string() : elements->front().id) : LastElement;
    if (current != LastHandle || element != LastElement || rebuild_pending_) {
        if (rebuild_pending_) {
            DestroyedShown = kFalse;
            rebuild_pending_ = false;
        }
        lstInfo_.Clear();
        ListRows(current, elements);
    }
    if (elements) {
        element_framed_ = !elements->empty() && elements->front().extents.has_value();
    }
    if (ReadTargetRect(current, element, elements)) {
        frame_.UpdateBorder();
        DestroyedShown = kFalse;
    } else if (DestroyedShown == kFalse) {
        MarkVanishedWindow();
        DestroyedShown = kTrue;
    }
    LastHandle = current;
    LastElement = element;
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
bool InspectionCycle::ReadTargetRect(WindowHandle window,
                                     const std::string& element,
                                     const std::optional<std::vector<Element>>& elements) {
    if (element.empty() || !element_framed_) {
        return window_system_.GetWindowRect(window, frame_.TargetRect) > 0;
    }
    if (elements) {
        frame_.TargetRect = *elements->front().extents;
        return true;
    }
    return element_system_->GetElementRect(element, frame_.TargetRect);
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
