// The form's window: creation from the design, its messages as the form's events, and its unloading.
#include "platform/windows/win32_form.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>

#include "main_window/toolkit/handler_guard.h"
#include "platform/windows/native_colors.h"
#include "platform/windows/picture_images.h"
#include "platform/windows/text_conversion.h"
#include "platform/windows/user32_window_system.h"
#include "platform/windows/win32_report_list.h"
#include "platform/windows/win32_toolkit.h"

namespace hovermark::windows {
namespace {

constexpr const wchar_t* kFormClassName = L"HovermarkForm";
// Above every dialog command id (IDOK, IDCANCEL, ...): Enter and Esc must never reach a control as a click.
constexpr int kFirstControlId = 100;
constexpr UINT_PTR kFirstTimerId = 1;

struct WindowStyles {
    DWORD style = 0;
    DWORD ex_style = 0;
};

WindowStyles StylesFor(const FormDesign& design) {
    WindowStyles styles;
    switch (design.border_style) {
        case BorderStyle::FixedSingle:
            styles.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
            break;
        case BorderStyle::None:
            styles.style = WS_POPUP | WS_CLIPCHILDREN;
            styles.ex_style = WS_EX_NOACTIVATE;
            break;
    }
    if (!design.show_in_taskbar) {
        styles.ex_style |= WS_EX_TOOLWINDOW;
    }
    return styles;
}

RECT PrimaryWorkArea() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

SIZE ClientSizeOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

bool operator==(const SIZE& first, const SIZE& second) {
    return first.cx == second.cx && first.cy == second.cy;
}

// Key codes reach the program as Windows numbers them, which is the numbering the program's handlers use.
static_assert(kVkPause == VK_PAUSE && kVkF1 == VK_F1 && kVkF7 == VK_F7 && kVkF8 == VK_F8 && kVkF9 == VK_F9 &&
              kVkAdd == VK_ADD && kVkSubtract == VK_SUBTRACT && kVkOemPlus == VK_OEM_PLUS &&
              kVkOemMinus == VK_OEM_MINUS && kVkMenu == VK_MENU && kVkNumpad0 == VK_NUMPAD0 && kVkOemQuote == VK_OEM_7);

std::int16_t ModifierMask() {
    int mask = 0;
    if (GetKeyState(VK_SHIFT) < 0) {
        mask |= kShiftMask;
    }
    if (GetKeyState(VK_CONTROL) < 0) {
        mask |= kCtrlMask;
    }
    if (GetKeyState(VK_MENU) < 0) {
        mask |= kAltMask;
    }
    return static_cast<std::int16_t>(mask);
}

bool IsForegroundThread() {
    return GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == GetCurrentThreadId();
}

class ScopedFlag {
  public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;
    ~ScopedFlag() { flag_ = false; }

  private:
    bool& flag_;
};

class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window) { BeginPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }
    HDC Dc() const { return paint_.hdc; }
    const RECT& Area() const { return paint_.rcPaint; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

}  // namespace

// ----- window class -----

Win32Form::WindowClass::WindowClass(HINSTANCE instance) : instance_(instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &Win32Form::WindowProcedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kFormClassName;
    if (RegisterClassExW(&window_class) == 0) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "RegisterClassExW");
    }
}

Win32Form::WindowClass::~WindowClass() {
    UnregisterClassW(kFormClassName, instance_);
}

// ----- creation and destruction -----

Win32Form::Win32Form(Win32Toolkit& toolkit, const FormDesign& design, FormEvents& events, bool follows_dpi)
    : toolkit_(toolkit), design_(design), events_(events), follows_dpi_(follows_dpi), canvas_(design) {
    controls_.reserve(design.controls.size());
    for (const ControlDesign& control : design.controls) {
        controls_.push_back(MakeControl(control));
    }
}

// The windows go first, before the fonts and pictures they are drawn with.
Win32Form::~Win32Form() {
    Destroy();
}

