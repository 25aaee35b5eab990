// The Win32 toolkit against the real user32 and common controls: the bar window and its hatch, the main
// window built from its design table, the controls' values, the tool tips, the timer and the clipboard.
#include <windows.h>

#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "highlight_frame/border_window.h"
#include "main_window/main_window_layout.h"
#include "platform/windows/text_conversion.h"
#include "platform/windows/user32_window_system.h"
#include "platform/windows/win32_toolkit.h"
#include "tests/windows/test_windows.h"

namespace hovermark::windows {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGolden = RGB(254, 205, 10);
constexpr int kHatchSpacing = 8;
// The system's HWND_TOPMOST, which its header spells with a C cast.
const HWND kTopmost = windows::ToHwnd(-1);

// Lets the window system deliver what is queued (painting, timers) for a while.
void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

class RecordingEvents final : public FormEvents {
  public:
    explicit RecordingEvents(Toolkit& toolkit) : FormEvents(toolkit) {}

    int resizes = 0;
    std::vector<ControlIndex> control_events;
    std::function<void()> during_resize;

  protected:
    void OnResize() override {
        ++resizes;
        if (during_resize) {
            during_resize();
        }
    }
    void OnControlEvent(ControlIndex control) override { control_events.push_back(control); }
};

HWND ToHwnd(FormPeer& form) {
    return windows::ToHwnd(form.Handle());
}

SIZE OuterSize(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

class Win32ToolkitTest : public ::testing::Test {
  protected:
    Win32Toolkit toolkit_{GetModuleHandleW(nullptr)};
};

TEST_F(Win32ToolkitTest, ABarIsABorderlessToolWindowThatComesIntoExistenceOnFirstUse) {
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> bar = toolkit_.CreateForm(kBorderWindowDesign, events);
    EXPECT_FALSE(bar->Visible());

    const HWND window = ToHwnd(*bar);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    EXPECT_EQ(std::wstring(text), L"Border Window");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    EXPECT_NE(style & WS_POPUP, 0U);
    EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_SYSMENU), 0U);
    EXPECT_NE(ex_style & WS_EX_TOOLWINDOW, 0U) << "a bar is not listed in the taskbar or task switcher";
    EXPECT_EQ(events.resizes, 0) << "no event before the program uses the bar";

    // The design size: 2670 x 1350 twips.
    const SIZE size = OuterSize(window);
    EXPECT_EQ(size.cx, std::lround(2670 / toolkit_.TwipsPerPixelX()));
    EXPECT_EQ(size.cy, std::lround(1350 / toolkit_.TwipsPerPixelY()));
}

