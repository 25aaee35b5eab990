// A form's client area as the program draws on it: the background colour, and the boxes drawn since the last
// change of size, kept as an image so that the window can lay them again whenever it is uncovered.
#pragma once

#include <windows.h>

#include "main_window/toolkit/form_design.h"
#include "platform/windows/unique_handles.h"

namespace hovermark::windows {

class FormCanvas {
  public:
    explicit FormCanvas(const FormDesign& design);

    // After a change of size the program draws again, from nothing.
    void Clear() { image_.reset(); }
    // A box in client pixels (right and bottom just outside it), drawn at once and kept.
    void DrawBox(HWND window, const RECT& box);
    // Lays `area` of the client again: the background and what was drawn on it.
    void Paint(HDC dc, const RECT& area) const;
    HBRUSH BackgroundBrush() const;

  private:
    void DrawBoxOnto(HDC dc, const RECT& box) const;

    const FormDesign& design_;
    UniqueBrush own_background_;  // none for a system colour: the system owns that brush
    UniqueBitmap image_;
};

}  // namespace hovermark::windows
