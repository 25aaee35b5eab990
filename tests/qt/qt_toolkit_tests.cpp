// The Qt toolkit against a real X server (Xvfb, no window manager), with the XCB window system placing the
// bars on Qt's own connection as the program does: the main window built from its design table, the
// controls' values and the user's clicks and keys (sent through the X server with xdotool), the key preview,
// the bars' pixels read back from the screen, the clipboard as another X client reads it, and the end of the
// event loop.
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include "highlight_frame/border_window.h"
#include "main_window/help_text.h"
#include "main_window/main_window_layout.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/qt/x_display.h"
#include "platform/x11/x_display_check.h"
#include "platform/x11/xcb_window_system.h"

namespace hovermark::qt {
namespace {

namespace constants = window_system_constants;

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGolden = 0xFFFECD0A;
constexpr int kEventTimeoutMs = 3000;

template <typename Reply>
using OwnedReply = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
OwnedReply<Reply> Owned(Reply* reply) {
    return OwnedReply<Reply>(reply, &std::free);
}

// What a form heard, in order: "Resize", "Paint" is left out, "KeyDown 39 0", "KeyPress 43", "Control 2",
// "Close". Timer ticks are counted apart.
class RecordingEvents final : public FormEvents {
  public:
    explicit RecordingEvents(Toolkit& toolkit) : FormEvents(toolkit) {}

    std::vector<std::string> heard;
    int ticks = 0;
    ControlIndex timer = SIZE_MAX;
    std::function<void()> during_resize;
    std::function<void()> during_key_down;

    int Count(const std::string& entry) const {
        return static_cast<int>(std::count(heard.begin(), heard.end(), entry));
    }

