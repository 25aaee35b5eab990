// The headless toolkit: forms backed by scripted windows, controls as plain values, the test as the user.
#include "tests/doubles/memory_toolkit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace hovermark::testing {
namespace {

constexpr std::int32_t kScreenWidth = 1920;
constexpr std::int32_t kScreenHeight = 1080;

std::string FormatNumber(float value) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

std::int32_t ToPixels(double twips, float twips_per_pixel) {
    const double pixels = std::round(twips / static_cast<double>(twips_per_pixel));
    if (!(pixels > 0)) {
        return 0;
    }
    return pixels >= static_cast<double>(std::numeric_limits<std::int32_t>::max())
               ? std::numeric_limits<std::int32_t>::max()
               : static_cast<std::int32_t>(pixels);
}

std::int32_t Offset(std::int32_t start, std::int32_t length) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(start) + length, std::numeric_limits<std::int32_t>::max()));
}

// A row's field for sub-item 1 or 2; the list has no other sub-items.
template <typename Field>
Field& SubItemField(std::int32_t sub_item, Field& first, Field& second) {
    switch (sub_item) {
        case 1:
            return first;
        case 2:
            return second;
        default:
            throw std::out_of_range("sub-item " + std::to_string(sub_item));
    }
}

}  // namespace

// ----- report list -----

MemoryReportList::Row& MemoryReportList::At(std::int32_t row) {
    if (row < 1 || row > RowCount()) {
        throw std::out_of_range("list row " + std::to_string(row) + " of " + std::to_string(RowCount()));
    }
    return rows_[static_cast<std::size_t>(row - 1)];
}

void MemoryReportList::Clear() {
    rows_.clear();
    last_ensured_visible_ = 0;
    ++clear_calls_;
}

std::int32_t MemoryReportList::AddRow(const std::string& text) {
    rows_.push_back(Row{.text = text});
    return RowCount();
}

std::string MemoryReportList::SubItem(std::int32_t row, std::int32_t sub_item) {
    Row& target = At(row);
    return SubItemField(sub_item, target.sub_item1, target.sub_item2);
}

void MemoryReportList::SetSubItem(std::int32_t row, std::int32_t sub_item, const std::string& text) {
    Row& target = At(row);
    SubItemField(sub_item, target.sub_item1, target.sub_item2) = text;
}

void MemoryReportList::SetSubItemForeColor(std::int32_t row, std::int32_t sub_item, ColorValue color) {
    Row& target = At(row);
    SubItemField(sub_item, target.sub_item1_fore_color, target.sub_item2_fore_color) = color;
}

void MemoryReportList::EnsureVisible(std::int32_t row) {
    At(row);
    last_ensured_visible_ = row;
}

// ----- form -----

MemoryForm::MemoryForm(MemoryToolkit& toolkit, const FormDesign& design, FormEvents& events, int instance)
    : toolkit_(&toolkit),
      events_(events),
      caption_(design.caption),
      name_(caption_ + "#" + std::to_string(instance)),
      instance_(instance),
      key_preview_(design.key_preview),
      serial_(toolkit.next_serial_++) {
    for (const ControlDesign& control : design.controls) {
        Control& added = controls_.emplace_back(Control{.kind = control.kind});
        switch (control.kind) {
            case ControlKind::CheckBox:
                added.check_box = std::make_unique<MemoryCheckBox>(static_cast<std::int16_t>(control.initial_value));
                break;
            case ControlKind::OptionButton:
                added.option_button = std::make_unique<MemoryOptionButton>(control.initial_value != 0);
                break;
            case ControlKind::Slider:
                added.slider = std::make_unique<MemorySlider>(control.initial_value, control.min, control.max);
                break;
            case ControlKind::ReportList:
                added.report_list = std::make_unique<MemoryReportList>();
                break;
            case ControlKind::Timer:
                added.timer_enabled = control.enabled;
                break;
            case ControlKind::CommandButton:
                break;
        }
    }
    // Without a frame of its own to add, a form's window is exactly its client area.
    const std::int32_t width = ToPixels(design.client_width, toolkit.TwipsPerPixelX());
    const std::int32_t height = ToPixels(design.client_height, toolkit.TwipsPerPixelY());
    std::int32_t left = 0;
    std::int32_t top = 0;
    if (design.start_up_position == StartUpPosition::CenterScreen) {
        left = (kScreenWidth - width) / 2;
        top = (kScreenHeight - height) / 2;
    }
    rect_without_window_ = {left, top, Offset(left, width), Offset(top, height)};
}

