// Buttons and the trackbar as peers: their styles, their values and which notifications are the user's.
#include "platform/windows/win32_controls.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/windows/design_fonts.h"
#include "platform/windows/picture_images.h"
#include "platform/windows/text_conversion.h"
#include "platform/windows/win32_report_list.h"

namespace hovermark::windows {
namespace {

WPARAM CheckState(std::int16_t value) {
    switch (value) {
        case kChecked:
            return BST_CHECKED;
        case kGrayed:
            return BST_INDETERMINATE;
        default:
            return BST_UNCHECKED;
    }
}

// Below the thumb the trackbar keeps a margin, a gap and the tick marks; all in pixels at any DPI.
constexpr int kTickRoom = 8;
constexpr int kMinimumThumbLength = 8;

bool IsClick(WORD notification) {
    return notification == BN_CLICKED || notification == BN_DOUBLECLICKED;
}

}  // namespace

void Win32Control::Create(const ControlSite& site, const ControlGeometry& geometry) {
    const NativeClass native = Native();
    const DWORD tab_stop = design_.tab_index >= 0 ? WS_TABSTOP : 0;
    const RECT& bounds = geometry.bounds;
    window_.reset(CreateWindowExW(native.ex_style, native.name, Utf8ToWide(design_.caption).c_str(),
                                  WS_CHILD | WS_VISIBLE | tab_stop | native.style, bounds.left, bounds.top,
                                  bounds.right - bounds.left, bounds.bottom - bounds.top, site.form,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(site.id)), site.instance, nullptr));
    if (!window_) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateWindowExW");
    }
    // Font first: a list view's header measures its texts when the columns are inserted.
    ApplyGeometry(geometry);
    Initialize(geometry);
}

void Win32Control::ApplyGeometry(const ControlGeometry& geometry) {
    const RECT& bounds = geometry.bounds;
    SetWindowPos(window_.get(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (geometry.font_height != 0) {
        UniqueFont font = CreateDesignFont(design_.font, geometry.font_height);
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
        font_ = std::move(font);
    }
}

ButtonPictures::ButtonPictures(const ControlDesign& design, int scale) {
    if (!design.graphical) {
        return;
    }
    picture_ = CreateButtonImageList(design.picture, design.mask_color, scale);
    down_picture_ = CreateButtonImageList(design.down_picture, design.mask_color, scale);
}

void ButtonPictures::ShowOn(HWND button, bool down) const {
    const HIMAGELIST list = down && down_picture_ ? down_picture_.get() : picture_.get();
    if (list == nullptr) {
        return;
    }
    BUTTON_IMAGELIST image{};
    image.himl = list;
    image.uAlign = BUTTON_IMAGELIST_ALIGN_CENTER;
    SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&image));
}

// ----- check box -----

Win32CheckBox::Win32CheckBox(const ControlDesign& design)
    : Win32Control(design), value_(static_cast<std::int16_t>(design.initial_value)) {}

// Not an automatic check box: the program may set it grayed, and a click only ever checks or clears it.
Win32Control::NativeClass Win32CheckBox::Native() const {
    return {WC_BUTTONW, static_cast<DWORD>(BS_3STATE | BS_PUSHLIKE)};
}

void Win32CheckBox::SetValue(std::int16_t value) {
    value_ = value;
    Show();
}

void Win32CheckBox::ApplyGeometry(const ControlGeometry& geometry) {
    Win32Control::ApplyGeometry(geometry);
    // The old pictures are released only once the new ones are on the button.
    ButtonPictures old_pictures(design_, geometry.picture_scale);
    std::swap(pictures_, old_pictures);
    Show();
}

bool Win32CheckBox::OnCommand(WORD notification) {
    if (notification != BN_CLICKED) {
        return false;
    }
    value_ = value_ == kChecked ? kUnchecked : kChecked;
    Show();
    return true;
}

void Win32CheckBox::Show() const {
    if (!window_) {
        return;
    }
    Send(BM_SETCHECK, CheckState(value_));
    pictures_.ShowOn(window_.get(), value_ == kChecked);
}

// ----- option button -----

Win32OptionButton::Win32OptionButton(const ControlDesign& design)
    : Win32Control(design), value_(design.initial_value != 0) {}