  protected:
    void OnResize() override {
        heard.emplace_back("Resize");
        if (during_resize) {
            during_resize();
        }
    }
    void OnKeyDown(std::int16_t key_code, std::int16_t shift) override {
        heard.push_back("KeyDown " + std::to_string(key_code) + " " + std::to_string(shift));
        if (during_key_down) {
            during_key_down();
        }
    }
    void OnKeyPress(std::int16_t key_ascii) override { heard.push_back("KeyPress " + std::to_string(key_ascii)); }
    void OnCloseRequested() override { heard.emplace_back("Close"); }
    void OnControlEvent(ControlIndex control) override {
        if (control == timer) {
            ++ticks;
        } else {
            heard.push_back("Control " + std::to_string(control));
        }
    }
};

std::string ControlEntry(ControlId id) {
    return "Control " + std::to_string(IndexOf(id));
}

// Runs xdotool with the given arguments, as a user's input through the X server.
void Xdotool(const QStringList& arguments) {
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0) << arguments.join(' ').toStdString();
}

void ClickAt(const QPoint& screen_point) {
    // One xdotool run: its pointer move reaches the server before its click.
    Xdotool({"mousemove", QString::number(screen_point.x()), QString::number(screen_point.y()), "click", "1"});
}

QPoint CentreOf(const QWidget& widget) {
    return widget.mapToGlobal(widget.rect().center());
}

// Another X client's view of the screen, pixel for pixel.
QImage ScreenPixels(const QRect& area) {
    QCoreApplication::processEvents();
    xcb_flush(QtXConnection());
    return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

class QtToolkitTest : public ::testing::Test {
  protected:
    static int DefaultScreen() {
        int screen = 0;
        xcb_disconnect(xcb_connect(nullptr, &screen));
        return screen;
    }

    // Shows the main window and gives it the keyboard (there is no window manager to do it).
    QWidget& ShowActive(QtForm& form) {
        form.SetVisible(true);
        QWidget& window = *form.Window();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        return window;
    }

    QtForm& MainForm(RecordingEvents& events) {
        main_form_ = toolkit_.CreateForm(kMainWindowDesign, events);
        events.timer = IndexOf(ControlId::tmrMain);
        return static_cast<QtForm&>(*main_form_);
    }

    xcb_connection_t* connection_ = QtXConnection();
    xcb_window_t root_ = x11::RootWindow(connection_, DefaultScreen());
    x11::XcbWindowSystem window_system_{connection_, root_};
    QtToolkit toolkit_{window_system_};
    std::unique_ptr<FormPeer> main_form_;
};

TEST_F(QtToolkitTest, TheMainWindowIsBuiltFromItsDesignTable) {
    RecordingEvents events(toolkit_);
    QtForm& form = MainForm(events);
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    const float tpp = toolkit_.TwipsPerPixelY();
    EXPECT_FLOAT_EQ(tpp, static_cast<float>(1440.0 / dpi));
    EXPECT_FLOAT_EQ(toolkit_.TwipsPerPixelX(),
                    static_cast<float>(1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX()));
    const auto px = [tpp](double twips) { return static_cast<int>(std::lround(twips / tpp)); };

    QWidget& window = ShowActive(form);
    EXPECT_EQ(window.windowTitle().toStdString(), "Hovermark 1.1");
    EXPECT_EQ(form.Handle(), static_cast<WindowHandle>(window.winId()));
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(window.size(), QSize(px(11235), px(4515)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the user cannot resize the window";
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_FLOAT_EQ(form.ScaleWidth(), static_cast<float>(px(11235) * static_cast<double>(tpp)));
    EXPECT_EQ(events.Count("Resize"), 1) << "the first display raises Resize once";
    // Centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(window.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window.geometry().center().y() - screen.center().y()), 1);

    for (ControlIndex index = 0; index < kMainWindowControls.size(); ++index) {
        const ControlDesign& design = kMainWindowControls[index];
        const QWidget* widget = form.ControlWidget(index);
        SCOPED_TRACE(std::string(design.name));
        if (design.kind == ControlKind::Timer) {
            EXPECT_EQ(widget, nullptr);
            continue;
        }
        ASSERT_NE(widget, nullptr);
        const QRect expected(QPoint(px(design.left), px(design.top)),
                             QPoint(px(design.left + design.width) - 1, px(design.top + design.height) - 1));
        EXPECT_EQ(widget->geometry(), expected);
        EXPECT_EQ(widget->toolTip().toStdString(), std::string(design.tool_tip)) << "the tip to the character";
        const QFontInfo font(widget->font());
        EXPECT_TRUE(font.fixedPitch()) << font.family().toStdString();
        EXPECT_TRUE(font.family() == "Courier New" || font.family() == "Liberation Mono")
            << font.family().toStdString();
        if (!design.font.name.empty()) {
            EXPECT_EQ(font.pixelSize(), px(design.font.points * 20.0)) << font.family().toStdString();
        }
    }
    // 749 x 301 pixels at 96 DPI: the spots a user sees, as laid out for the other front end.
    if (dpi == 96.0) {
        EXPECT_EQ(window.size(), QSize(749, 301));
        EXPECT_EQ(form.ControlWidget(IndexOf(ControlId::cmdClose))->geometry(), QRect(700, 272, 41, 25));
        EXPECT_EQ(form.ControlWidget(IndexOf(ControlId::lstInfo))->geometry(), QRect(0, 0, 749, 269));
    }
    auto& close = *qobject_cast<QPushButton*>(form.ControlWidget(IndexOf(ControlId::cmdClose)));
    EXPECT_EQ(close.text().toStdString(), "Exit");
    EXPECT_FALSE(close.isDefault()) << "no default button";
    auto& list = *qobject_cast<QTreeWidget*>(form.ControlWidget(IndexOf(ControlId::lstInfo)));
    ASSERT_EQ(list.columnCount(), 3);
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(list.headerItem()->text(column).toStdString(), std::string(kInfoListColumns[column].header));
        EXPECT_EQ(list.columnWidth(column), px(kInfoListColumns[column].width));
    }

    // Tab, pressed on the keyboard, goes round the design's tab order.
    form.ControlWidget(IndexOf(ControlId::chkBorder))->setFocus();
    std::vector<std::string> visited;
    for (int step = 0; step < 10; ++step) {
        const QWidget* before = QApplication::focusWidget();
        Xdotool({"key", "Tab"});
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != before; }, kEventTimeoutMs));
        visited.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"sldBorderWidth", "optPlay", "optPause", "cmdCopy", "cmdLocator",
                                                 "cmdHelp", "cmdClose", "lstInfo", "chkOnTop", "chkBorder"}));
}

