// A GUI toolkit with no screen: forms are windows of the scripted window system, controls are plain values,
// and the test plays the user. The whole program runs on it headless, and every effect it has on the GUI
// lands in the shared event journal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "main_window/toolkit/form_toolkit.h"
#include "tests/doubles/event_journal.h"
#include "tests/doubles/scripted_window_system.h"

namespace hovermark::testing {

class MemoryToolkit;

// Thrown by EndWithRuntimeError in place of ending the process; deliberately not a RuntimeError, so no
// handler of the program can mistake it for one.
struct ProgramEnded {};

class MemoryCheckBox final : public CheckBoxPeer {
  public:
    explicit MemoryCheckBox(std::int16_t value) : value_(value) {}
    std::int16_t Value() override { return value_; }
    void SetValue(std::int16_t value) override { value_ = value; }

  private:
    std::int16_t value_;
};

class MemoryOptionButton final : public OptionButtonPeer {
  public:
    explicit MemoryOptionButton(bool value) : value_(value) {}
    bool Value() override { return value_; }
    void SetValue(bool selected) override { value_ = selected; }

  private:
    bool value_;
};

// Stores whatever it is given: keeping values in range is the program's job.
class MemorySlider final : public SliderPeer {
  public:
    MemorySlider(std::int32_t value, std::int32_t min, std::int32_t max) : value_(value), min_(min), max_(max) {}
    std::int32_t Value() override { return value_; }
    void SetValue(std::int32_t value) override { value_ = value; }
    std::int32_t Min() override { return min_; }
    std::int32_t Max() override { return max_; }

  private:
    std::int32_t value_;
    std::int32_t min_;
    std::int32_t max_;
};

// Rows are numbered from 1; a row index outside 1..RowCount or a sub-item outside 1..2 throws
// std::out_of_range, which no handler catches, so a test sees it.
class MemoryReportList final : public ReportListPeer {
  public:
    struct Row {
        std::string text{};
        std::string sub_item1{};
        std::string sub_item2{};
        bool bold = false;
        std::optional<ColorValue> fore_color{};
        std::optional<ColorValue> sub_item1_fore_color{};
        std::optional<ColorValue> sub_item2_fore_color{};
    };

    void Clear() override;
    std::int32_t AddRow(const std::string& text) override;
    std::int32_t RowCount() override { return static_cast<std::int32_t>(rows_.size()); }
    std::string RowText(std::int32_t row) override { return At(row).text; }
    std::string SubItem(std::int32_t row, std::int32_t sub_item) override;
    void SetSubItem(std::int32_t row, std::int32_t sub_item, const std::string& text) override;
    void SetRowBold(std::int32_t row, bool bold) override { At(row).bold = bold; }
    void SetRowForeColor(std::int32_t row, ColorValue color) override { At(row).fore_color = color; }
    void SetSubItemForeColor(std::int32_t row, std::int32_t sub_item, ColorValue color) override;
    void EnsureVisible(std::int32_t row) override;
    void SetHint(const std::string& text) override { hint_ = text; }

    const std::vector<Row>& Rows() const { return rows_; }
    const std::string& Hint() const { return hint_; }
    // The row last scrolled into view since the last Clear; 0 if none.
    std::int32_t LastEnsuredVisible() const { return last_ensured_visible_; }
    int ClearCalls() const { return clear_calls_; }

  private:
    Row& At(std::int32_t row);

    std::vector<Row> rows_;
    std::string hint_;
    std::int32_t last_ensured_visible_ = 0;
    int clear_calls_ = 0;
};

class MemoryForm final : public FormPeer, private ScriptedWindowObserver {
  public:
    MemoryForm(MemoryToolkit& toolkit, const FormDesign& design, FormEvents& events, int instance);
    MemoryForm(const MemoryForm&) = delete;
    MemoryForm& operator=(const MemoryForm&) = delete;
    // Destroys the form (journaling it once) unless the program already has.
    ~MemoryForm() override;

    // Creates the window on first use: journals "Create <name>".
    WindowHandle Handle() override;
    bool Visible() override;
    void SetVisible(bool visible) override;
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    void SetFocus() override;
    float ScaleWidth() override;
    float ScaleHeight() override;
    void DrawBox(float x1, float y1, float x2, float y2) override;
    void Destroy() override;

    MemoryCheckBox& CheckBoxAt(ControlIndex control) override;
    MemoryOptionButton& OptionButtonAt(ControlIndex control) override;
    MemorySlider& SliderAt(ControlIndex control) override;
    MemoryReportList& ReportListAt(ControlIndex control) override;

    // "<caption>#<instance>", as the journal names the form.
    const std::string& Name() const { return name_; }
    const std::string& Caption() const { return caption_; }
    int Instance() const { return instance_; }
    bool Destroyed() const { return destroyed_; }
    std::size_t ControlCount() const { return controls_.size(); }
    ControlKind KindAt(ControlIndex control) const;
    bool TimerEnabled(ControlIndex control) const;
    int KeysDeliveredToFocusedControl() const { return keys_delivered_to_focused_control_; }
    // The window's rectangle in pixels; before creation the one it will be created with.
    Rectangle WindowRect() const;

  private:
    friend class MemoryToolkit;

