// One bar of the highlight frame: a borderless top-level window that is red, carries a golden diagonal
// hatch, and knows nothing about which side of the frame it is.
#pragma once

#include <memory>

#include "main_window/toolkit/form_toolkit.h"

namespace hovermark {

extern const FormDesign kBorderWindowDesign;

class frmBorder final : public FormEvents {
  public:
    // Builds the bar's form, hidden, at its design size.
    explicit frmBorder(Toolkit& toolkit);
    frmBorder(const frmBorder&) = delete;
    frmBorder& operator=(const frmBorder&) = delete;
    ~frmBorder() override;

    FormPeer& Form() { return *form_; }
    // Destroys the bar's window.
    void Unload() { form_->Destroy(); }

  protected:
    void OnResize() override { Form_Resize(); }
    void OnPaint() override { Form_Paint(); }

  private:
    void Form_Resize();
    void Form_Paint() {}  // the red background is the window's own; the hatch is laid on at each resize

    std::unique_ptr<FormPeer> form_;
};

}  // namespace hovermark
