#include "main_window/clipboard_report.h"

namespace hovermark {

std::string BuildClipboardReport(ReportListPeer& list) {
    std::string report;
    const std::int32_t rows = list.RowCount();
    for (std::int32_t row = 1; row <= rows; ++row) {
        report.append(list.RowText(row)).append("\t");
        report.append(list.SubItem(row, 1)).append("\t");
        report.append(list.SubItem(row, 2)).append("\r\n");
    }
    return report;
}

}  // namespace hovermark
