// One form: a top-level widget built from a FormDesign, its controls and its timers, with the widget's
// events turned into the form's events. The X window comes into existence on first use and goes with
// Destroy; the peer and its controls outlive it, and from then on raise nothing.
#pragma once

#include <QKeyEvent>
#include <QTimer>
#include <memory>
#include <vector>

#include "main_window/toolkit/form_toolkit.h"
#include "platform/qt/form_canvas.h"
#include "platform/qt/form_window.h"
#include "platform/qt/qt_controls.h"

namespace hovermark::qt {

class QtToolkit;

class QtForm final : public FormPeer, private FormWindowEvents {
  public:
    QtForm(QtToolkit& toolkit, const FormDesign& design, FormEvents& events);
    QtForm(const QtForm&) = delete;
    QtForm& operator=(const QtForm&) = delete;
    ~QtForm() override;

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

    // The widget with its X window, created now if it does not exist yet; null once the form is destroyed.
    QWidget* EnsureWindow();
    // Null once the form has been destroyed.
    QWidget* Window() const { return window_.get(); }
    // The control's widget (null for a timer, or once the form is destroyed).
    QWidget* ControlWidget(ControlIndex control) const;
    // Key preview: raises KeyDown and KeyPress for a key bound for the form or one of its controls.
    void PreviewKey(const QKeyEvent& event);
    // The window system has placed, sized, shown or hidden the window behind Qt's back: the widget takes the
    // same geometry and shown state, and a new client size raises Resize before this returns. `outer` is
    // in screen pixels, frame included.
    void OwnWindowChanged(const QRect& outer, bool mapped);

  private:
    void OnPaint(QPainter& painter, const QRect& area) override;
    void OnCloseRequested() override;

    bool RaisesEvents() const;
    // Borderless forms are never activated and the window manager never sees them. Their windows are placed,
    // sized and mapped by the window system alone; the widget follows.
    bool Unmanaged() const { return design_.border_style == BorderStyle::None; }
    void BuildWindow();
    void CreateControls();
    void StartTimers();
    void PlaceAtStart();
    // A new client size: asked of the window system for a bar, made here for a framed window.
    void Resize(QSize client);
    // Takes `client` as the client area's size; a change clears the drawing and raises Resize.
    void SetClientSize(QSize client);
    // Raises the Resize of the first display, unless one came with it.
    void Shown();
    QSize FrameExtra() const;
    template <typename Control>
    Control& ControlAt(ControlIndex control);

    QtToolkit& toolkit_;
    const FormDesign& design_;
    FormEvents& events_;
    std::vector<std::unique_ptr<QtControl>> controls_;  // in the design's order; none for a timer
    // Stopped and let go at Destroy, which may come from inside a tick.
    std::vector<std::unique_ptr<QTimer, DeleteLater>> timers_;
    std::unique_ptr<FormCanvas> canvas_;
    std::unique_ptr<FormWindow, DeleteLater> window_;
    QSize client_size_;
    bool native_ = false;  // the X window exists
    bool destroyed_ = false;
    bool shown_once_ = false;
};

}  // namespace hovermark::qt