HWND Win32Form::EnsureWindow() {
    if (window_ || destroyed_) {
        return window_.get();
    }
    // The window's own messages during its creation are no events: CreateForm raises none.
    const ScopedFlag creating(creating_);
    const WindowStyles styles = StylesFor(design_);
    // Created where it will show, so that it takes that screen's DPI before it is laid out.
    POINT origin{CW_USEDEFAULT, CW_USEDEFAULT};
    if (design_.start_up_position == StartUpPosition::CenterScreen) {
        const RECT work_area = PrimaryWorkArea();
        origin = POINT{work_area.left, work_area.top};
    }
    const HWND created =
        CreateWindowExW(styles.ex_style, kFormClassName, Utf8ToWide(design_.caption).c_str(), styles.style, origin.x,
                        origin.y, 0, 0, nullptr, nullptr, toolkit_.Instance(), this);
    if (created == nullptr) {
        window_.release();  // the system has destroyed whatever it had begun
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateWindowExW");
    }
    big_icon_ = CreatePictureIcon(design_.icon);
    small_icon_ = CreatePictureIcon(design_.small_icon);
    SendMessageW(created, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
    SendMessageW(created, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));

    const FormLayout layout = LayOutForm(design_, toolkit_.Scale());
    PlaceAtDesignSize(layout.client);
    CreateControls(layout);
    StartTimers();
    client_size_ = ClientSizeOf(created);
    return created;
}

SIZE Win32Form::OuterSize(SIZE client, UINT dpi) const {
    const WindowStyles styles = StylesFor(design_);
    RECT bounds{0, 0, client.cx, client.cy};
    AdjustWindowRectExForDpi(&bounds, styles.style, FALSE, styles.ex_style, dpi);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

void Win32Form::PlaceAtDesignSize(SIZE client) {
    const SIZE outer = OuterSize(client, GetDpiForWindow(window_.get()));
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    POINT position{};
    if (design_.start_up_position == StartUpPosition::CenterScreen) {
        const RECT work_area = PrimaryWorkArea();
        position.x = work_area.left + (work_area.right - work_area.left - outer.cx) / 2;
        position.y = work_area.top + (work_area.bottom - work_area.top - outer.cy) / 2;
    } else {
        flags |= SWP_NOMOVE;
    }
    SetWindowPos(window_.get(), nullptr, position.x, position.y, outer.cx, outer.cy, flags);
}

// In tab order, so that the windows' order, which Tab follows, is the design's tab order.
void Win32Form::CreateControls(const FormLayout& layout) {
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
    for (const ControlIndex index : order) {
        const ControlSite site{window_.get(), toolkit_.Instance(), kFirstControlId + static_cast<int>(index)};
        controls_[index]->Create(site, layout.controls[index]);
    }
}

// The tips come with the window's first showing, not with the window: a tip window is a topmost popup the
// form owns, and while it exists some window systems (Wine among them) refuse to make its still hidden owner
// topmost, which the main window's load does before it is shown.
void Win32Form::CreateToolTips() {
    const bool any_tip = std::any_of(design_.controls.begin(), design_.controls.end(),
                                     [](const ControlDesign& control) { return !control.tool_tip.empty(); });
    if (tool_tips_ || !any_tip) {
        return;
    }
    tool_tips_.emplace(window_.get(), toolkit_.Instance());
    for (ControlIndex index = 0; index < controls_.size(); ++index) {
        if (controls_[index]) {
            tool_tips_->Add(controls_[index]->Window(), design_.controls[index].tool_tip);
        }
    }
}

void Win32Form::ApplyLayout(const FormLayout& layout) {
    for (ControlIndex index = 0; index < controls_.size(); ++index) {
        if (controls_[index]) {
            controls_[index]->ApplyGeometry(layout.controls[index]);
        }
    }
}

void Win32Form::StartTimers() {
    for (ControlIndex index = 0; index < design_.controls.size(); ++index) {
        const ControlDesign& control = design_.controls[index];
        if (control.kind == ControlKind::Timer && control.enabled && control.interval_ms > 0) {
            SetTimer(window_.get(), kFirstTimerId + index, static_cast<UINT>(control.interval_ms), nullptr);
        }
    }
}

void Win32Form::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    if (window_) {
        // Nothing the window or its controls send while they go reaches the form any more.
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
        for (ControlIndex index = 0; index < design_.controls.size(); ++index) {
            if (design_.controls[index].kind == ControlKind::Timer) {
                KillTimer(window_.get(), kFirstTimerId + index);
            }
        }
        tool_tips_.reset();
        for (const std::unique_ptr<Win32Control>& control : controls_) {
            if (control) {
                control->Destroy();
            }
        }
        window_.reset();
    }
    toolkit_.FormDestroyed(*this);
}