TEST_F(Win32ToolkitTest, ShowingAndPlacingABarNeverTakesTheActivation) {
    UniqueWindow other =
        testing::MakeTopLevel(L"active one", nullptr, {600, 600, 800, 700}, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetForegroundWindow(other.get());
    SetActiveWindow(other.get());
    PumpMessages(50);
    ASSERT_EQ(GetActiveWindow(), other.get());

    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> bar = toolkit_.CreateForm(kBorderWindowDesign, events);
    const HWND window = ToHwnd(*bar);
    SetWindowPos(window, kTopmost, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    bar->SetVisible(false);
    bar->SetVisible(true);
    PumpMessages(50);
    EXPECT_TRUE(bar->Visible());
    EXPECT_EQ(GetActiveWindow(), other.get());
    EXPECT_EQ(
        SendMessageW(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
        MA_NOACTIVATE);
}

TEST_F(Win32ToolkitTest, ASizeChangeRaisesResizeBeforeTheCallReturns) {
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> bar = toolkit_.CreateForm(kBorderWindowDesign, events);
    const HWND window = ToHwnd(*bar);
    SIZE seen_in_handler{};
    events.during_resize = [&] { seen_in_handler = OuterSize(window); };

    bar->SetHeight(3 * toolkit_.TwipsPerPixelY());
    EXPECT_EQ(events.resizes, 1);
    EXPECT_EQ(seen_in_handler.cy, 3);
    bar->SetWidth(150 * toolkit_.TwipsPerPixelX());
    EXPECT_EQ(events.resizes, 2);
    EXPECT_EQ(seen_in_handler.cx, 150);
    EXPECT_EQ(bar->ScaleWidth(), 150 * toolkit_.TwipsPerPixelX());
    EXPECT_EQ(bar->ScaleHeight(), 3 * toolkit_.TwipsPerPixelY());

    // The same size again, or a move, is no change of size.
    bar->SetHeight(3 * toolkit_.TwipsPerPixelY());
    SetWindowPos(window, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(events.resizes, 2);
    // A placement that changes the size raises it too.
    SetWindowPos(window, nullptr, 40, 50, 90, 4, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(events.resizes, 3);
}

// The bar's own handler lays the hatch over it after each change of size; what a user sees is red with
// golden one-pixel lines falling from upper left to lower right, 8 pixels apart, also after a repaint.
TEST_F(Win32ToolkitTest, ABarIsRedWithAGoldenDownwardHatch) {
    frmBorder bar(toolkit_);
    const HWND window = ToHwnd(bar.Form());
    constexpr int kWidth = 64;
    constexpr int kHeight = 4;
    SetWindowPos(window, kTopmost, 200, 200, kWidth, kHeight, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    PumpMessages(200);

    std::vector<std::vector<bool>> golden(kHeight, std::vector<bool>(kWidth));
    {
        const WindowDc dc(window);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const COLORREF color = GetPixel(dc.get(), x, y);
                ASSERT_TRUE(color == kRed || color == kGolden)
                    << "pixel " << x << "," << y << " is " << std::hex << color;
                golden[y][x] = color == kGolden;
            }
        }
    }
    int phase = -1;
    for (int x = 0; x < kHatchSpacing && phase < 0; ++x) {
        phase = golden[0][x] ? x : -1;
    }
    ASSERT_GE(phase, 0) << "no hatch line crosses the first row";
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool on_line = ((x - y - phase) % kHatchSpacing + kHatchSpacing) % kHatchSpacing == 0;
            EXPECT_EQ(golden[y][x], on_line) << "pixel " << x << "," << y;
        }
    }
}

TEST_F(Win32ToolkitTest, TheMainWindowIsBuiltFromItsDesign) {
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> form = toolkit_.CreateForm(kMainWindowDesign, events);
    const HWND window = ToHwnd(*form);

    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    EXPECT_EQ(WideToUtf8(caption), "Hovermark 1.1");
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, std::lround(11235 / toolkit_.TwipsPerPixelX()));
    EXPECT_EQ(client.bottom, std::lround(4515 / toolkit_.TwipsPerPixelY()));
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    EXPECT_NE(style & WS_CAPTION, 0U);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0U) << "the window cannot be resized";
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);

    // Centred on the work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT bounds{};
    GetWindowRect(window, &bounds);
    EXPECT_LE(std::abs((bounds.left + bounds.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((bounds.top + bounds.bottom) - (work.top + work.bottom)), 1);
}

TEST_F(Win32ToolkitTest, ControlsHoldTheirDesignValuesAndTheProgramsChangesRaiseNothing) {
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> form = toolkit_.CreateForm(kMainWindowDesign, events);
    CheckBoxPeer& on_top = form->CheckBoxAt(IndexOf(ControlId::chkOnTop));
    OptionButtonPeer& play = form->OptionButtonAt(IndexOf(ControlId::optPlay));
    OptionButtonPeer& pause = form->OptionButtonAt(IndexOf(ControlId::optPause));
    SliderPeer& slider = form->SliderAt(IndexOf(ControlId::sldBorderWidth));

    EXPECT_EQ(on_top.Value(), kChecked);
    EXPECT_TRUE(play.Value());
    EXPECT_FALSE(pause.Value());
    EXPECT_EQ(slider.Min(), 1);
    EXPECT_EQ(slider.Max(), 4);
    EXPECT_EQ(slider.Value(), 2);

    for (const std::int16_t value : {kUnchecked, kGrayed, kChecked}) {
        on_top.SetValue(value);
        EXPECT_EQ(on_top.Value(), value);
    }
    // The toolkit has no grouping of its own: the program keeps the two buttons exclusive.
    pause.SetValue(true);
    EXPECT_TRUE(pause.Value());
    EXPECT_TRUE(play.Value());
    play.SetValue(false);
    EXPECT_FALSE(play.Value());
    slider.SetValue(4);
    EXPECT_EQ(slider.Value(), 4);
    PumpMessages(30);
    for (const ControlIndex control : events.control_events) {
        EXPECT_EQ(control, IndexOf(ControlId::tmrMain)) << "only the timer may have raised something";
    }
}

TEST_F(Win32ToolkitTest, TheReportListKeepsRowsInOrderAndReadsThemBackExactly) {
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> form = toolkit_.CreateForm(kMainWindowDesign, events);
    ReportListPeer& list = form->ReportListAt(IndexOf(ControlId::lstInfo));
    ASSERT_EQ(list.RowCount(), 0);

    const std::string long_text(1000, 'x');
    const std::string greeting =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x80\x94 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\t";
    EXPECT_EQ(list.AddRow("Button"), 1);
    list.SetSubItem(1, 1, "65604");
    list.SetSubItem(1, 2, "OK");
    list.SetRowBold(1, true);
    EXPECT_EQ(list.AddRow("Dialog"), 2);
    list.SetSubItem(2, 2, greeting);
    EXPECT_EQ(list.AddRow(long_text), 3);
    list.SetRowForeColor(3, RGB(255, 0, 0));
    list.SetSubItemForeColor(3, 2, RGB(255, 0, 0));
    list.EnsureVisible(3);
    PumpMessages(30);  // paints the rows with their fonts and colours

    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_EQ(list.RowText(1), "Button");
    EXPECT_EQ(list.SubItem(1, 1), "65604");
    EXPECT_EQ(list.SubItem(1, 2), "OK");
    EXPECT_EQ(list.RowText(2), "Dialog");
    EXPECT_EQ(list.SubItem(2, 1), "") << "a sub-item never set reads as empty";
    EXPECT_EQ(list.SubItem(2, 2), greeting);
    EXPECT_EQ(list.RowText(3), long_text);

    list.Clear();
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.AddRow("again"), 1);
}