// Not an automatic radio button and no native group: the logic keeps the group's buttons exclusive.
Win32Control::NativeClass Win32OptionButton::Native() const {
    return {WC_BUTTONW, static_cast<DWORD>(BS_RADIOBUTTON | BS_PUSHLIKE)};
}

void Win32OptionButton::Initialize(const ControlGeometry& /*geometry*/) {
    // A radio button clicks itself when it gets the focus; Tab passing over the pause button must not pause.
    Send(BM_SETDONTCLICK, TRUE);
    Send(BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED);
}

void Win32OptionButton::SetValue(bool selected) {
    value_ = selected;
    Send(BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED);
}

void Win32OptionButton::ApplyGeometry(const ControlGeometry& geometry) {
    Win32Control::ApplyGeometry(geometry);
    ButtonPictures old_pictures(design_, geometry.picture_scale);
    std::swap(pictures_, old_pictures);
    pictures_.ShowOn(window_.get(), false);
}

bool Win32OptionButton::OnCommand(WORD notification) {
    return IsClick(notification);
}

// ----- command button -----

Win32Control::NativeClass Win32CommandButton::Native() const {
    return {WC_BUTTONW, static_cast<DWORD>(BS_PUSHBUTTON)};
}

void Win32CommandButton::ApplyGeometry(const ControlGeometry& geometry) {
    Win32Control::ApplyGeometry(geometry);
    ButtonPictures old_pictures(design_, geometry.picture_scale);
    std::swap(pictures_, old_pictures);
    pictures_.ShowOn(window_.get(), false);
}

bool Win32CommandButton::OnCommand(WORD notification) {
    return notification == BN_CLICKED;
}

// ----- slider -----

Win32Slider::Win32Slider(const ControlDesign& design) : Win32Control(design), value_(design.initial_value) {}

Win32Control::NativeClass Win32Slider::Native() const {
    return {TRACKBAR_CLASSW, static_cast<DWORD>(TBS_HORZ | TBS_AUTOTICKS | TBS_FIXEDLENGTH)};
}

// The trackbar's own thumb is too long for the design's height to leave room for the tick marks below it.
void Win32Slider::ApplyGeometry(const ControlGeometry& geometry) {
    Win32Control::ApplyGeometry(geometry);
    const int height = geometry.bounds.bottom - geometry.bounds.top;
    Send(TBM_SETTHUMBLENGTH, static_cast<WPARAM>(std::max(kMinimumThumbLength, height - kTickRoom)));
}

void Win32Slider::Initialize(const ControlGeometry& /*geometry*/) {
    Send(TBM_SETRANGEMIN, FALSE, design_.min);
    Send(TBM_SETRANGEMAX, FALSE, design_.max);
    Send(TBM_SETLINESIZE, 0, design_.small_change);
    Send(TBM_SETPAGESIZE, 0, design_.large_change);
    Send(TBM_SETTICFREQ, static_cast<WPARAM>(design_.tick_frequency), 0);
    Send(TBM_SETPOS, TRUE, value_);
}

void Win32Slider::SetValue(std::int32_t value) {
    value_ = value;
    Send(TBM_SETPOS, TRUE, value_);
}

// The trackbar reports every step of a drag and every key, moved or not; only a new position is a change.
bool Win32Slider::OnScroll() {
    const auto position = static_cast<std::int32_t>(Send(TBM_GETPOS));
    if (position == value_) {
        return false;
    }
    value_ = position;
    return true;
}

std::unique_ptr<Win32Control> MakeControl(const ControlDesign& design) {
    switch (design.kind) {
        case ControlKind::CheckBox:
            return std::make_unique<Win32CheckBox>(design);
        case ControlKind::OptionButton:
            return std::make_unique<Win32OptionButton>(design);
        case ControlKind::CommandButton:
            return std::make_unique<Win32CommandButton>(design);
        case ControlKind::Slider:
            return std::make_unique<Win32Slider>(design);
        case ControlKind::ReportList:
            return std::make_unique<Win32ReportList>(design);
        case ControlKind::Timer:
            return nullptr;
    }
    return nullptr;
}

}  // namespace hovermark::windows
