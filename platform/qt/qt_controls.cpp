// Push buttons and the slider as peers: their values, their pictures and which signals are the user's.
#include "platform/qt/qt_controls.h"

#include <QKeyEvent>
#include <QPixmap>
#include <utility>

#include "platform/qt/picture_images.h"
#include "platform/qt/qt_report_list.h"

namespace hovermark::qt {
namespace {

QIcon ButtonIcon(std::string_view picture, ColorValue mask_color, int scale) {
    const QImage image = PictureImage(picture, mask_color, scale);
    if (image.isNull()) {
        return {};
    }
    const QPixmap pixmap = QPixmap::fromImage(image);
    QIcon icon;
    // The same pixels whatever the button's state: a pressed button shows its picture unchanged.
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Selected}) {
        icon.addPixmap(pixmap, mode, QIcon::Off);
        icon.addPixmap(pixmap, mode, QIcon::On);
    }
    return icon;
}

// A horizontal slider steps as the other front end's does: Up and Page Up towards the minimum, Down and Page
// Down towards the maximum (Qt's own slider takes Up as a step towards the maximum). Left, Right, Home and
// End are the same in both.
class SliderKeys final : public QObject {
  public:
    explicit SliderKeys(QSlider& slider) : QObject(&slider), slider_(slider) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &slider_ || event->type() != QEvent::KeyPress) {
            return false;
        }
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Up:
                slider_.triggerAction(QAbstractSlider::SliderSingleStepSub);
                return true;
            case Qt::Key_Down:
                slider_.triggerAction(QAbstractSlider::SliderSingleStepAdd);
                return true;
            case Qt::Key_PageUp:
                slider_.triggerAction(QAbstractSlider::SliderPageStepSub);
                return true;
            case Qt::Key_PageDown:
                slider_.triggerAction(QAbstractSlider::SliderPageStepAdd);
                return true;
            default:
                return false;
        }
    }

  private:
    QSlider& slider_;
};

}  // namespace

void QtControl::Create(QWidget& form, const ControlGeometry& geometry, std::function<void()> user_event) {
    user_event_ = std::move(user_event);
    widget_ = MakeWidget(form);
    widget_->setObjectName(QString::fromUtf8(design_.name.data(), static_cast<qsizetype>(design_.name.size())));
    widget_->setGeometry(geometry.bounds);
    if (geometry.has_font) {
        widget_->setFont(geometry.font);
    }
    if (!design_.tool_tip.empty()) {
        widget_->setToolTip(
            QString::fromUtf8(design_.tool_tip.data(), static_cast<qsizetype>(design_.tool_tip.size())));
    }
    widget_->setFocusPolicy(design_.tab_index >= 0 ? Qt::StrongFocus : Qt::NoFocus);
    Initialize(geometry);
}

// ----- buttons -----

QWidget* QtButtonControl::MakeWidget(QWidget& form) {
    auto* button = new QPushButton(&form);  // owned by the form's window
    QObject::connect(button, &QPushButton::clicked, &connections_, [this](bool checked) { OnClicked(checked); });
    return button;
}

void QtButtonControl::Initialize(const ControlGeometry& geometry) {
    QPushButton* button = Button();
    if (!design_.graphical) {
        button->setText(QString::fromUtf8(design_.caption.data(), static_cast<qsizetype>(design_.caption.size())));
        return;
    }
    picture_ = ButtonIcon(design_.picture, design_.mask_color, geometry.picture_scale);
    down_picture_ = ButtonIcon(design_.down_picture, design_.mask_color, geometry.picture_scale);
    if (const PixelArt* art = FindPicture(design_.picture)) {
        button->setIconSize(QSize(art->Width(), art->Height()) * geometry.picture_scale);
    }
    ShowPicture(false);
}

void QtButtonControl::ShowPicture(bool down) const {
    if (QPushButton* button = Button()) {
        button->setIcon(down && !down_picture_.isNull() ? down_picture_ : picture_);
    }
}

// ----- check box -----

