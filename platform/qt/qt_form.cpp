// The form's widget: creation from the design, its events as the form's events, and its unloading.
#include "platform/qt/qt_form.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/qt/key_translation.h"
#include "platform/qt/native_colors.h"
#include "platform/qt/picture_images.h"
#include "platform/qt/qt_report_list.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/x11/window_ids.h"
#include "platform/x11/xcb_window_system.h"

namespace hovermark::qt {
namespace {

// The pictures are drawn pixel for pixel for a screen of 96 DPI; denser screens get them enlarged.
constexpr double kPictureDpi = 96.0;
constexpr double kPictureTwipsPerPixel = kTwipsPerInch / kPictureDpi;

Qt::WindowFlags FlagsFor(const FormDesign& design) {
    switch (design.border_style) {
        case BorderStyle::None:
            // Override-redirect: no window manager frames it, lists it or gives it the focus, and clicks go
            // through it to the window beneath.
            return Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                   Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput;
        case BorderStyle::FixedSingle:
            break;
    }
    Qt::WindowFlags flags = design.show_in_taskbar ? Qt::Window : Qt::Tool;
    return flags | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "Courier New" where it is installed; elsewhere the font matching picks a fixed-pitch font of the same
// size (fontconfig's metric-compatible stand-in where it has one).
QFont DesignFont(const FontDesign& design, const TwipsScale& scale) {
    QFont font(FromUtf8(design.name));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(scale.ToPixelsY(static_cast<double>(design.points) * kTwipsPerPoint));
    font.setBold(design.bold);
    return font;
}

// Edges rather than sizes are rounded, so controls that touch in twips still touch in pixels.
QRect Bounds(const ControlDesign& control, const TwipsScale& scale) {
    const int left = scale.ToPixelsX(control.left);
    const int top = scale.ToPixelsY(control.top);
    const int right = scale.ToPixelsX(static_cast<double>(control.left) + control.width);
    const int bottom = scale.ToPixelsY(static_cast<double>(control.top) + control.height);
    return {left, top, right - left, bottom - top};
}

ControlGeometry LayOutControl(const ControlDesign& control, const TwipsScale& scale) {
    ControlGeometry geometry;
    geometry.bounds = Bounds(control, scale);
    geometry.has_font = !control.font.name.empty();
    if (geometry.has_font) {
        geometry.font = DesignFont(control.font, scale);
    }
    const long picture_scale = std::lround(kPictureTwipsPerPixel / static_cast<double>(scale.twips_per_pixel_y));
    geometry.picture_scale = static_cast<int>(std::max(1L, picture_scale));
    for (const ColumnDesign& column : control.columns) {
        geometry.column_widths.push_back(scale.ToPixelsX(column.width));
    }
    return geometry;
}

}  // namespace

QtForm::QtForm(QtToolkit& toolkit, const FormDesign& design, FormEvents& events)
    : toolkit_(toolkit), design_(design), events_(events) {
    controls_.reserve(design.controls.size());
    for (const ControlDesign& control : design.controls) {
        controls_.push_back(MakeControl(control));
    }
    BuildWindow();
}

QtForm::~QtForm() {
    Destroy();
}

// The widget and its controls exist from the start, so that nothing the program sets on them is lost; the X
// window comes with the first use of the handle or the first showing.
void QtForm::BuildWindow() {
    window_.reset(new FormWindow(*this, FlagsFor(design_)));
    FormWindow& window = *window_;
    window.setWindowTitle(FromUtf8(design_.caption));
    const QIcon icon = WindowIcon(design_.icon, design_.small_icon);
    if (!icon.isNull()) {
        window.setWindowIcon(icon);
    }
    if (Unmanaged()) {
        window.setAttribute(Qt::WA_ShowWithoutActivating);
        window.setAttribute(Qt::WA_X11DoNotAcceptFocus);
    }
    const QPalette palette = window.palette();
    canvas_ =
        std::make_unique<FormCanvas>(design_, ToQColor(design_.back_color, palette),
                                     ToQColor(design_.fore_color, palette), ToQColor(design_.fill_color, palette));
    const TwipsScale scale = toolkit_.Scale();
    if (!design_.font.name.empty()) {
        window.setFont(DesignFont(design_.font, scale));
    }
    client_size_ = QSize(scale.ToPixelsX(design_.client_width), scale.ToPixelsY(design_.client_height));
    if (design_.border_style == BorderStyle::FixedSingle) {
        window.setFixedSize(client_size_);  // the user cannot resize it
    } else {
        window.resize(client_size_);
    }
    CreateControls();
}

// In tab order, so that the focus chain, which Tab follows, is the design's tab order.
void QtForm::CreateControls() {
    std::vector<ControlIndex> order;
    for (ControlIndex index = 0; index < controls_.size(); ++index) {
        if (controls_[index]) {
            order.push_back(index);
        }
    }
    const auto tab_position = [this](ControlIndex index) {
        const std::int32_t tab_index = design_.controls[index].tab_index;
        return tab_index < 0 ? INT32_MAX : tab_index;
    };
    std::stable_sort(order.begin(), order.end(), [&](ControlIndex first, ControlIndex second) {
        return tab_position(first) < tab_position(second);
    });
    const TwipsScale scale = toolkit_.Scale();
    for (const ControlIndex index : order) {
        controls_[index]->Create(*window_, LayOutControl(design_.controls[index], scale), [this, index] {
            if (RaisesEvents()) {
                toolkit_.Deliver([&] { events_.ControlEvent(index); });
            }
        });
    }
}

// Centred frame and all: the frame is the window manager's, asked for before the first showing; without an
// answer the client area is centred.
void QtForm::PlaceAtStart() {
    if (design_.start_up_position != StartUpPosition::CenterScreen) {
        return;
    }
    QMargins frame;
    if (const auto extents = toolkit_.WindowSystem().OwnWindowFrameExtents(Handle())) {
        frame = QMargins(extents->left, extents->top, extents->right, extents->bottom);
    }
    const QSize outer = client_size_.grownBy(frame);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The client area's own place (setGeometry, unlike move, never counts the frame in).
    const QPoint client(screen.x() + (screen.width() - outer.width()) / 2 + frame.left(),
                        screen.y() + (screen.height() - outer.height()) / 2 + frame.top());
    window_->setGeometry(QRect(client, client_size_));
}

QWidget* QtForm::EnsureWindow() {
    if (destroyed_) {
        return nullptr;
    }
    if (!native_) {
        native_ = true;
        window_->winId();  // creates the X window, unmapped
        StartTimers();
    }
    return window_.get();
}

void QtForm::StartTimers() {
    for (ControlIndex index = 0; index < design_.controls.size(); ++index) {
        const ControlDesign& control = design_.controls[index];
        if (control.kind != ControlKind::Timer || !control.enabled || control.interval_ms <= 0) {
            continue;
        }
        std::unique_ptr<QTimer, DeleteLater> timer(new QTimer);
        timer->setInterval(control.interval_ms);
        QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [this, index] {
            if (RaisesEvents()) {
                toolkit_.Deliver([&] { events_.TimerTick(index); });
            }
        });
        timer->start();
        timers_.push_back(std::move(timer));
    }
}

void QtForm::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    for (const auto& timer : timers_) {
        timer->stop();
    }
    timers_.clear();
    if (window_) {
        window_->hide();
        window_.reset();
    }
    toolkit_.FormDestroyed(*this);
}

