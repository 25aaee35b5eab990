// One form: a top-level window built from a FormDesign, its controls, its timers and its tool tips, with the
// window's messages turned into the form's events. The window comes into existence on first use and goes
// with Destroy; the peer and its controls outlive it, and from then on raise nothing.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "main_window/toolkit/form_toolkit.h"
#include "platform/windows/form_canvas.h"
#include "platform/windows/form_layout.h"
#include "platform/windows/form_tool_tips.h"
#include "platform/windows/unique_handles.h"
#include "platform/windows/win32_controls.h"

namespace hovermark::windows {

class Win32Toolkit;

class Win32Form final : public FormPeer {
  public:
    // The window class of every form's window, registered for as long as this lives.
    class WindowClass {
      public:
        explicit WindowClass(HINSTANCE instance);
        WindowClass(const WindowClass&) = delete;
        WindowClass& operator=(const WindowClass&) = delete;
        ~WindowClass();

      private:
        HINSTANCE instance_;
    };

    // `follows_dpi`: the form is laid out again when its window moves to a screen of another DPI. Other
    // forms keep the pixel size and place the program gives them.
    Win32Form(Win32Toolkit& toolkit, const FormDesign& design, FormEvents& events, bool follows_dpi);
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;
    ~Win32Form() override;

    WindowHandle Handle() override;
    bool Visible() override;
    void SetVisible(bool visible) override;
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    void SetFocus() override;
    float ScaleWidth() override;
    float ScaleHeight() override;
    void DrawBox(float x1, float y1, float x2, float y2) override;
    void Destroy() override;

    CheckBoxPeer& CheckBoxAt(ControlIndex control) override;
    OptionButtonPeer& OptionButtonAt(ControlIndex control) override;
    SliderPeer& SliderAt(ControlIndex control) override;
    ReportListPeer& ReportListAt(ControlIndex control) override;

    // The window, created now if it does not exist yet; null once the form has been destroyed.
    HWND EnsureWindow();
    // Null before the window's creation and after its destruction.
    HWND Window() const { return window_.get(); }
    // Key preview: raises KeyDown or KeyPress for a key message bound for the form or one of its controls.
    void PreviewKey(const MSG& message);
    // Moves the focus among the controls for Tab and the arrow keys; true when it has dealt with the message.
    bool HandleNavigationKey(MSG& message);

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

    bool RaisesEvents() const;
    bool NeverActivated() const { return design_.border_style == BorderStyle::None; }
    SIZE OuterSize(SIZE client, UINT dpi) const;
    void PlaceAtDesignSize(SIZE client);
    void CreateControls(const FormLayout& layout);
    void CreateToolTips();
    void ApplyLayout(const FormLayout& layout);
    void StartTimers();
    void SetOuterSize(std::optional<int> width, std::optional<int> height);
    HWND FocusTarget() const;
    std::optional<ControlIndex> ControlWithWindow(HWND window) const;
    template <typename Control>
    Control& ControlAt(ControlIndex control);

    void OnSize();
    void OnWindowPosChanged(const WINDOWPOS& position);
    void OnPaint();
    void OnCommand(WORD notification, HWND sender);
    void OnScroll(HWND sender);
    std::optional<LRESULT> OnNotify(NMHDR& header);
    void OnTimer(UINT_PTR timer);
    void OnActivate(WORD state, bool minimized);
    void OnDpiChanged(const RECT& suggested);
    void OnSystemColorsChanged(WPARAM wparam, LPARAM lparam);

    Win32Toolkit& toolkit_;
    const FormDesign& design_;
    FormEvents& events_;
    const bool follows_dpi_;
    std::vector<std::unique_ptr<Win32Control>> controls_;  // in the design's order; none for a timer
    FormCanvas canvas_;
    UniqueIcon big_icon_;
    UniqueIcon small_icon_;
    std::optional<FormToolTips> tool_tips_;
    UniqueWindow window_;
    SIZE client_size_{};
    HWND last_focus_ = nullptr;  // the control that had the focus when the form was last deactivated
    bool creating_ = false;
    bool destroyed_ = false;
    bool shown_once_ = false;
};

}  // namespace hovermark::windows
