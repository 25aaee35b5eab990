#include "window_inspection/inspection_cycle.h"

#include <algorithm>
#include <array>
#include <string>

#include "window_inspection/window_chain.h"

namespace hovermark {

InspectionCycle::InspectionCycle(WindowSystem& window_system,
                                 ReportListPeer& lstInfo,
                                 OptionButton& optPlay,
                                 HighlightFrame& frame)
    : window_system_(window_system), lstInfo_(lstInfo), optPlay_(optPlay), frame_(frame) {}

bool InspectionCycle::IsFrameBar(WindowHandle window) const {
    const auto bars = frame_.Bars();
    std::array<WindowHandle, 4> bar_handles{};
    std::transform(bars.begin(), bars.end(), bar_handles.begin(), [](frmBorder* bar) { return bar->Form().Handle(); });
    return std::find(bar_handles.begin(), bar_handles.end(), window) != bar_handles.end();
}

void InspectionCycle::tmrMain_Timer() {
    WindowHandle current = LastHandle;
    if (optPlay_.Value() == kTrue) {
        Point pointer;
        window_system_.GetCursorPos(pointer);
        current = window_system_.WindowFromPoint(pointer);
        // The frame is never inspected: pointing at one of its bars keeps the previous window.
        if (IsFrameBar(current)) {
            current = LastHandle;
        }
    }
    if (current != LastHandle) {
        lstInfo_.Clear();
        ListWindowChain(window_system_, lstInfo_, current);
    }
    if (window_system_.GetWindowRect(current, frame_.TargetRect) > 0) {
        frame_.UpdateBorder();
        DestroyedShown = kFalse;
    } else if (DestroyedShown == kFalse) {
        MarkVanishedWindow();
        DestroyedShown = kTrue;
    }
    LastHandle = current;
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