QtCheckBox::QtCheckBox(const ControlDesign& design)
    : QtButtonControl(design), value_(static_cast<std::int16_t>(design.initial_value)) {}

// The button checks and clears itself on a click; the peer takes the button's new state as the value, so a
// grayed box becomes checked, as with the other front end.
void QtCheckBox::Initialize(const ControlGeometry& geometry) {
    QtButtonControl::Initialize(geometry);
    QPushButton* button = Button();
    button->setCheckable(true);
    Show();
}

void QtCheckBox::OnClicked(bool checked) {
    value_ = checked ? kChecked : kUnchecked;
    Show();
    RaiseUserEvent();
}

void QtCheckBox::SetValue(std::int16_t value) {
    value_ = value;
    Show();
}

void QtCheckBox::Show() const {
    if (QPushButton* button = Button()) {
        button->setChecked(value_ == kChecked);
        ShowPicture(value_ == kChecked);
    }
}

// ----- option button -----

QtOptionButton::QtOptionButton(const ControlDesign& design)
    : QtButtonControl(design), value_(design.initial_value != 0) {}

// No exclusive group of the toolkit's: the logic keeps the group's buttons exclusive. A click selects the
// button (a click on a selected one leaves it selected) and is reported.
void QtOptionButton::Initialize(const ControlGeometry& geometry) {
    QtButtonControl::Initialize(geometry);
    QPushButton* button = Button();
    button->setCheckable(true);
    button->setAutoExclusive(false);
    button->setChecked(value_);
}

void QtOptionButton::OnClicked(bool /*checked*/) {
    SetValue(true);
    RaiseUserEvent();
}

void QtOptionButton::SetValue(bool selected) {
    value_ = selected;
    if (QPushButton* button = Button()) {
        button->setChecked(value_);
    }
}

// ----- command button -----

// Enter clicks a focused command button, and only a focused one: the form has no default button.
void QtCommandButton::Initialize(const ControlGeometry& geometry) {
    QtButtonControl::Initialize(geometry);
    Button()->setAutoDefault(true);
}

// ----- slider -----

QtSlider::QtSlider(const ControlDesign& design) : QtControl(design), value_(design.initial_value) {}

QWidget* QtSlider::MakeWidget(QWidget& form) {
    auto* slider = new QSlider(Qt::Horizontal, &form);    // owned by the form's window
    slider->installEventFilter(new SliderKeys(*slider));  // owned by the slider
    // Every change of position, by drag, click or key, is one change of value once the slider shows it.
    QObject::connect(slider, &QSlider::valueChanged, &connections_, [this](int position) {
        if (position == value_) {
            return;
        }
        value_ = position;
        RaiseUserEvent();
    });
    return slider;
}

void QtSlider::Initialize(const ControlGeometry& /*geometry*/) {
    QSlider* slider = Slider();
    const QSignalBlocker quiet(slider);
    slider->setRange(design_.min, design_.max);
    slider->setSingleStep(design_.small_change);
    slider->setPageStep(design_.large_change);
    slider->setTickInterval(design_.tick_frequency);
    slider->setTickPosition(design_.tick_frequency > 0 ? QSlider::TicksBelow : QSlider::NoTicks);
    slider->setValue(value_);
}

void QtSlider::SetValue(std::int32_t value) {
    value_ = value;
    if (QSlider* slider = Slider()) {
        const QSignalBlocker quiet(slider);
        slider->setValue(value_);
    }
}

std::unique_ptr<QtControl> MakeControl(const ControlDesign& design) {
    switch (design.kind) {
        case ControlKind::CheckBox:
            return std::make_unique<QtCheckBox>(design);
        case ControlKind::OptionButton:
            return std::make_unique<QtOptionButton>(design);
        case ControlKind::CommandButton:
            return std::make_unique<QtCommandButton>(design);
        case ControlKind::Slider:
            return std::make_unique<QtSlider>(design);
        case ControlKind::ReportList:
            return std::make_unique<QtReportList>(design);
        case ControlKind::Timer:
            return nullptr;
    }
    return nullptr;
}

}  // namespace hovermark::qt
