// The toolkit's services and the message loop in which the forms preview their keys.
#include "platform/windows/win32_toolkit.h"

#include <algorithm>

#include <commctrl.h>

#include "main_window/toolkit/handler_guard.h"
#include "platform/windows/clipboard.h"
#include "platform/windows/text_conversion.h"

namespace hovermark::windows {
namespace {

constexpr const wchar_t* kProgramTitle = L"Hovermark";
constexpr int kExitCodeAfterError = 1;

}  // namespace

Win32Toolkit::Win32Toolkit(HINSTANCE instance)
    : instance_(instance), window_class_(instance), main_dpi_(GetDpiForSystem()) {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                       ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
}

std::unique_ptr<FormPeer> Win32Toolkit::CreateForm(const FormDesign& design, FormEvents& events) {
    const bool main = !main_form_created_;
    auto form = std::make_unique<Win32Form>(*this, design, events, main);
    forms_.push_back(form.get());
    if (main) {
        main_form_created_ = true;
        main_form_ = form.get();
        // The main window exists from the start, so that the scale is its DPI from the first conversion on.
        form->EnsureWindow();
    }
    return form;
}

TwipsScale Win32Toolkit::Scale() {
    if (const HWND main_window = MainWindow()) {
        main_dpi_ = GetDpiForWindow(main_window);
    }
    return TwipsScale::ForDpi(main_dpi_, main_dpi_);
}

HWND Win32Toolkit::MainWindow() const {
    return main_form_ != nullptr ? main_form_->Window() : nullptr;
}

void Win32Toolkit::FormDestroyed(const Win32Form& form) {
    if (main_form_ == &form) {
        main_form_ = nullptr;
    }
    const auto found = std::find(forms_.begin(), forms_.end(), &form);
    if (found == forms_.end()) {
        return;
    }
    forms_.erase(found);
    if (forms_.empty()) {
        PostQuitMessage(0);
    }
}

void Win32Toolkit::ClearClipboard() {
    EmptyClipboardFor(MainWindow());
}

void Win32Toolkit::SetClipboardText(const std::string& text) {
    PutClipboardText(MainWindow(), Utf8ToWide(text));
}

std::int32_t Win32Toolkit::ShowMessageBox(const std::string& prompt, std::int32_t style, const std::string& title) {
    HWND owner = GetActiveWindow();
    if (FormContaining(owner) == nullptr) {
        owner = MainWindow();
    }
    return MessageBoxW(owner, Utf8ToWide(prompt).c_str(), Utf8ToWide(title).c_str(), static_cast<UINT>(style));
}

void Win32Toolkit::EndWithRuntimeError(const RuntimeError& error) {
    EndWithReport(error.Report());
}

void Win32Toolkit::EndWithReport(const std::string& report) {
    ending_ = true;
    MessageBoxW(MainWindow(), Utf8ToWide(report).c_str(), kProgramTitle, MB_ICONERROR | MB_OK);
    for (Win32Form* form : std::vector<Win32Form*>(forms_)) {
        form->Destroy();
    }
    ExitProcess(kExitCodeAfterError);
}

void Win32Toolkit::RunEventLoop() {
    if (forms_.empty()) {
        return;
    }
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        CallGuarded(*this, [&] { ProcessMessage(message); });
    }
}

// A key bound for a form with key preview goes to the form's events first, then on, unchanged, to the focused
// control, unless the form's handler has meanwhile destroyed the window it was bound for.
void Win32Toolkit::ProcessMessage(MSG& message) {
    if (Win32Form* form = FormContaining(message.hwnd)) {
        form->PreviewKey(message);
        if (IsWindow(message.hwnd) == FALSE) {
            return;
        }
        // The handler may have unloaded forms; the window's own form, if it still has one, is looked up again.
        form = FormContaining(message.hwnd);
        if (form != nullptr && form->HandleNavigationKey(message)) {
            return;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

Win32Form* Win32Toolkit::FormContaining(HWND window) const {
    if (window == nullptr) {
        return nullptr;
    }
    const HWND root = GetAncestor(window, GA_ROOT);
    const auto found =
        std::find_if(forms_.begin(), forms_.end(), [root](const Win32Form* form) { return form->Window() == root; });
    return found != forms_.end() ? *found : nullptr;
}

}  // namespace hovermark::windows