MemoryForm::~MemoryForm() {
    if (toolkit_ == nullptr) {
        return;
    }
    Destroy();
    toolkit_->Unregister(this);
}

bool MemoryForm::Live() const {
    return toolkit_ != nullptr && !destroyed_ && !toolkit_->ended_;
}

WindowHandle MemoryForm::Handle() {
    if (handle_ != 0 || destroyed_ || toolkit_ == nullptr) {
        return handle_;
    }
    handle_ = toolkit_->window_system_.AddWindow({.handle = 0,
                                                  .class_name = "HovermarkForm",
                                                  .text = caption_,
                                                  .parent_or_owner = 0,
                                                  .child = false,
                                                  .rect = rect_without_window_,
                                                  .visible = false,
                                                  .topmost = false});
    toolkit_->window_system_.SetObserver(handle_, this);
    toolkit_->journal_.Record("Create " + name_);
    return handle_;
}

Rectangle MemoryForm::WindowRect() const {
    if (toolkit_ != nullptr && handle_ != 0) {
        if (const ScriptedWindow* window = toolkit_->window_system_.Find(handle_)) {
            return window->rect;
        }
    }
    return rect_without_window_;
}

bool MemoryForm::Visible() {
    return toolkit_ != nullptr && handle_ != 0 && !destroyed_ && toolkit_->window_system_.IsVisible(handle_);
}

void MemoryForm::SetVisible(bool visible) {
    if (toolkit_ == nullptr || destroyed_ || (!visible && handle_ == 0)) {
        return;
    }
    toolkit_->window_system_.SetVisible(Handle(), visible);
}

void MemoryForm::OnShownChanged() {
    const ScriptedWindow* window = toolkit_->window_system_.Find(handle_);
    const bool shown = window != nullptr && window->visible;
    toolkit_->journal_.Record((shown ? "Show " : "Hide ") + name_);
    if (shown && !shown_once_) {
        shown_once_ = true;
        RaiseResize();
    }
}

// A size change that leaves the window shown stands in for the Resize of its first display, as one
// placement that both shows and sizes a window gives it a single Resize.
void MemoryForm::OnSizeChanged() {
    const ScriptedWindow* window = toolkit_->window_system_.Find(handle_);
    if (window != nullptr && window->visible) {
        shown_once_ = true;
    }
    RaiseResize();
}

void MemoryForm::RaiseResize() {
    if (!Live()) {
        return;
    }
    const Rectangle rect = WindowRect();
    toolkit_->journal_.Record("Resize " + name_ + " " + std::to_string(rect.Right - rect.Left) + " " +
                              std::to_string(rect.Bottom - rect.Top));
    events_.Resize();
}

void MemoryForm::Resize(std::optional<std::int32_t> width_px, std::optional<std::int32_t> height_px) {
    if (toolkit_ == nullptr || destroyed_) {
        return;
    }
    const WindowHandle handle = Handle();
    Rectangle rect = toolkit_->window_system_.RectOf(handle);
    if (width_px) {
        rect.Right = Offset(rect.Left, *width_px);
    }
    if (height_px) {
        rect.Bottom = Offset(rect.Top, *height_px);
    }
    toolkit_->window_system_.SetRect(handle, rect);
}

void MemoryForm::SetWidth(float twips) {
    if (toolkit_ == nullptr) {
        return;
    }
    toolkit_->journal_.Record("SetWidth " + name_ + " " + FormatNumber(twips));
    Resize(ToPixels(twips, toolkit_->TwipsPerPixelX()), std::nullopt);
}

void MemoryForm::SetHeight(float twips) {
    if (toolkit_ == nullptr) {
        return;
    }
    toolkit_->journal_.Record("SetHeight " + name_ + " " + FormatNumber(twips));
    Resize(std::nullopt, ToPixels(twips, toolkit_->TwipsPerPixelY()));
}

void MemoryForm::SetFocus() {
    if (toolkit_ == nullptr) {
        return;
    }
    toolkit_->journal_.Record("Focus " + name_);
    if (!destroyed_) {
        toolkit_->focused_ = this;
    }
}

float MemoryForm::ScaleWidth() {
    const Rectangle rect = WindowRect();
    const float twips_per_pixel = toolkit_ != nullptr ? toolkit_->TwipsPerPixelX() : 15.0F;
    return static_cast<float>(static_cast<double>(rect.Right - rect.Left) * twips_per_pixel);
}

float MemoryForm::ScaleHeight() {
    const Rectangle rect = WindowRect();
    const float twips_per_pixel = toolkit_ != nullptr ? toolkit_->TwipsPerPixelY() : 15.0F;
    return static_cast<float>(static_cast<double>(rect.Bottom - rect.Top) * twips_per_pixel);
}

