// What the logic requires of a GUI toolkit. A front end implements the peers and the Toolkit; the logic
// never learns which front end it runs on.
//
// Peers are plain: setting a value on a peer changes the native control and raises nothing. The rules that
// tie values to handlers (a change made by the program runs the same handler as one made by the user, one
// option button of a group clears the others) live once, in the logic's own controls (controls.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "main_window/toolkit/control_values.h"
#include "main_window/toolkit/form_design.h"
#include "main_window/toolkit/runtime_error.h"
#include "window_inspection/window_system.h"

namespace hovermark {

class Toolkit;

class CheckBoxPeer {
  public:
    virtual ~CheckBoxPeer() = default;
    virtual std::int16_t Value() = 0;
    virtual void SetValue(std::int16_t value) = 0;
};

class OptionButtonPeer {
  public:
    virtual ~OptionButtonPeer() = default;
    virtual bool Value() = 0;
    virtual void SetValue(bool selected) = 0;
};

class SliderPeer {
  public:
    virtual ~SliderPeer() = default;
    virtual std::int32_t Value() = 0;
    virtual void SetValue(std::int32_t value) = 0;
    virtual std::int32_t Min() = 0;
    virtual std::int32_t Max() = 0;
};

// A report list: rows with a text and two sub-items. Rows are numbered from 1 and keep the order in which
// they were added; a sub-item never set reads as the empty string. Text is UTF-8.
class ReportListPeer {
  public:
    virtual ~ReportListPeer() = default;
    virtual void Clear() = 0;
    virtual std::int32_t AddRow(const std::string& text) = 0;  // returns the new row's index
    virtual std::int32_t RowCount() = 0;
    virtual std::string RowText(std::int32_t row) = 0;
    virtual std::string SubItem(std::int32_t row, std::int32_t sub_item) = 0;
    virtual void SetSubItem(std::int32_t row, std::int32_t sub_item, const std::string& text) = 0;
    virtual void SetRowBold(std::int32_t row, bool bold) = 0;
    virtual void SetRowForeColor(std::int32_t row, ColorValue color) = 0;
    virtual void SetSubItemForeColor(std::int32_t row, std::int32_t sub_item, ColorValue color) = 0;
    virtual void EnsureVisible(std::int32_t row) = 0;
    // A line of grey text in the list's free space below its rows, for the user's eyes alone: it is no row (so
    // RowCount, RowText and SubItem, and with them the copied report, never see it), and Clear leaves it.
    // Empty takes it away.
    virtual void SetHint(const std::string& text) = 0;
};

// One top-level window built from a FormDesign, with its controls.
class FormPeer {
  public:
    virtual ~FormPeer() = default;

    // The window's handle in the window system; a front end may create the window on first use.
    virtual WindowHandle Handle() = 0;
    // The window's real shown state, however it was shown.
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    // Outer size in twips. A change of size raises the form's Resize event before the call returns.
    virtual void SetWidth(float twips) = 0;
    virtual void SetHeight(float twips) = 0;
    virtual void SetFocus() = 0;
    // The client area's size in the form's drawing scale.
    virtual float ScaleWidth() = 0;
    virtual float ScaleHeight() = 0;
    // A box between two corners in client coordinates, with the design's DrawStyle, FillStyle, FillColor.
    virtual void DrawBox(float x1, float y1, float x2, float y2) = 0;
    // Unloads the form: the window and its controls are destroyed and raise no more events. The peer itself
    // stays valid until its owner releases it.
    virtual void Destroy() = 0;

    virtual CheckBoxPeer& CheckBoxAt(ControlIndex control) = 0;
    virtual OptionButtonPeer& OptionButtonAt(ControlIndex control) = 0;
    virtual SliderPeer& SliderAt(ControlIndex control) = 0;
    virtual ReportListPeer& ReportListAt(ControlIndex control) = 0;
};

// What a form hears from its front end. The public entry points are the only way in: each runs the form's
// handler and, when the handler raises a RuntimeError, hands it to the toolkit, which reports it and ends
// the program. So no error ever crosses back into a front end's event dispatching.
class FormEvents {
  public:
    explicit FormEvents(Toolkit& toolkit) : toolkit_(toolkit) {}
    FormEvents(const FormEvents&) = delete;
    FormEvents& operator=(const FormEvents&) = delete;
    virtual ~FormEvents() = default;

    // The program loads the form, before it is first shown. Only the program's start raises it.
    void Load();
    // After each change of the window's size, and when it is first displayed.
    void Resize();
    // When part of the window must be repainted by the program.
    void Paint();
    // Key preview: before the focused control gets the key.
    void KeyDown(std::int16_t key_code, std::int16_t shift);
    void KeyPress(std::int16_t key_ascii);
    // The window system asks the window to close (Alt+F4, the system menu, the close box).
    void CloseRequested();
    // A command button's click, or a change of a control's value made by the user (the native control
    // already shows the new value).
    void ControlEvent(ControlIndex control);
    // A timer's tick. Ticks never run inside another handler: one that arrives while a handler is still
    // running (a modal message box keeps delivering timer messages) is dropped; the next one comes soon.
    void TimerTick(ControlIndex timer);

  protected:
    virtual void OnLoad() {}
    virtual void OnResize() {}
    virtual void OnPaint() {}
    virtual void OnKeyDown(std::int16_t /*key_code*/, std::int16_t /*shift*/) {}
    virtual void OnKeyPress(std::int16_t /*key_ascii*/) {}
    virtual void OnCloseRequested() {}
    virtual void OnControlEvent(ControlIndex /*control*/) {}

  private:
    template <typename Handler>
    void Guarded(Handler&& handler);

    Toolkit& toolkit_;
};

class Toolkit {
  public:
    Toolkit() = default;
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;
    virtual ~Toolkit() = default;

    // Builds a form and its controls from `design`, hidden. `events` outlives the form. No event is raised
    // before this returns.
    virtual std::unique_ptr<FormPeer> CreateForm(const FormDesign& design, FormEvents& events) = 0;

    // Twips per screen pixel across and down.
    virtual float TwipsPerPixelX() = 0;
    virtual float TwipsPerPixelY() = 0;

    virtual void ClearClipboard() = 0;
    // Puts UTF-8 text on the clipboard as the system's plain (Unicode) text.
    virtual void SetClipboardText(const std::string& text) = 0;

    // A modal message box; returns when the user has closed it, with the button that closed it.
    virtual std::int32_t ShowMessageBox(const std::string& prompt, std::int32_t style, const std::string& title) = 0;

    // Reports an error no handler caught and ends the program; never returns to the handler.
    [[noreturn]] virtual void EndWithRuntimeError(const RuntimeError& error) = 0;

    // Delivers events until every form has been destroyed.
    virtual void RunEventLoop() = 0;
};

// Message box style bits the program uses.
inline constexpr std::int32_t kMessageBoxInformation = 64;

}  // namespace hovermark
