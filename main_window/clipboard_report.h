// The list as the user gets it on the clipboard: tab-separated text, one CR LF-ended line per row.
#pragma once

#include <string>

#include "main_window/toolkit/form_toolkit.h"

namespace hovermark {

// Row text, tab, sub-item 1, tab, sub-item 2, CR LF for every row in list order; fields as they stand.
std::string BuildClipboardReport(ReportListPeer& list);

}  // namespace hovermark
