// The Qt widgets behind the peers the logic holds. A peer keeps its value where the logic can still read it
// once the window has gone, sets the widget without raising anything, and tells its form, through the
// callback the form gives it, only of the user's own clicks and changes.
#pragma once

#include <QFont>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QSlider>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "main_window/toolkit/form_toolkit.h"

namespace hovermark::qt {

// Where and how large a control is, in pixels, with the font and picture scale of its form's scale.
struct ControlGeometry {
    QRect bounds;
    QFont font;
    bool has_font = false;
    int picture_scale = 1;
    std::vector<int> column_widths;
};

class QtControl {
  public:
    explicit QtControl(const ControlDesign& design) : design_(design) {}
    QtControl(const QtControl&) = delete;
    QtControl& operator=(const QtControl&) = delete;
    virtual ~QtControl() = default;

    // Creates the widget on `form` with the peer's current value; `user_event` is called after each click
    // or change of value made by the user, once the widget shows it.
    void Create(QWidget& form, const ControlGeometry& geometry, std::function<void()> user_event);
    // Null before creation and once the form's window has gone (the form owns the widget).
    QWidget* Widget() const { return widget_.data(); }

  protected:
    virtual QWidget* MakeWidget(QWidget& form) = 0;
    virtual void Initialize(const ControlGeometry& /*geometry*/) {}

    void RaiseUserEvent() const {
        if (user_event_) {
            user_event_();
        }
    }

    const ControlDesign& design_;
    QPointer<QWidget> widget_;
    // The receiving end of the widget's signals: with the peer goes every connection to it, even while the
    // widget itself waits for its deletion.
    QObject connections_;

  private:
    std::function<void()> user_event_;
};

// A graphical check box, option button or command button: a push button showing its picture (or the down
// picture while a check box is checked) instead of a caption.
class QtButtonControl : public QtControl {
  public:
    using QtControl::QtControl;

  protected:
    QWidget* MakeWidget(QWidget& form) override;
    void Initialize(const ControlGeometry& geometry) override;
    // A click by the user, `checked` the button's own new state.
    virtual void OnClicked(bool /*checked*/) { RaiseUserEvent(); }
    QPushButton* Button() const { return qobject_cast<QPushButton*>(widget_.data()); }
    void ShowPicture(bool down) const;

  private:
    QIcon picture_;
    QIcon down_picture_;
};

class QtCheckBox final : public QtButtonControl, public CheckBoxPeer {
  public:
    explicit QtCheckBox(const ControlDesign& design);
    std::int16_t Value() override { return value_; }
    void SetValue(std::int16_t value) override;

  protected:
    void Initialize(const ControlGeometry& geometry) override;
    void OnClicked(bool checked) override;

  private:
    void Show() const;
    std::int16_t value_;
};

class QtOptionButton final : public QtButtonControl, public OptionButtonPeer {
  public:
    explicit QtOptionButton(const ControlDesign& design);
    bool Value() override { return value_; }
    void SetValue(bool selected) override;

  protected:
    void Initialize(const ControlGeometry& geometry) override;
    void OnClicked(bool checked) override;

  private:
    bool value_;
};

class QtCommandButton final : public QtButtonControl {
  public:
    using QtButtonControl::QtButtonControl;

  protected:
    void Initialize(const ControlGeometry& geometry) override;
};

class QtSlider final : public QtControl, public SliderPeer {
  public:
    explicit QtSlider(const ControlDesign& design);
    std::int32_t Value() override { return value_; }
    void SetValue(std::int32_t value) override;
    std::int32_t Min() override { return design_.min; }
    std::int32_t Max() override { return design_.max; }

  protected:
    QWidget* MakeWidget(QWidget& form) override;
    void Initialize(const ControlGeometry& geometry) override;

  private:
    QSlider* Slider() const { return qobject_cast<QSlider*>(widget_.data()); }
    // The position last set by the program or reported to it.
    std::int32_t value_;
};

// The peer for a control of the design; nothing for a timer, which is the form's.
std::unique_ptr<QtControl> MakeControl(const ControlDesign& design);

}  // namespace hovermark::qt