TEST_F(QtToolkitTest, ProgramChangesRaiseNothingAndAUsersClickRaisesOneEventOnceTheControlShowsIt) {
    RecordingEvents events(toolkit_);
    QtForm& form = MainForm(events);
    CheckBoxPeer& on_top = form.CheckBoxAt(IndexOf(ControlId::chkOnTop));
    OptionButtonPeer& play = form.OptionButtonAt(IndexOf(ControlId::optPlay));
    OptionButtonPeer& pause = form.OptionButtonAt(IndexOf(ControlId::optPause));
    SliderPeer& slider = form.SliderAt(IndexOf(ControlId::sldBorderWidth));
    auto& on_top_button = *qobject_cast<QPushButton*>(form.ControlWidget(IndexOf(ControlId::chkOnTop)));
    auto& pause_button = *qobject_cast<QPushButton*>(form.ControlWidget(IndexOf(ControlId::optPause)));
    auto& play_button = *qobject_cast<QPushButton*>(form.ControlWidget(IndexOf(ControlId::optPlay)));
    auto& slider_widget = *qobject_cast<QSlider*>(form.ControlWidget(IndexOf(ControlId::sldBorderWidth)));
    ShowActive(form);

    // The design values, shown: the checked box pressed with its down picture, the play button pressed.
    EXPECT_EQ(on_top.Value(), kChecked);
    EXPECT_TRUE(on_top_button.isChecked());
    EXPECT_TRUE(on_top_button.isCheckable());
    EXPECT_TRUE(play.Value());
    EXPECT_TRUE(play_button.isChecked());
    EXPECT_FALSE(pause.Value());
    EXPECT_EQ(slider.Value(), 2);
    EXPECT_EQ(slider.Min(), 1);
    EXPECT_EQ(slider.Max(), 4);
    EXPECT_EQ(slider_widget.tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(slider_widget.tickInterval(), 1);
    const QImage down_picture = on_top_button.icon().pixmap(on_top_button.iconSize()).toImage();

    for (const std::int16_t value : {kUnchecked, kGrayed, kChecked, kUnchecked}) {
        on_top.SetValue(value);
        EXPECT_EQ(on_top.Value(), value);
        EXPECT_EQ(on_top_button.isChecked(), value == kChecked);
    }
    const QImage up_picture = on_top_button.icon().pixmap(on_top_button.iconSize()).toImage();
    EXPECT_NE(up_picture, down_picture) << "the unchecked box shows its other picture";
    pause.SetValue(true);
    EXPECT_TRUE(pause_button.isChecked());
    EXPECT_TRUE(play.Value()) << "the toolkit keeps no group of its own";
    pause.SetValue(false);
    slider.SetValue(4);
    EXPECT_EQ(slider_widget.value(), 4);
    slider.SetValue(2);
    QTest::qWait(150);
    EXPECT_EQ(events.heard, std::vector<std::string>{"Resize"}) << "only the first display; no control event";

    // Clicks through the X server. The event comes once, after the control shows the new value.
    events.heard.clear();
    ClickAt(CentreOf(on_top_button));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.heard.empty(); }, kEventTimeoutMs));
    QTest::qWait(100);
    EXPECT_EQ(events.heard, std::vector<std::string>{ControlEntry(ControlId::chkOnTop)});
    EXPECT_EQ(on_top.Value(), kChecked);
    EXPECT_TRUE(on_top_button.isChecked());
    EXPECT_EQ(on_top_button.icon().pixmap(on_top_button.iconSize()).toImage(), down_picture);

    on_top.SetValue(kGrayed);
    events.heard.clear();
    ClickAt(CentreOf(on_top_button));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.heard.empty(); }, kEventTimeoutMs));
    EXPECT_EQ(on_top.Value(), kChecked) << "a click checks a grayed box";

    events.heard.clear();
    ClickAt(CentreOf(pause_button));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.heard.empty(); }, kEventTimeoutMs));
    ClickAt(CentreOf(pause_button));  // a click on a selected button leaves it selected, and is reported
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.heard.size() == 2; }, kEventTimeoutMs));
    QTest::qWait(100);
    EXPECT_EQ(events.heard, std::vector<std::string>(2, ControlEntry(ControlId::optPause)));
    EXPECT_TRUE(pause.Value());
    EXPECT_TRUE(pause_button.isChecked());
    EXPECT_TRUE(play.Value()) << "the logic, not the toolkit, clears the other button";
}