// ----- the peer -----

WindowHandle Win32Form::Handle() {
    return ToWindowHandle(EnsureWindow());
}

bool Win32Form::Visible() {
    return window_ && IsWindowVisible(window_.get()) != FALSE;
}

void Win32Form::SetVisible(bool visible) {
    if (!visible) {
        if (window_) {
            ShowWindow(window_.get(), SW_HIDE);
        }
        return;
    }
    if (const HWND window = EnsureWindow()) {
        ShowWindow(window, NeverActivated() ? SW_SHOWNOACTIVATE : SW_SHOW);
        CreateToolTips();
    }
}

void Win32Form::SetWidth(float twips) {
    if (!(twips >= 0)) {
        throw RuntimeError::InvalidPropertyValue();
    }
    SetOuterSize(toolkit_.Scale().ToPixelsX(twips), std::nullopt);
}

void Win32Form::SetHeight(float twips) {
    if (!(twips >= 0)) {
        throw RuntimeError::InvalidPropertyValue();
    }
    SetOuterSize(std::nullopt, toolkit_.Scale().ToPixelsY(twips));
}

// The window's WM_SIZE raises Resize before SetWindowPos returns.
void Win32Form::SetOuterSize(std::optional<int> width, std::optional<int> height) {
    const HWND window = EnsureWindow();
    if (window == nullptr) {
        return;
    }
    RECT bounds{};
    GetWindowRect(window, &bounds);
    SetWindowPos(window, nullptr, 0, 0, width.value_or(bounds.right - bounds.left),
                 height.value_or(bounds.bottom - bounds.top), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The focus comes back to the form only while the program is in the foreground: a form made visible while
// the user works in another program must not take the keyboard from it.
void Win32Form::SetFocus() {
    const HWND window = EnsureWindow();
    if (window == nullptr || IsWindowVisible(window) == FALSE || IsWindowEnabled(window) == FALSE ||
        !IsForegroundThread()) {
        return;
    }
    const HWND focus = GetFocus();
    if (focus == window || IsChild(window, focus) != FALSE) {
        return;
    }
    ::SetFocus(FocusTarget());
}

float Win32Form::ScaleWidth() {
    EnsureWindow();
    return toolkit_.Scale().ToTwipsX(client_size_.cx);
}

float Win32Form::ScaleHeight() {
    EnsureWindow();
    return toolkit_.Scale().ToTwipsY(client_size_.cy);
}

void Win32Form::DrawBox(float x1, float y1, float x2, float y2) {
    const HWND window = EnsureWindow();
    if (window == nullptr) {
        return;
    }
    const TwipsScale scale = toolkit_.Scale();
    const RECT box{scale.ToPixelsX(std::min(x1, x2)), scale.ToPixelsY(std::min(y1, y2)),
                   scale.ToPixelsX(std::max(x1, x2)), scale.ToPixelsY(std::max(y1, y2))};
    if (box.right > box.left && box.bottom > box.top) {
        canvas_.DrawBox(window, box);
    }
}

template <typename Control>
Control& Win32Form::ControlAt(ControlIndex control) {
    auto* found = control < controls_.size() ? dynamic_cast<Control*>(controls_[control].get()) : nullptr;
    if (found == nullptr) {
        throw std::logic_error("control " + std::to_string(control) + " of " + std::string(design_.caption) +
                               " is not of the kind asked for");
    }
    // Controls exist with the window, so that nothing set on them before it is lost.
    EnsureWindow();
    return *found;
}

CheckBoxPeer& Win32Form::CheckBoxAt(ControlIndex control) {
    return ControlAt<Win32CheckBox>(control);
}

OptionButtonPeer& Win32Form::OptionButtonAt(ControlIndex control) {
    return ControlAt<Win32OptionButton>(control);
}

SliderPeer& Win32Form::SliderAt(ControlIndex control) {
    return ControlAt<Win32Slider>(control);
}

ReportListPeer& Win32Form::ReportListAt(ControlIndex control) {
    return ControlAt<Win32ReportList>(control);
}

// ----- keys -----

void Win32Form::PreviewKey(const MSG& message) {
    if (!design_.key_preview || !RaisesEvents()) {
        return;
    }
    switch (message.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            events_.KeyDown(static_cast<std::int16_t>(message.wParam), ModifierMask());
            break;
        case WM_CHAR:
            events_.KeyPress(static_cast<std::int16_t>(message.wParam));
            break;
        default:
            break;
    }
}

bool Win32Form::HandleNavigationKey(MSG& message) {
    if (!window_ || controls_.empty()) {
        return false;
    }
    // The form has no default and no cancel button: Esc goes to the focused control like any key, and Enter
    // clicks a focused command button, as in any window of the system, and nothing else.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        const HWND focus = GetFocus();
        const auto dialog_code = focus != nullptr ? SendMessageW(focus, WM_GETDLGCODE, 0, 0) : 0;
        if (IsChild(window_.get(), focus) != FALSE &&
            (dialog_code & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON)) != 0) {
            SendMessageW(focus, BM_CLICK, 0, 0);
            return true;
        }
        return false;
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
        return false;
    }
    return IsDialogMessageW(window_.get(), &message) != FALSE;
}

