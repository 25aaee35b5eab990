// The form toolkit on Qt Widgets, on Qt's X11 platform: forms, the twips scale from the screen's logical
// DPI, the clipboard, message boxes, the end of the program on an error, the event loop, and the key preview
// of the forms. A QApplication must exist for as long as the toolkit does, and so must the X11 window system,
// which places, sizes and maps the borderless forms' windows (the bars): their widgets follow it.
#pragma once

#include <QEventLoop>
#include <QRect>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "main_window/toolkit/form_toolkit.h"
#include "main_window/toolkit/handler_guard.h"
#include "main_window/toolkit/twips_scale.h"
#include "platform/qt/key_preview.h"
#include "platform/qt/qt_form.h"

namespace hovermark::x11 {
class XcbWindowSystem;
struct OwnWindowState;
}  // namespace hovermark::x11

namespace hovermark::qt {

class QtToolkit final : public Toolkit {
  public:
    explicit QtToolkit(x11::XcbWindowSystem& window_system);
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;
    ~QtToolkit() override;

    // The first form created is the main form.
    std::unique_ptr<FormPeer> CreateForm(const FormDesign& design, FormEvents& events) override;
    float TwipsPerPixelX() override { return Scale().twips_per_pixel_x; }
    float TwipsPerPixelY() override { return Scale().twips_per_pixel_y; }
    void ClearClipboard() override;
    void SetClipboardText(const std::string& text) override;
    std::int32_t ShowMessageBox(const std::string& prompt, std::int32_t style, const std::string& title) override;
    [[noreturn]] void EndWithRuntimeError(const RuntimeError& error) override;
    void RunEventLoop() override;

    // What the forms need of their toolkit.
    x11::XcbWindowSystem& WindowSystem() const { return window_system_; }
    TwipsScale Scale() const;
    // The program is ending: forms raise no more events.
    bool Ending() const { return ending_; }
    void FormDestroyed(const QtForm& form);
    // The form whose window `widget` is, or nothing.
    QtForm* FormOfWindow(const QWidget* widget) const;
    // Shows the report of an error, or of a failure that is no error of the program, then ends the program.
    [[noreturn]] void EndWithReport(const std::string& report);

    // Runs a handler of the program from one of Qt's callbacks, which no exception may unwind through.
    template <typename Handler>
    void Deliver(Handler&& handler) {
        CallGuarded(*this, std::forward<Handler>(handler));
    }

  private:
    // The window system changed one of the program's windows: its form follows, inside this call.
    void OwnWindowChanged(const x11::OwnWindowState& state);
    QWidget* MessageBoxOwner() const;

    x11::XcbWindowSystem& window_system_;
    std::vector<QtForm*> forms_;  // created and not yet destroyed
    QtForm* main_form_ = nullptr;
    std::unique_ptr<KeyPreviewFilter> key_preview_;
    QEventLoop* running_loop_ = nullptr;
    bool ending_ = false;
};

}  // namespace hovermark::qt