TEST_F(QtToolkitTest, TheFormSeesEveryKeyFirstAndTheFocusedControlStillGetsIt) {
    RecordingEvents events(toolkit_);
    QtForm& form = MainForm(events);
    SliderPeer& slider = form.SliderAt(IndexOf(ControlId::sldBorderWidth));
    ShowActive(form);
    form.ControlWidget(IndexOf(ControlId::sldBorderWidth))->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != nullptr; }, kEventTimeoutMs));
    events.heard.clear();

    const auto press = [&](const QString& keys, std::size_t entries) {
        events.heard.clear();
        Xdotool({"key", keys});
        EXPECT_TRUE(QTest::qWaitFor([&] { return events.heard.size() >= entries; }, kEventTimeoutMs))
            << keys.toStdString();
        QTest::qWait(50);
        return events.heard;
    };

    // The preview comes before the slider has moved; the slider then moves and reports its change.
    std::int32_t slider_value_in_preview = 0;
    events.during_key_down = [&] { slider_value_in_preview = slider.Value(); };
    EXPECT_EQ(press("Right", 2), (std::vector<std::string>{"KeyDown 39 0", ControlEntry(ControlId::sldBorderWidth)}));
    EXPECT_EQ(slider_value_in_preview, 2);
    EXPECT_EQ(slider.Value(), 3);
    events.during_key_down = nullptr;

    // Modifiers go down as keys of their own first, with their own bit in the mask.
    EXPECT_EQ(press("shift+p", 3), (std::vector<std::string>{"KeyDown 16 1", "KeyDown 80 1", "KeyPress 80"}));
    EXPECT_EQ(press("p", 2), (std::vector<std::string>{"KeyDown " + std::to_string(kVkP) + " 0", "KeyPress 112"}));
    EXPECT_EQ(press("ctrl+c", 3),
              (std::vector<std::string>{"KeyDown 17 2", "KeyDown " + std::to_string(kVkC) + " 2", "KeyPress 3"}));
    EXPECT_EQ(press("KP_Add", 2),
              (std::vector<std::string>{"KeyDown " + std::to_string(kVkAdd) + " 0", "KeyPress 43"}));
    EXPECT_EQ(press("KP_Subtract", 2),
              (std::vector<std::string>{"KeyDown " + std::to_string(kVkSubtract) + " 0", "KeyPress 45"}));
    EXPECT_EQ(press("plus", 3), (std::vector<std::string>{
                                    "KeyDown 16 1", "KeyDown " + std::to_string(kVkOemPlus) + " 1", "KeyPress 43"}));
    EXPECT_EQ(press("F1", 1), (std::vector<std::string>{"KeyDown " + std::to_string(kVkF1) + " 0"}));
    EXPECT_EQ(press("Pause", 1), (std::vector<std::string>{"KeyDown " + std::to_string(kVkPause) + " 0"}));
    EXPECT_EQ(press("alt+F8", 2), (std::vector<std::string>{"KeyDown 18 4", "KeyDown 119 4"}))
        << "Alt types no character";
    EXPECT_EQ(slider.Value(), 3) << "none of these keys is the slider's";
    // Up and Page Down step the slider as on the other front end: towards the minimum and the maximum.
    EXPECT_EQ(press("Up", 2), (std::vector<std::string>{"KeyDown 38 0", ControlEntry(ControlId::sldBorderWidth)}));
    EXPECT_EQ(slider.Value(), 2);
    EXPECT_EQ(press("Next", 2), (std::vector<std::string>{"KeyDown 34 0", ControlEntry(ControlId::sldBorderWidth)}));
    EXPECT_EQ(slider.Value(), 3);

    // Esc closes nothing; Enter clicks a focused command button and nothing else.
    EXPECT_EQ(press("Escape", 2), (std::vector<std::string>{"KeyDown 27 0", "KeyPress 27"}));
    EXPECT_TRUE(form.Visible());
    form.ControlWidget(IndexOf(ControlId::chkBorder))->setFocus();
    EXPECT_EQ(press("Return", 2), (std::vector<std::string>{"KeyDown 13 0", "KeyPress 13"}));
    form.ControlWidget(IndexOf(ControlId::cmdCopy))->setFocus();
    EXPECT_EQ(press("Return", 3),
              (std::vector<std::string>{"KeyDown 13 0", "KeyPress 13", ControlEntry(ControlId::cmdCopy)}));
}

