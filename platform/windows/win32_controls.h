// The native controls behind the peers the logic holds. A peer keeps its value where the logic can still read
// it once the window has gone, sets the native control without raising anything, and tells its form which of
// the control's notifications are the user's own clicks and changes, the only ones the form reports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include <commctrl.h>

#include "main_window/toolkit/form_toolkit.h"
#include "platform/windows/form_layout.h"
#include "platform/windows/unique_handles.h"

namespace hovermark::windows {

// Where a control's window goes: its form, and the command id its notifications carry.
struct ControlSite {
    HWND form = nullptr;
    HINSTANCE instance = nullptr;
    int id = 0;
};

class Win32Control {
  public:
    explicit Win32Control(const ControlDesign& design) : design_(design) {}
    Win32Control(const Win32Control&) = delete;
    Win32Control& operator=(const Win32Control&) = delete;
    virtual ~Win32Control() = default;

    // Creates the native control with the peer's current value. Controls created later follow it in the
    // tab order.
    void Create(const ControlSite& site, const ControlGeometry& geometry);
    // Places the control and remakes what depends on the scale: its font, its pictures, its columns.
    virtual void ApplyGeometry(const ControlGeometry& geometry);
    void Destroy() { window_.reset(); }
    HWND Window() const { return window_.get(); }

    // A WM_COMMAND notification code, a scroll, a WM_NOTIFY from the native control. The first two answer
    // whether it was a click or a change of value by the user; OnNotify answers for the form when it has
    // an answer to give.
    virtual bool OnCommand(WORD /*notification*/) { return false; }
    virtual bool OnScroll() { return false; }
    virtual std::optional<LRESULT> OnNotify(NMHDR& /*header*/) { return std::nullopt; }
    virtual void OnSystemColorsChanged() {}

  protected:
    struct NativeClass {
        const wchar_t* name = nullptr;
        DWORD style = 0;
        DWORD ex_style = 0;
    };

    // What to create, and the settings made once, right after creation.
    virtual NativeClass Native() const = 0;
    virtual void Initialize(const ControlGeometry& /*geometry*/) {}

    LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
        return window_ ? SendMessageW(window_.get(), message, wparam, lparam) : 0;
    }

    const ControlDesign& design_;
    UniqueWindow window_;

  private:
    UniqueFont font_;
};

// A graphical button's picture and down picture at one scale.
class ButtonPictures {
  public:
    ButtonPictures() = default;
    ButtonPictures(const ControlDesign& design, int scale);
    void ShowOn(HWND button, bool down) const;

  private:
    UniqueImageList picture_;
    UniqueImageList down_picture_;
};

class Win32CheckBox final : public Win32Control, public CheckBoxPeer {
  public:
    explicit Win32CheckBox(const ControlDesign& design);
    std::int16_t Value() override { return value_; }
    void SetValue(std::int16_t value) override;
    void ApplyGeometry(const ControlGeometry& geometry) override;
    bool OnCommand(WORD notification) override;

  private:
    NativeClass Native() const override;
    void Show() const;

    std::int16_t value_;
    ButtonPictures pictures_;
};

class Win32OptionButton final : public Win32Control, public OptionButtonPeer {
  public:
    explicit Win32OptionButton(const ControlDesign& design);
    bool Value() override { return value_; }
    void SetValue(bool selected) override;
    void ApplyGeometry(const ControlGeometry& geometry) override;
    bool OnCommand(WORD notification) override;

  private:
    NativeClass Native() const override;
    void Initialize(const ControlGeometry& geometry) override;

    bool value_;
    ButtonPictures pictures_;
};

class Win32CommandButton final : public Win32Control {
  public:
    using Win32Control::Win32Control;
    void ApplyGeometry(const ControlGeometry& geometry) override;
    bool OnCommand(WORD notification) override;

  private:
    NativeClass Native() const override;

    ButtonPictures pictures_;
};

class Win32Slider final : public Win32Control, public SliderPeer {
  public:
    explicit Win32Slider(const ControlDesign& design);
    std::int32_t Value() override { return value_; }
    void SetValue(std::int32_t value) override;
    std::int32_t Min() override { return design_.min; }
    std::int32_t Max() override { return design_.max; }
    void ApplyGeometry(const ControlGeometry& geometry) override;
    bool OnScroll() override;

  private:
    NativeClass Native() const override;
    void Initialize(const ControlGeometry& geometry) override;

    // The position last set by the program or reported to it.
    std::int32_t value_;
};

// The peer for a control of the design; nothing for a timer, which is the form's.
std::unique_ptr<Win32Control> MakeControl(const ControlDesign& design);

}  // namespace hovermark::windows