void MemoryForm::DrawBox(float x1, float y1, float x2, float y2) {
    if (toolkit_ == nullptr) {
        return;
    }
    toolkit_->journal_.Record("DrawBox " + name_ + " " + FormatNumber(x1) + " " + FormatNumber(y1) + " " +
                              FormatNumber(x2) + " " + FormatNumber(y2));
}

void MemoryForm::Destroy() {
    if (toolkit_ == nullptr || destroyed_) {
        return;
    }
    toolkit_->journal_.Record("Destroy " + name_);
    destroyed_ = true;
    if (toolkit_->focused_ == this) {
        toolkit_->focused_ = nullptr;
    }
    if (handle_ != 0 && toolkit_->window_system_.Find(handle_) != nullptr) {
        rect_without_window_ = toolkit_->window_system_.RectOf(handle_);
        toolkit_->window_system_.Destroy(handle_);
    }
}

MemoryForm::Control& MemoryForm::ControlOf(ControlIndex control, ControlKind kind, std::string_view kind_name) {
    if (control >= controls_.size() || controls_[control].kind != kind) {
        throw std::logic_error("control " + std::to_string(control) + " of " + name_ + " is not a " +
                               std::string(kind_name));
    }
    return controls_[control];
}

MemoryCheckBox& MemoryForm::CheckBoxAt(ControlIndex control) {
    return *ControlOf(control, ControlKind::CheckBox, "check box").check_box;
}

MemoryOptionButton& MemoryForm::OptionButtonAt(ControlIndex control) {
    return *ControlOf(control, ControlKind::OptionButton, "option button").option_button;
}

MemorySlider& MemoryForm::SliderAt(ControlIndex control) {
    return *ControlOf(control, ControlKind::Slider, "slider").slider;
}

MemoryReportList& MemoryForm::ReportListAt(ControlIndex control) {
    return *ControlOf(control, ControlKind::ReportList, "report list").report_list;
}

ControlKind MemoryForm::KindAt(ControlIndex control) const {
    if (control >= controls_.size()) {
        throw std::logic_error(name_ + " has no control " + std::to_string(control));
    }
    return controls_[control].kind;
}

bool MemoryForm::TimerEnabled(ControlIndex control) const {
    return KindAt(control) == ControlKind::Timer && controls_[control].timer_enabled;
}

// ----- toolkit -----

MemoryToolkit::MemoryToolkit(ScriptedWindowSystem& window_system, EventJournal& journal)
    : window_system_(window_system), journal_(journal) {}

// Peers the program still holds stop reaching for a toolkit that is gone, and their windows stop reaching
// for them.
MemoryToolkit::~MemoryToolkit() {
    for (MemoryForm* form : forms_) {
        if (form->handle_ != 0 && window_system_.Find(form->handle_) != nullptr) {
            window_system_.SetObserver(form->handle_, nullptr);
        }
        form->toolkit_ = nullptr;
    }
}

std::unique_ptr<FormPeer> MemoryToolkit::CreateForm(const FormDesign& design, FormEvents& events) {
    captions_created_.emplace_back(design.caption);
    const auto instance = std::count(captions_created_.begin(), captions_created_.end(), captions_created_.back());
    auto form = std::make_unique<MemoryForm>(*this, design, events, static_cast<int>(instance));
    forms_.push_back(form.get());
    return form;
}

void MemoryToolkit::SetTwipsPerPixel(float x, float y) {
    if (!(x > 0) || !(y > 0)) {
        throw std::invalid_argument("twips per pixel must be positive");
    }
    twips_per_pixel_x_ = x;
    twips_per_pixel_y_ = y;
}

void MemoryToolkit::ClearClipboard() {
    journal_.Record("ClearClipboard");
    clipboard_.reset();
}

void MemoryToolkit::SetClipboardText(const std::string& text) {
    journal_.Record("SetClipboardText");
    clipboard_ = text;
}

std::int32_t MemoryToolkit::ShowMessageBox(const std::string& prompt, std::int32_t style, const std::string& title) {
    journal_.Record("MessageBox " + std::to_string(style) + " " + title);
    message_boxes_.push_back({prompt, style, title});
    if (while_message_box_open) {
        while_message_box_open();
    }
    return 1;
}

void MemoryToolkit::EndWithRuntimeError(const RuntimeError& error) {
    error_ = error;
    ended_ = true;
    throw ProgramEnded{};
}

