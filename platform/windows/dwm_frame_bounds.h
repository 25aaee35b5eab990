// The rectangle of a top-level window's visible pixels, as the desktop compositor reports it. On Windows 10
// and 11 GetWindowRect counts a sizing border's invisible resize margins too, so the frame would float
// beside the window. dwmapi.dll is loaded at run time, so the program imports no DLL beyond the ones every
// Windows has and starts wherever it did before; where the call is missing, every query has no answer.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/windows/unique_handles.h"

namespace hovermark::windows {

class DwmFrameBounds {
  public:
    // Loads dwmapi.dll from the system directory, once for the life of this object.
    DwmFrameBounds();

    // Whether the compositor's call was found; without it Of() never answers.
    bool Available() const { return get_window_attribute_ != nullptr; }
    // The window's extended frame bounds in screen pixels, or nothing when the compositor cannot tell
    // (composition off, a window it does not know, a system without the call).
    std::optional<RECT> Of(HWND window) const;

  private:
    using GetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);

    UniqueLibrary library_;
    GetWindowAttribute get_window_attribute_ = nullptr;
};

}  // namespace hovermark::windows