// The bar as the program uses it: shown and placed by the XCB window system behind Qt's back, sized by the
// program. Its Resize comes inside the call that changed its size, and its pixels on the screen are red with
// the golden hatch, one-pixel lines 8 apart falling to the right from the bar's own top-left corner.
TEST_F(QtToolkitTest, ABarFollowsTheWindowSystemAndShowsTheHatchOnTheScreen) {
    RecordingEvents main_events(toolkit_);
    MainForm(main_events);
    RecordingEvents events(toolkit_);
    std::unique_ptr<FormPeer> bar = toolkit_.CreateForm(kBorderWindowDesign, events);
    const float tpp_x = toolkit_.TwipsPerPixelX();
    const float tpp_y = toolkit_.TwipsPerPixelY();
    QSizeF seen_in_resize;
    events.during_resize = [&] {
        seen_in_resize = QSizeF(bar->ScaleWidth(), bar->ScaleHeight());
        bar->DrawBox(0, 0, bar->ScaleWidth(), bar->ScaleHeight());  // what the bar's own handler does
    };
    const WindowHandle handle = bar->Handle();
    const auto xcb_window = static_cast<xcb_window_t>(handle);
    EXPECT_FALSE(bar->Visible());
    EXPECT_TRUE(events.heard.empty()) << "nothing before the program uses the bar";

    // Start-up: shown where it is, at its design size.
    window_system_.SetWindowPos(
        handle, constants::HWND_TOPMOST, 0, 0, 0, 0,
        constants::SWP_SHOWWINDOW | constants::SWP_NOACTIVATE | constants::SWP_NOMOVE | constants::SWP_NOSIZE);
    EXPECT_EQ(events.Count("Resize"), 1) << "the first display";
    EXPECT_TRUE(bar->Visible());
    EXPECT_FLOAT_EQ(static_cast<float>(seen_in_resize.width()), std::lround(2670 / tpp_x) * tpp_x);

    // Sized by the program, placed by the window system: each change of size raises Resize inside the call.
    bar->SetHeight(3 * tpp_y);
    EXPECT_EQ(events.Count("Resize"), 2);
    EXPECT_FLOAT_EQ(static_cast<float>(seen_in_resize.height()), 3 * tpp_y);
    window_system_.SetWindowPos(handle, constants::HWND_TOPMOST, 200, 300, 64, 4, constants::SWP_NOACTIVATE);
    EXPECT_EQ(events.Count("Resize"), 3);
    EXPECT_FLOAT_EQ(static_cast<float>(seen_in_resize.width()), 64 * tpp_x);
    EXPECT_FLOAT_EQ(static_cast<float>(seen_in_resize.height()), 4 * tpp_y);
    window_system_.SetWindowPos(handle, constants::HWND_TOPMOST, 210, 310, 64, 4, constants::SWP_NOACTIVATE);
    EXPECT_EQ(events.Count("Resize"), 3) << "a move is no change of size";

    const QRect area(210, 310, 64, 4);
    const auto hatch_problems = [&](const QImage& pixels) {
        std::vector<std::string> problems;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                const bool on_line = ((x - y) % kHatchSpacing + kHatchSpacing) % kHatchSpacing == 0;
                const QRgb want = on_line ? kGolden : kRed;
                if (pixels.pixel(x, y) != want) {
                    problems.push_back(std::to_string(x) + "," + std::to_string(y));
                }
            }
        }
        return problems;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return hatch_problems(ScreenPixels(area)).empty(); }, kEventTimeoutMs))
        << "wrong pixels at " << ::testing::PrintToString(hatch_problems(ScreenPixels(area)));
    // A repaint lays the retained drawing again.
    static_cast<QtForm&>(*bar).Window()->repaint();
    EXPECT_TRUE(hatch_problems(ScreenPixels(area)).empty());

    // What the window manager and the user get: not managed, never focused, clicks go through it.
    const auto attributes = Owned(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, xcb_window), nullptr));
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->override_redirect, 1);
    const auto input = Owned(xcb_shape_get_rectangles_reply(
        connection_, xcb_shape_get_rectangles(connection_, xcb_window, XCB_SHAPE_SK_INPUT), nullptr));
    ASSERT_TRUE(input);
    EXPECT_EQ(input->rectangles_len, 0) << "an empty input shape";
    const auto focus = Owned(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    EXPECT_NE(focus->focus, xcb_window);

    // A bar of width 0 is shown for the program and shows no pixel.
    window_system_.SetWindowPos(handle, constants::HWND_TOPMOST, 210, 310, 0, 4, constants::SWP_NOACTIVATE);
    EXPECT_EQ(events.Count("Resize"), 4);
    EXPECT_EQ(bar->ScaleWidth(), 0.0F);
    EXPECT_TRUE(bar->Visible());
    QTest::qWait(100);
    const QImage empty = ScreenPixels(QRect(205, 305, 20, 14));
    for (int y = 0; y < empty.height(); ++y) {
        for (int x = 0; x < empty.width(); ++x) {
            ASSERT_NE(empty.pixel(x, y), kRed) << x << "," << y;
            ASSERT_NE(empty.pixel(x, y), kGolden) << x << "," << y;
        }
    }
    // Hidden by the program, the window system's next placement does not show it again.
    bar->SetVisible(false);
    window_system_.SetWindowPos(handle, constants::HWND_TOPMOST, 210, 310, 30, 2, constants::SWP_NOACTIVATE);
    EXPECT_FALSE(bar->Visible());
    bar->SetVisible(true);
    EXPECT_TRUE(bar->Visible());
}