// ----- the peer -----

WindowHandle QtForm::Handle() {
    QWidget* window = EnsureWindow();
    return window != nullptr ? x11::ToHandle(window->winId()) : 0;
}

bool QtForm::Visible() {
    return window_ && !destroyed_ && window_->isVisible();
}

void QtForm::SetVisible(bool visible) {
    if (Unmanaged()) {
        if ((visible || native_) && EnsureWindow() != nullptr) {
            toolkit_.WindowSystem().ShowOwnWindow(Handle(), visible);
        }
        return;
    }
    if (!visible) {
        if (window_) {
            window_->hide();
        }
        return;
    }
    if (QWidget* window = EnsureWindow()) {
        if (!shown_once_) {
            PlaceAtStart();
        }
        window->show();
        Shown();
    }
}

QSize QtForm::FrameExtra() const {
    if (Unmanaged() || !window_->isVisible()) {
        return {0, 0};
    }
    return window_->frameGeometry().size() - window_->size();
}

void QtForm::SetWidth(float twips) {
    if (!(twips >= 0)) {
        throw RuntimeError::InvalidPropertyValue();
    }
    if (EnsureWindow() == nullptr) {
        return;
    }
    const int width = std::max(0, toolkit_.Scale().ToPixelsX(twips) - FrameExtra().width());
    Resize(QSize(width, client_size_.height()));
}

void QtForm::SetHeight(float twips) {
    if (!(twips >= 0)) {
        throw RuntimeError::InvalidPropertyValue();
    }
    if (EnsureWindow() == nullptr) {
        return;
    }
    const int height = std::max(0, toolkit_.Scale().ToPixelsY(twips) - FrameExtra().height());
    Resize(QSize(client_size_.width(), height));
}

void QtForm::Resize(QSize client) {
    if (Unmanaged()) {
        toolkit_.WindowSystem().ResizeOwnWindow(Handle(), client.width(), client.height());
        return;
    }
    window_->resize(client);
    SetClientSize(client);
}

// The focus comes back to the form only while the program is the active application: a form made visible
// while the user works in another program must not take the keyboard from it.
void QtForm::SetFocus() {
    QWidget* window = EnsureWindow();
    if (window == nullptr || !window->isVisible() || Unmanaged() || QApplication::activeWindow() == nullptr) {
        return;
    }
    QWidget* focus = QApplication::focusWidget();
    if (window->isActiveWindow() && focus != nullptr && (focus == window || window->isAncestorOf(focus))) {
        return;
    }
    window->activateWindow();
    QWidget* target = window->focusWidget();
    if (target == nullptr) {
        target = window->nextInFocusChain();
    }
    target->setFocus(Qt::OtherFocusReason);
}

