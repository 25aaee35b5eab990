// The system clipboard, opened for one operation at a time on behalf of one of the program's windows. Another
// program may hold it open for a moment; it gets a few brief retries, and after them the operation does
// nothing, as the program's clipboard commands have no way to report a failure.
#pragma once

#include <windows.h>

#include <string_view>

namespace hovermark::windows {

void EmptyClipboardFor(HWND owner);
// Replaces the clipboard's contents with the text as CF_UNICODETEXT.
void PutClipboardText(HWND owner, std::wstring_view text);

}  // namespace hovermark::windows
