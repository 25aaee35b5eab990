#include "window_inspection/element_rows.h"

#include <algorithm>
#include <cstdint>

#include "window_inspection/text_cleaning.h"

namespace hovermark {

std::size_t ListElementRows(ReportListPeer& lstInfo, const std::vector<Element>& elements, std::size_t max_rows) {
    constexpr std::int32_t kTextColumn = 2;
    const std::size_t count = std::min(elements.size(), max_rows);
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t row = lstInfo.AddRow(CleanElementText(elements[i].role));
        lstInfo.SetSubItem(row, kTextColumn, CleanElementText(elements[i].name));
        if (row == 1) {
            lstInfo.SetRowBold(row, true);
        }
    }
    return count;
}

}  // namespace hovermark