void MemoryToolkit::RunEventLoop() {
    if (during_event_loop) {
        Perform(during_event_loop);
    }
}

bool MemoryToolkit::Perform(const std::function<void()>& action) {
    if (ended_) {
        return false;
    }
    try {
        action();
    } catch (const ProgramEnded&) {
        // The run is over; the error is kept for the test.
    }
    return !ended_;
}

template <typename Action>
void MemoryToolkit::UserAction(MemoryForm& form, Action&& action) {
    if (form.toolkit_ != this) {
        throw std::logic_error(form.Name() + " belongs to another toolkit");
    }
    Perform([&] {
        if (form.Live()) {
            action();
        }
    });
}

MemoryForm* MemoryToolkit::FormWithSerial(std::uint64_t serial) const {
    const auto found = std::find_if(forms_.begin(), forms_.end(),
                                    [serial](const MemoryForm* form) { return form->serial_ == serial; });
    return found == forms_.end() ? nullptr : *found;
}

void MemoryToolkit::Unregister(const MemoryForm* form) {
    std::erase(forms_, form);
    if (focused_ == form) {
        focused_ = nullptr;
    }
}

void MemoryToolkit::ClickCheckBox(MemoryForm& form, ControlIndex control) {
    MemoryCheckBox& box = form.CheckBoxAt(control);
    UserAction(form, [&] {
        box.SetValue(box.Value() == kChecked ? kUnchecked : kChecked);
        form.events_.ControlEvent(control);
    });
}

void MemoryToolkit::ClickOptionButton(MemoryForm& form, ControlIndex control) {
    MemoryOptionButton& button = form.OptionButtonAt(control);
    UserAction(form, [&] {
        button.SetValue(true);
        form.events_.ControlEvent(control);
    });
}

void MemoryToolkit::SetSliderByUser(MemoryForm& form, ControlIndex control, std::int32_t value) {
    MemorySlider& slider = form.SliderAt(control);
    UserAction(form, [&] {
        const std::int32_t clamped = std::clamp(value, slider.Min(), std::max(slider.Min(), slider.Max()));
        if (clamped != slider.Value()) {
            slider.SetValue(clamped);
            form.events_.ControlEvent(control);
        }
    });
}

void MemoryToolkit::ClickButton(MemoryForm& form, ControlIndex control) {
    if (form.KindAt(control) != ControlKind::CommandButton) {
        throw std::logic_error("control " + std::to_string(control) + " of " + form.Name() + " is not a button");
    }
    UserAction(form, [&] { form.events_.ControlEvent(control); });
}

// Handlers may destroy or release forms mid-tick, so each form is looked up again before each timer.
void MemoryToolkit::Tick() {
    std::vector<std::uint64_t> serials;
    for (const MemoryForm* form : forms_) {
        serials.push_back(form->serial_);
    }
    Perform([&] {
        for (std::uint64_t serial : serials) {
            for (ControlIndex control = 0;; ++control) {
                MemoryForm* form = FormWithSerial(serial);
                if (form == nullptr || !form->Live() || control >= form->ControlCount()) {
                    break;
                }
                if (form->TimerEnabled(control)) {
                    form->events_.TimerTick(control);
                }
            }
        }
    });
}

void MemoryToolkit::PressKey(MemoryForm& form,
                             std::int16_t key_code,
                             std::int16_t shift,
                             std::optional<std::int16_t> key_ascii) {
    const std::uint64_t serial = form.serial_;
    const auto still_live = [&] {
        const MemoryForm* current = FormWithSerial(serial);
        return current != nullptr && current->Live();
    };
    UserAction(form, [&] {
        if (form.key_preview_) {
            form.events_.KeyDown(key_code, shift);
            if (key_ascii && still_live()) {
                form.events_.KeyPress(*key_ascii);
            }
        }
        if (still_live()) {
            ++form.keys_delivered_to_focused_control_;
        }
    });
}

void MemoryToolkit::RequestClose(MemoryForm& form) {
    UserAction(form, [&] { form.events_.CloseRequested(); });
}

MemoryForm* MemoryToolkit::FindForm(std::string_view caption, int instance) const {
    const auto found = std::find_if(forms_.begin(), forms_.end(), [&](const MemoryForm* form) {
        return form->Caption() == caption && form->Instance() == instance;
    });
    return found == forms_.end() ? nullptr : *found;
}

bool MemoryToolkit::AnyFormAlive() const {
    return std::any_of(forms_.begin(), forms_.end(), [](const MemoryForm* form) { return !form->Destroyed(); });
}

}  // namespace hovermark::testing