TEST_F(QtToolkitTest, TheClipboardGivesOtherProgramsTheUnicodeTextAndTheListNeverReplacesIt) {
    const std::string report =
        "Button\t65604\tGr\xC3\xBC\xC3\x9F"
        "e \xE2\x80\x94 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r\n\t\t\r\n";
    const auto read_by_xclip = [] {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-o", "-t", "UTF8_STRING"});
        // The text is served by this process: it keeps handling events while the other client asks.
        EXPECT_TRUE(QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, kEventTimeoutMs));
        return xclip.readAllStandardOutput().toStdString();
    };
    toolkit_.ClearClipboard();
    toolkit_.SetClipboardText(report);
    EXPECT_EQ(read_by_xclip(), report);

    // Ctrl+C is the window's copy command: the list that has the focus and a current row keeps its hands off
    // the clipboard, so the whole report the command put there stays.
    RecordingEvents events(toolkit_);
    QtForm& form = MainForm(events);
    ReportListPeer& list = form.ReportListAt(IndexOf(ControlId::lstInfo));
    list.SetSubItem(list.AddRow("cell"), 1, "42");
    ShowActive(form);
    auto* tree = qobject_cast<QTreeWidget*>(form.ControlWidget(IndexOf(ControlId::lstInfo)));
    ASSERT_NE(tree, nullptr);
    tree->setFocus();
    tree->setCurrentItem(tree->topLevelItem(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == tree; }, kEventTimeoutMs));
    events.heard.clear();
    Xdotool({"key", "ctrl+c"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.heard.empty(); }, kEventTimeoutMs));
    QTest::qWait(50);
    EXPECT_EQ(read_by_xclip(), report);

    toolkit_.ClearClipboard();
    toolkit_.SetClipboardText("");
    EXPECT_EQ(read_by_xclip(), "");
}