HWND Win32Form::FocusTarget() const {
    if (last_focus_ != nullptr && IsChild(window_.get(), last_focus_) != FALSE) {
        return last_focus_;
    }
    const HWND first = GetNextDlgTabItem(window_.get(), nullptr, FALSE);
    return first != nullptr ? first : window_.get();
}

// ----- messages -----

bool Win32Form::RaisesEvents() const {
    return window_ && !creating_ && !destroyed_ && !toolkit_.Ending();
}

LRESULT CALLBACK Win32Form::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Win32Form*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        form->window_.reset(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return CallGuarded(form->toolkit_, [&] { return form->OnMessage(message, wparam, lparam); });
}

LRESULT Win32Form::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    const HWND window = window_.get();
    switch (message) {
        case WM_SIZE:
            OnSize();
            return 0;
        case WM_WINDOWPOSCHANGED: {
            // The default handling sends WM_SIZE first.
            const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
            OnWindowPosChanged(*reinterpret_cast<const WINDOWPOS*>(lparam));
            return result;
        }
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT lays background and drawing together
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_PRINTCLIENT: {
            RECT client{};
            GetClientRect(window, &client);
            canvas_.Paint(reinterpret_cast<HDC>(wparam), client);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            SetBkColor(reinterpret_cast<HDC>(wparam), ToColorRef(design_.back_color));
            return reinterpret_cast<LRESULT>(canvas_.BackgroundBrush());
        case WM_CLOSE:
            // The program decides; it unloads the form through Destroy if it agrees.
            if (RaisesEvents()) {
                events_.CloseRequested();
            }
            return 0;
        case WM_COMMAND:
            OnCommand(HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_HSCROLL:
            OnScroll(reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_NOTIFY:
            if (const std::optional<LRESULT> result = OnNotify(*reinterpret_cast<NMHDR*>(lparam))) {
                return *result;
            }
            break;
        case WM_TIMER:
            OnTimer(wparam);
            return 0;
        case WM_MOUSEACTIVATE:
            if (NeverActivated()) {
                return MA_NOACTIVATE;
            }
            break;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wparam), HIWORD(wparam) != 0);
            return 0;
        case WM_GETDPISCALEDSIZE:
            if (follows_dpi_) {
                const auto dpi = static_cast<UINT>(wparam);
                *reinterpret_cast<SIZE*>(lparam) =
                    OuterSize(LayOutForm(design_, TwipsScale::ForDpi(dpi, dpi)).client, dpi);
                return TRUE;
            }
            break;
        case WM_DPICHANGED:
            if (follows_dpi_) {
                OnDpiChanged(*reinterpret_cast<const RECT*>(lparam));
            }
            return 0;
        case WM_SYSCOLORCHANGE:
            OnSystemColorsChanged(wparam, lparam);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// A new size clears the drawing: the program draws again in its Resize handler.
void Win32Form::OnSize() {
    const SIZE size = ClientSizeOf(window_.get());
    if (size == client_size_) {
        return;
    }
    client_size_ = size;
    canvas_.Clear();
    if (IsWindowVisible(window_.get()) != FALSE) {
        shown_once_ = true;  // this Resize stands for the one of the first display
    }
    if (RaisesEvents()) {
        events_.Resize();
    }
}

void Win32Form::OnWindowPosChanged(const WINDOWPOS& position) {
    if ((position.flags & SWP_SHOWWINDOW) == 0 || shown_once_ || !window_) {
        return;
    }
    shown_once_ = true;
    if (RaisesEvents()) {
        events_.Resize();
    }
}

void Win32Form::OnPaint() {
    {
        const PaintScope paint(window_.get());
        canvas_.Paint(paint.Dc(), paint.Area());
    }
    if (RaisesEvents()) {
        events_.Paint();
    }
}

void Win32Form::OnCommand(WORD notification, HWND sender) {
    const std::optional<ControlIndex> index = ControlWithWindow(sender);
    if (index && controls_[*index]->OnCommand(notification) && RaisesEvents()) {
        events_.ControlEvent(*index);
    }
}

void Win32Form::OnScroll(HWND sender) {
    const std::optional<ControlIndex> index = ControlWithWindow(sender);
    if (index && controls_[*index]->OnScroll() && RaisesEvents()) {
        events_.ControlEvent(*index);
    }
}

std::optional<LRESULT> Win32Form::OnNotify(NMHDR& header) {
    const std::optional<ControlIndex> index = ControlWithWindow(header.hwndFrom);
    if (!index) {
        return std::nullopt;
    }
    return controls_[*index]->OnNotify(header);
}

void Win32Form::OnTimer(UINT_PTR timer) {
    if (timer < kFirstTimerId) {
        return;
    }
    const auto index = static_cast<ControlIndex>(timer - kFirstTimerId);
    if (index < design_.controls.size() && design_.controls[index].kind == ControlKind::Timer && RaisesEvents()) {
        events_.TimerTick(index);
    }
}

// Like a dialog, the form gives the focus back to the control that had it when the user left the window.
void Win32Form::OnActivate(WORD state, bool minimized) {
    if (state == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (IsChild(window_.get(), focus) != FALSE) {
            last_focus_ = focus;
        }
        return;
    }
    if (!minimized) {
        ::SetFocus(FocusTarget());
    }
}

// The controls are laid out again at the new DPI, and the window takes the place and size the system
// suggests, which WM_GETDPISCALEDSIZE made the design's client area at that DPI.
void Win32Form::OnDpiChanged(const RECT& suggested) {
    ApplyLayout(LayOutForm(design_, toolkit_.Scale()));
    SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Common controls learn of new system colours only from their parent.
void Win32Form::OnSystemColorsChanged(WPARAM wparam, LPARAM lparam) {
    for (const std::unique_ptr<Win32Control>& control : controls_) {
        if (control) {
            SendMessageW(control->Window(), WM_SYSCOLORCHANGE, wparam, lparam);
            control->OnSystemColorsChanged();
        }
    }
    InvalidateRect(window_.get(), nullptr, TRUE);
}

std::optional<ControlIndex> Win32Form::ControlWithWindow(HWND window) const {
    if (window == nullptr) {
        return std::nullopt;
    }
    for (ControlIndex index = 0; index < controls_.size(); ++index) {
        if (controls_[index] && controls_[index]->Window() == window) {
            return index;
        }
    }
    return std::nullopt;
}

}  // namespace hovermark::windows
