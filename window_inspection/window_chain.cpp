#include "window_inspection/window_chain.h"

#include <algorithm>
#include <string>
#include <vector>

#include "window_inspection/checked_int32.h"
#include "window_inspection/text_cleaning.h"

namespace hovermark {
namespace {

constexpr std::int32_t kHandleColumn = 1;
constexpr std::int32_t kTextColumn = 2;

std::string ReadWindowText(WindowSystem& window_system, WindowHandle window) {
    const std::int32_t length = window_system.GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    return CleanWindowString(window_system.GetWindowTextA(window, CheckedAdd(length, 1)));
}

void AppendWindowRow(WindowSystem& window_system, ReportListPeer& lstInfo, WindowHandle window) {
    const std::string class_name = CleanWindowString(window_system.GetClassNameA(window, kClassNameBufferSize));
    const std::string text = ReadWindowText(window_system, window);
    const std::int32_t row = lstInfo.AddRow(class_name);
    lstInfo.SetSubItem(row, kHandleColumn, std::to_string(window));
    lstInfo.SetSubItem(row, kTextColumn, text);
    if (row == 1) {
        lstInfo.SetRowBold(row, true);
    }
}

}  // namespace

// Problem: the window system promises a chain without cycles, but a client may name itself or a loop of
// windows as its owner, and a handle can be reused while the chain is read. Solution: walk the chain in a
// loop rather than by recursion, stop at a handle already listed, and stop after kMaxChainRows rows (or fewer when the
// caller has listed rows above). Every chain without a cycle still gives exactly one row per window.
void ListWindowChain(WindowSystem& window_system, ReportListPeer& lstInfo, WindowHandle window, std::size_t max_rows) {
    std::vector<WindowHandle> listed;
    for (;;) {
        AppendWindowRow(window_system, lstInfo, window);
        listed.push_back(window);
        const WindowHandle next = window_system.GetWindowLongA(window, window_system_constants::GWL_HWNDPARENT);
        if (next <= 0 || listed.size() >= max_rows || std::find(listed.begin(), listed.end(), next) != listed.end()) {
            return;
        }
        window = next;
    }
}

}  // namespace hovermark