float QtForm::ScaleWidth() {
    EnsureWindow();
    return toolkit_.Scale().ToTwipsX(client_size_.width());
}

float QtForm::ScaleHeight() {
    EnsureWindow();
    return toolkit_.Scale().ToTwipsY(client_size_.height());
}

void QtForm::DrawBox(float x1, float y1, float x2, float y2) {
    QWidget* window = EnsureWindow();
    if (window == nullptr) {
        return;
    }
    const TwipsScale scale = toolkit_.Scale();
    const int left = scale.ToPixelsX(std::min(x1, x2));
    const int top = scale.ToPixelsY(std::min(y1, y2));
    const int right = scale.ToPixelsX(std::max(x1, x2));
    const int bottom = scale.ToPixelsY(std::max(y1, y2));
    if (right <= left || bottom <= top) {
        return;
    }
    const QRect box(left, top, right - left, bottom - top);
    canvas_->DrawBox(box, client_size_);
    // Drawn at once, as the program expects of a drawing method, not at the next paint.
    if (window->isVisible()) {
        window->repaint(box);
    }
}

template <typename Control>
Control& QtForm::ControlAt(ControlIndex control) {
    auto* found = control < controls_.size() ? dynamic_cast<Control*>(controls_[control].get()) : nullptr;
    if (found == nullptr) {
        throw std::logic_error("control " + std::to_string(control) + " of " + std::string(design_.caption) +
                               " is not of the kind asked for");
    }
    return *found;
}

CheckBoxPeer& QtForm::CheckBoxAt(ControlIndex control) {
    return ControlAt<QtCheckBox>(control);
}

OptionButtonPeer& QtForm::OptionButtonAt(ControlIndex control) {
    return ControlAt<QtOptionButton>(control);
}

SliderPeer& QtForm::SliderAt(ControlIndex control) {
    return ControlAt<QtSlider>(control);
}

ReportListPeer& QtForm::ReportListAt(ControlIndex control) {
    return ControlAt<QtReportList>(control);
}

QWidget* QtForm::ControlWidget(ControlIndex control) const {
    return control < controls_.size() && controls_[control] ? controls_[control]->Widget() : nullptr;
}

// ----- events -----

bool QtForm::RaisesEvents() const {
    return window_ && !destroyed_ && !toolkit_.Ending();
}

void QtForm::PreviewKey(const QKeyEvent& event) {
    if (!design_.key_preview || !RaisesEvents()) {
        return;
    }
    if (const std::optional<std::int16_t> key_code = VirtualKeyCode(event)) {
        toolkit_.Deliver([&] { events_.KeyDown(*key_code, ModifierMask(event)); });
    }
    if (!RaisesEvents()) {
        return;
    }
    if (const std::optional<std::int16_t> character = CharacterCode(event)) {
        toolkit_.Deliver([&] { events_.KeyPress(*character); });
    }
}

void QtForm::OwnWindowChanged(const QRect& outer, bool mapped) {
    if (!window_ || destroyed_) {
        return;
    }
    if (Unmanaged()) {
        // X has no window of width or height 0: the window system keeps such a bar 1 pixel large with nothing
        // in its shape, so it counts as shown and shows no pixel. Qt is left alone with the X side of it.
        if (!outer.isEmpty()) {
            window_->setGeometry(outer);
        }
        SetClientSize(outer.size());
    } else if (!mapped) {
        return;  // a framed window is hidden by Qt only; the window system at most shows it
    }
    if (mapped != window_->isVisible()) {
        window_->setVisible(mapped);
        if (mapped) {
            Shown();
        }
    }
}

void QtForm::SetClientSize(QSize client) {
    if (client == client_size_) {
        return;
    }
    client_size_ = client;
    canvas_->Clear();
    if (window_->isVisible()) {
        shown_once_ = true;  // this Resize stands for the one of the first display
        window_->update();
    }
    if (RaisesEvents()) {
        toolkit_.Deliver([this] { events_.Resize(); });
    }
}

void QtForm::Shown() {
    if (shown_once_) {
        return;
    }
    shown_once_ = true;
    if (RaisesEvents()) {
        toolkit_.Deliver([this] { events_.Resize(); });
    }
}

void QtForm::OnPaint(QPainter& painter, const QRect& area) {
    canvas_->Paint(painter, area);
    if (RaisesEvents()) {
        toolkit_.Deliver([this] { events_.Paint(); });
    }
}

void QtForm::OnCloseRequested() {
    if (RaisesEvents()) {
        toolkit_.Deliver([this] { events_.CloseRequested(); });
    }
}

}  // namespace hovermark::qt