    struct Control {
        ControlKind kind = ControlKind::CommandButton;
        bool timer_enabled = false;
        std::unique_ptr<MemoryCheckBox> check_box{};
        std::unique_ptr<MemoryOptionButton> option_button{};
        std::unique_ptr<MemorySlider> slider{};
        std::unique_ptr<MemoryReportList> report_list{};
    };

    void OnSizeChanged() override;
    void OnShownChanged() override;
    bool Live() const;  // the window exists (or may still be created) and the program is running
    void RaiseResize();
    void Resize(std::optional<std::int32_t> width_px, std::optional<std::int32_t> height_px);
    Control& ControlOf(ControlIndex control, ControlKind kind, std::string_view kind_name);

    MemoryToolkit* toolkit_;  // nullptr once the toolkit is gone
    FormEvents& events_;
    std::string caption_;
    std::string name_;
    int instance_;
    bool key_preview_;
    std::vector<Control> controls_;
    std::uint64_t serial_;  // tells a form apart from a later one built at the same address
    WindowHandle handle_ = 0;
    Rectangle rect_without_window_;  // before creation and after destruction
    bool destroyed_ = false;
    bool shown_once_ = false;
    int keys_delivered_to_focused_control_ = 0;
};

class MemoryToolkit final : public Toolkit {
  public:
    struct MessageBoxRecord {
        std::string prompt{};
        std::int32_t style = 0;
        std::string title{};
    };

    // Declare the journal and the window system before the toolkit, and the toolkit before the program, so
    // that they are destroyed after it.
    MemoryToolkit(ScriptedWindowSystem& window_system, EventJournal& journal);
    MemoryToolkit(const MemoryToolkit&) = delete;
    MemoryToolkit& operator=(const MemoryToolkit&) = delete;
    ~MemoryToolkit() override;

    // Raises no event; the window is created on first use.
    std::unique_ptr<FormPeer> CreateForm(const FormDesign& design, FormEvents& events) override;
    float TwipsPerPixelX() override { return twips_per_pixel_x_; }
    float TwipsPerPixelY() override { return twips_per_pixel_y_; }
    void SetTwipsPerPixel(float x, float y);
    void ClearClipboard() override;
    void SetClipboardText(const std::string& text) override;
    // Runs `while_message_box_open` as a modal loop would run what arrives meanwhile, then answers OK (1).
    std::int32_t ShowMessageBox(const std::string& prompt, std::int32_t style, const std::string& title) override;
    // Records the error, ends the run and throws ProgramEnded. Forms stay as they are but raise no more events.
    [[noreturn]] void EndWithRuntimeError(const RuntimeError& error) override;
    // Runs `during_event_loop` if set (catching ProgramEnded), then returns: tests drive events themselves.
    void RunEventLoop() override;
    std::function<void()> during_event_loop;
    std::function<void()> while_message_box_open;

    // The user's actions. Each one goes through the form's public FormEvents entry points as a front end's
    // dispatching would, catches ProgramEnded, and does nothing once the run has ended or on a destroyed form.
    // The control index must name a control of the right kind (std::logic_error otherwise).
    void ClickCheckBox(MemoryForm& form, ControlIndex control);  // checked -> unchecked, else -> checked
    void ClickOptionButton(MemoryForm& form, ControlIndex control);
    void SetSliderByUser(MemoryForm& form, ControlIndex control, std::int32_t value);  // clamped; event if changed
    void ClickButton(MemoryForm& form, ControlIndex control);
    void Tick();  // every enabled timer of every form not destroyed, in creation order
    // KeyDown, then KeyPress if a character is given, both only with key preview; then the focused control
    // gets the key.
    void PressKey(MemoryForm& form,
                  std::int16_t key_code,
                  std::int16_t shift = 0,
                  std::optional<std::int16_t> key_ascii = std::nullopt);
    void RequestClose(MemoryForm& form);
    // Runs anything else as an event would run: unless ended, catching ProgramEnded. Returns !Ended().
    bool Perform(const std::function<void()>& action);

    bool Ended() const { return ended_; }
    const std::optional<RuntimeError>& Error() const { return error_; }

    // A form whose peer the program still holds; instance counts every form ever created with that caption,
    // from 1.
    MemoryForm* FindForm(std::string_view caption, int instance = 1) const;
    bool AnyFormAlive() const;
    MemoryForm* FocusedForm() const { return focused_; }

    const std::optional<std::string>& ClipboardText() const { return clipboard_; }
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return message_boxes_; }

  private:
    friend class MemoryForm;

    template <typename Action>
    void UserAction(MemoryForm& form, Action&& action);
    MemoryForm* FormWithSerial(std::uint64_t serial) const;
    void Unregister(const MemoryForm* form);

    ScriptedWindowSystem& window_system_;
    EventJournal& journal_;
    float twips_per_pixel_x_ = 15;
    float twips_per_pixel_y_ = 15;
    std::vector<MemoryForm*> forms_;
    std::vector<std::string> captions_created_;
    std::uint64_t next_serial_ = 1;
    MemoryForm* focused_ = nullptr;
    std::optional<std::string> clipboard_;
    std::vector<MessageBoxRecord> message_boxes_;
    bool ended_ = false;
    std::optional<RuntimeError> error_;
};

}  // namespace hovermark::testing
