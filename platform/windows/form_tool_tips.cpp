// One tool tip window per form; every control with a tip is a tool of it.
#include "platform/windows/form_tool_tips.h"

#include <string>

#include <commctrl.h>

#include "platform/windows/text_conversion.h"

namespace hovermark::windows {

// Topmost, so that a tip still shows over a form kept on top.
FormToolTips::FormToolTips(HWND form, HINSTANCE instance)
    : form_(form),
      window_(CreateWindowExW(WS_EX_TOPMOST,
                              TOOLTIPS_CLASSW,
                              nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT,
                              CW_USEDEFAULT,
                              CW_USEDEFAULT,
                              CW_USEDEFAULT,
                              form,
                              nullptr,
                              instance,
                              nullptr)) {}

void FormToolTips::Add(HWND control, std::string_view text) {
    if (!window_ || text.empty()) {
        return;
    }
    std::wstring wide = Utf8ToWide(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = form_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace hovermark::windows