TEST_F(QtToolkitTest, TheMessageBoxIsModalWithItsTitleIconAndLines) {
    RecordingEvents events(toolkit_);
    QtForm& form = MainForm(events);
    ShowActive(form);
    std::string title;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool modal = false;
    QTimer::singleShot(300, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        title = box->windowTitle().toStdString();
        text = box->text().toStdString();
        icon = box->icon();
        modal = box->isModal();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(toolkit_.ShowMessageBox(HelpPrompt(), kMessageBoxInformation, std::string(kHelpTitle)), 1);
    EXPECT_EQ(title, "Hovermark - Help");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_TRUE(modal);
    std::string lines = HelpPrompt();
    for (std::size_t at = lines.find("\r\n"); at != std::string::npos; at = lines.find("\r\n", at)) {
        lines.replace(at, 2, "\n");
    }
    EXPECT_EQ(text, lines);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 15);
}

TEST_F(QtToolkitTest, TheLoopRunsTheTimerAndEndsWhenEveryFormIsDestroyed) {
    RecordingEvents events(toolkit_);
    QtForm& form = MainForm(events);
    RecordingEvents bar_events(toolkit_);
    std::unique_ptr<FormPeer> bar = toolkit_.CreateForm(kBorderWindowDesign, bar_events);
    QWidget& window = ShowActive(form);

    // A close asked through the window system is the program's to decide: the window stays.
    window.close();
    EXPECT_EQ(events.Count("Close"), 1);
    EXPECT_TRUE(form.Visible());

    int ticks_at_destroy = 0;
    QTimer::singleShot(450, [&] {
        bar->Destroy();
        ticks_at_destroy = events.ticks;
        form.Destroy();
    });
    toolkit_.RunEventLoop();
    EXPECT_GE(ticks_at_destroy, 3) << "100 ms ticks";
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(form.Handle(), 0);
    QTest::qWait(300);
    EXPECT_EQ(events.ticks, ticks_at_destroy) << "a destroyed form raises nothing";
    toolkit_.RunEventLoop();  // with no form left it returns at once
}

// Another X client takes the keyboard; the program's SetFocus, as after the frame comes back on, leaves it.
TEST_F(QtToolkitTest, SetFocusNeverTakesTheKeyboardFromAnotherProgram) {
    RecordingEvents events(toolkit_);
    QtForm& form = MainForm(events);
    ShowActive(form);
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> other(xcb_connect(nullptr, nullptr),
                                                                             &xcb_disconnect);
    const xcb_window_t other_window = xcb_generate_id(other.get());
    xcb_create_window(other.get(), XCB_COPY_FROM_PARENT, other_window, root_, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(other.get(), other_window);
    xcb_set_input_focus(other.get(), XCB_INPUT_FOCUS_POINTER_ROOT, other_window, XCB_CURRENT_TIME);
    xcb_flush(other.get());
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() == nullptr; }, kEventTimeoutMs));

    form.SetFocus();
    QTest::qWait(200);
    const auto focus = Owned(xcb_get_input_focus_reply(other.get(), xcb_get_input_focus(other.get()), nullptr));
    EXPECT_EQ(focus->focus, other_window);
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
}

// An error the program does not catch is reported in a box, with the report's lines, and ends the process
// with exit code 1; so does a failure that is no error of the program. Each runs in a process of its own.
TEST_F(QtToolkitTest, AnUncaughtErrorIsReportedInABoxAndEndsTheProgram) {
    const auto report_box_then_close = [] {
        QTimer::singleShot(300, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                std::fprintf(stderr, "box %s: %s\n", box->windowTitle().toUtf8().constData(),
                             box->text().toUtf8().constData());
                box->button(QMessageBox::Ok)->click();
            }
        });
    };
    EXPECT_EXIT(
        {
            RecordingEvents events(toolkit_);
            MainForm(events).SetVisible(true);
            events.during_resize = [] { throw RuntimeError::InvalidPropertyValue(); };
            report_box_then_close();
            events.Resize();
        },
        ::testing::ExitedWithCode(1), "box Hovermark: Run-time error '380':\n\nInvalid property value");
    EXPECT_EXIT(
        {
            report_box_then_close();
            toolkit_.Deliver([] { throw std::logic_error("a broken promise"); });
        },
        ::testing::ExitedWithCode(1), "box Hovermark: Hovermark has to stop: a broken promise");
}

}  // namespace
}  // namespace hovermark::qt

int main(int argc, char** argv) {
    hovermark::qt::PrepareQtForX11();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A death test runs in a new process of this program, with its own connection to the display.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