// The tips are the design's texts to the character, the two blanks in the option buttons' tips included.
TEST_F(Win32ToolkitTest, EveryControlWithATipShowsExactlyItsDesignText) {
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> form = toolkit_.CreateForm(kMainWindowDesign, events);
    const HWND window = ToHwnd(*form);
    form->SetVisible(true);

    std::set<std::string> expected;
    for (const ControlDesign& control : kMainWindowControls) {
        if (!control.tool_tip.empty()) {
            expected.insert(std::string(control.tool_tip));
        }
    }
    std::set<std::string> found;
    std::pair<HWND, std::set<std::string>*> search{window, &found};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND candidate, LPARAM context) -> BOOL {
            auto& wanted = *reinterpret_cast<std::pair<HWND, std::set<std::string>*>*>(context);
            wchar_t class_name[64] = {};
            GetClassNameW(candidate, class_name, 64);
            if (std::wstring(class_name) != TOOLTIPS_CLASSW || GetWindow(candidate, GW_OWNER) != wanted.first) {
                return TRUE;
            }
            const auto count = static_cast<UINT>(SendMessageW(candidate, TTM_GETTOOLCOUNT, 0, 0));
            for (UINT i = 0; i < count; ++i) {
                wchar_t text[256] = {};
                TTTOOLINFOW tool{};
                tool.cbSize = sizeof(tool);
                tool.lpszText = text;
                SendMessageW(candidate, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool));
                wanted.second->insert(WideToUtf8(text));
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    EXPECT_EQ(found, expected);
}

TEST_F(Win32ToolkitTest, TheTimerTicksUntilTheFormIsDestroyed) {
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> form = toolkit_.CreateForm(kMainWindowDesign, events);
    const HWND window = ToHwnd(*form);
    PumpMessages(450);
    EXPECT_GE(events.control_events.size(), 2U);
    for (const ControlIndex control : events.control_events) {
        EXPECT_EQ(control, IndexOf(ControlId::tmrMain));
    }

    form->Destroy();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(form->Visible());
    const std::size_t ticks = events.control_events.size();
    PumpMessages(250);
    EXPECT_EQ(events.control_events.size(), ticks) << "a destroyed form raises nothing";
}

TEST_F(Win32ToolkitTest, TheClipboardGetsTheTextAsUnicode) {
    const std::string report =
        "Button\t65604\tGr\xC3\xBC\xC3\x9F"
        "e \xE2\x80\x94\r\n\t\t\r\n";
    toolkit_.ClearClipboard();
    toolkit_.SetClipboardText(report);

    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
    const std::wstring copied(text);
    GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, Utf8ToWide(report));

    toolkit_.ClearClipboard();
    toolkit_.SetClipboardText("");
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE empty = GetClipboardData(CF_UNICODETEXT);
    const std::wstring empty_text = empty != nullptr ? static_cast<const wchar_t*>(GlobalLock(empty)) : L"missing";
    if (empty != nullptr) {
        GlobalUnlock(empty);
    }
    CloseClipboard();
    EXPECT_EQ(empty_text, L"");
}

}  // namespace
}  // namespace hovermark::windows
