// The toolkit's services and the event loop.
#include "platform/qt/qt_toolkit.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/abrupt_exit.h"
#include "platform/x11/window_ids.h"
#include "platform/x11/xcb_window_system.h"

namespace hovermark::qt {
namespace {

constexpr const char* kProgramTitle = "Hovermark";
constexpr int kExitCodeAfterError = 1;
constexpr std::int32_t kButtonOk = 1;
constexpr double kDefaultDpi = 96.0;

// The message box style bits that choose the icon.
constexpr std::int32_t kIconMask = 0x70;

// The program's texts end their lines with CR LF; Qt's with LF.
QString DisplayText(const std::string& text) {
    QString display = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return display;
}

// The program asks for the information icon only.
QMessageBox::Icon IconFor(std::int32_t style) {
    return (style & kIconMask) == kMessageBoxInformation ? QMessageBox::Information : QMessageBox::NoIcon;
}

}  // namespace

QtToolkit::QtToolkit(x11::XcbWindowSystem& window_system)
    : window_system_(window_system),
      key_preview_(std::make_unique<KeyPreviewFilter>([this](QWidget& receiver, const QKeyEvent& event) {
          if (QtForm* form = FormOfWindow(receiver.window())) {
              form->PreviewKey(event);
          }
      })) {
    // The program ends when its forms are gone, not when its last window is hidden or a box is closed.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(key_preview_.get());
    window_system_.SetOwnWindowChangedHandler([this](const x11::OwnWindowState& state) { OwnWindowChanged(state); });
}

// Widgets of forms unloaded from inside their own handlers are deleted here at the latest.
QtToolkit::~QtToolkit() {
    window_system_.SetOwnWindowChangedHandler(nullptr);
    qApp->removeEventFilter(key_preview_.get());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::unique_ptr<FormPeer> QtToolkit::CreateForm(const FormDesign& design, FormEvents& events) {
    const bool main = main_form_ == nullptr && forms_.empty();
    auto form = std::make_unique<QtForm>(*this, design, events);
    forms_.push_back(form.get());
    if (main) {
        main_form_ = form.get();
        // The main window exists from the start, with its timers, as the program's start-up window.
        form->EnsureWindow();
    }
    return form;
}

// Qt's own scaling is off (the program's start sees to it), so a widget pixel is a screen pixel, and twips
// per pixel follow the screen's logical DPI.
TwipsScale QtToolkit::Scale() const {
    const QWidget* main_window = main_form_ != nullptr ? main_form_->Window() : nullptr;
    const QScreen* screen = main_window != nullptr ? main_window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return TwipsScale::ForDpi(kDefaultDpi, kDefaultDpi);
    }
    return TwipsScale::ForDpi(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

void QtToolkit::FormDestroyed(const QtForm& form) {
    if (main_form_ == &form) {
        main_form_ = nullptr;
    }
    const auto found = std::find(forms_.begin(), forms_.end(), &form);
    if (found == forms_.end()) {
        return;
    }
    forms_.erase(found);
    if (forms_.empty() && running_loop_ != nullptr) {
        running_loop_->quit();
    }
}

QtForm* QtToolkit::FormOfWindow(const QWidget* widget) const {
    if (widget == nullptr) {
        return nullptr;
    }
    const auto found =
        std::find_if(forms_.begin(), forms_.end(), [widget](const QtForm* form) { return form->Window() == widget; });
    return found != forms_.end() ? *found : nullptr;
}

void QtToolkit::OwnWindowChanged(const x11::OwnWindowState& state) {
    const auto found = std::find_if(forms_.begin(), forms_.end(), [&state](const QtForm* form) {
        return form->Window() != nullptr && x11::ToHandle(form->Window()->internalWinId()) == state.window;
    });
    if (found == forms_.end()) {
        return;
    }
    const Rectangle& outer = state.outer;
    (*found)->OwnWindowChanged(
        QRect(outer.Left, outer.Top, std::max(0, outer.Right - outer.Left), std::max(0, outer.Bottom - outer.Top)),
        state.mapped);
}

void QtToolkit::ClearClipboard() {
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

// X keeps no clipboard of its own: the program serves the text to whoever pastes it while it runs.
void QtToolkit::SetClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                                          QClipboard::Clipboard);
}

QWidget* QtToolkit::MessageBoxOwner() const {
    if (FormOfWindow(QApplication::activeWindow()) != nullptr) {
        return QApplication::activeWindow();
    }
    return main_form_ != nullptr ? main_form_->Window() : nullptr;
}

std::int32_t QtToolkit::ShowMessageBox(const std::string& prompt, std::int32_t style, const std::string& title) {
    QMessageBox box(IconFor(style), DisplayText(title), DisplayText(prompt), QMessageBox::Ok, MessageBoxOwner());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return kButtonOk;
}

void QtToolkit::EndWithRuntimeError(const RuntimeError& error) {
    EndWithReport(error.Report());
}

// The report goes to the user in a box and to the standard error, for a run without anyone at the screen.
void QtToolkit::EndWithReport(const std::string& report) {
    ending_ = true;
    std::fprintf(stderr, "hovermark: %s\n", DisplayText(report).replace('\n', ' ').toLocal8Bit().constData());
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kProgramTitle), DisplayText(report), QMessageBox::Ok,
                    main_form_ != nullptr ? main_form_->Window() : nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    for (QtForm* form : std::vector<QtForm*>(forms_)) {
        form->Destroy();
    }
    // Nothing of the program may run any more: no destructor, no handler left on the stack; only what puts
    // the desktop back as it was.
    ExitAbruptly(kExitCodeAfterError);
}

void QtToolkit::RunEventLoop() {
    if (forms_.empty()) {
        return;
    }
    QEventLoop loop;
    running_loop_ = &loop;
    loop.exec();
    running_loop_ = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace hovermark::qt
