// A window's whole text, the way a test framework reads it: asked of the thread that owns the window with
// WM_GETTEXTLENGTH and WM_GETTEXT, each message given up on after a short wait, so a hung or busy program
// costs that wait and never more. And the text the system itself holds for a window, read with no message.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace hovermark::windows {

// How long a text message waits for the window's thread, each.
inline constexpr UINT kTextMessageTimeoutMs = 100;

// The text as UTF-8, whole however long (up to millions of characters); none when the thread did not
// answer in time or the window has gone. A text that changes while it is read is read again, a few times
// at most.
std::optional<std::string> AskedWindowText(HWND window, UINT timeout_ms = kTextMessageTimeoutMs);

// The text the system keeps for the window (its caption), read without a message: what stands in for a
// thread that does not answer.
std::string HeldWindowText(HWND window);

}  // namespace hovermark::windows
