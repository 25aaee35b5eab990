// The form toolkit on native Win32 windows and common controls: forms, the twips scale, the clipboard, message
// boxes, the end of the program on an error, and the message loop with the forms' key preview.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "main_window/toolkit/form_toolkit.h"
#include "main_window/toolkit/twips_scale.h"
#include "platform/windows/win32_form.h"

namespace hovermark::windows {

class Win32Toolkit final : public Toolkit {
  public:
    explicit Win32Toolkit(HINSTANCE instance);

    // The first form created is the main form: the scale follows its window's DPI.
    std::unique_ptr<FormPeer> CreateForm(const FormDesign& design, FormEvents& events) override;
    float TwipsPerPixelX() override { return Scale().twips_per_pixel_x; }
    float TwipsPerPixelY() override { return Scale().twips_per_pixel_y; }
    void ClearClipboard() override;
    void SetClipboardText(const std::string& text) override;
    std::int32_t ShowMessageBox(const std::string& prompt, std::int32_t style, const std::string& title) override;
    [[noreturn]] void EndWithRuntimeError(const RuntimeError& error) override;
    void RunEventLoop() override;

    // What the forms need of their toolkit.
    HINSTANCE Instance() const { return instance_; }
    TwipsScale Scale();
    // The program is ending: forms raise no more events.
    bool Ending() const { return ending_; }
    void FormDestroyed(const Win32Form& form);
    // Shows the report of an error, or of a failure that is no error of the program (no memory, a window the
    // system would not create), then ends the program.
    [[noreturn]] void EndWithReport(const std::string& report);

  private:
    void ProcessMessage(MSG& message);
    Win32Form* FormContaining(HWND window) const;
    HWND MainWindow() const;

    HINSTANCE instance_;
    Win32Form::WindowClass window_class_;
    std::vector<Win32Form*> forms_;  // created and not yet destroyed
    Win32Form* main_form_ = nullptr;
    bool main_form_created_ = false;
    UINT main_dpi_;  // the main window's DPI when last seen; the system's before it exists
    bool ending_ = false;
};

}  // namespace hovermark::windows
