// A headless desktop with Hovermark running on it: the scripted window system, the in-memory toolkit, a small
// sample application to inspect, and shortcuts for what a user does.
#pragma once

#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "main_window/main_window.h"
#include "tests/doubles/event_journal.h"
#include "tests/doubles/memory_toolkit.h"
#include "tests/doubles/scripted_element_system.h"
#include "tests/doubles/scripted_window_system.h"

namespace hovermark::testing {

// A desktop window behind everything, an application main window that owns a dialog holding an OK button,
// and a top-level window without owner.
struct SampleScene {
    WindowHandle desktop = 0;
    WindowHandle app_window = 0;
    WindowHandle dialog = 0;
    WindowHandle ok_button = 0;
    WindowHandle lone_window = 0;
};

inline constexpr Rectangle kOkButtonRect{300, 300, 400, 330};

class ProgramTest : public ::testing::Test {
  protected:
    SampleScene AddSampleScene() {
        SampleScene scene;
        scene.desktop = windows.AddWindow({.class_name = "#32769", .rect = {0, 0, 1920, 1080}});
        scene.app_window =
            windows.AddWindow({.class_name = "SampleAppWindow", .text = "Sample Editor", .rect = {100, 100, 700, 500}});
        scene.dialog = windows.AddWindow({.class_name = "#32770",
                                          .text = "Grüße — Привет\t",
                                          .parent_or_owner = scene.app_window,
                                          .rect = {200, 150, 500, 350}});
        scene.ok_button = windows.AddWindow({.class_name = "Button",
                                             .text = "  OK  ",
                                             .parent_or_owner = scene.dialog,
                                             .child = true,
                                             .rect = kOkButtonRect});
        scene.lone_window =
            windows.AddWindow({.class_name = "SampleToolWindow", .text = "Lone", .rect = {800, 100, 1000, 300}});
        return scene;
    }

    // Creates the main window, lets the test change design values as another design would, loads it and
    // shows it, as the program's start does.
    void Start(const std::function<void(MemoryForm&)>& adjust_design = {}) {
        program = std::make_unique<frmGlintrix>(toolkit, windows, can_look_inside ? &elements : nullptr,
                                                wayland_session, locator_ports);
        if (adjust_design) {
            adjust_design(Main());
        }
        toolkit.Perform([this] {
            program->Load();
            program->Form().SetVisible(true);
        });
    }

    MemoryForm& Main() { return *toolkit.FindForm(kMainWindowDesign.caption); }
    MemoryReportList& List() { return Main().ReportListAt(IndexOf(ControlId::lstInfo)); }
    std::int16_t CheckValue(ControlId id) { return Main().CheckBoxAt(IndexOf(id)).Value(); }
    bool OptionValue(ControlId id) { return Main().OptionButtonAt(IndexOf(id)).Value(); }
    std::int32_t SliderValue() { return Main().SliderAt(IndexOf(ControlId::sldBorderWidth)).Value(); }

    // Each row as {class name, handle, text}.
    std::vector<std::array<std::string, 3>> ListedRows() {
        std::vector<std::array<std::string, 3>> rows;
        for (const MemoryReportList::Row& row : List().Rows()) {
            rows.push_back({row.text, row.sub_item1, row.sub_item2});
        }
        return rows;
    }

    std::array<WindowHandle, 4> BarHandles() {
        const auto bars = program->Frame().Bars();
        return {bars[0]->Form().Handle(), bars[1]->Form().Handle(), bars[2]->Form().Handle(), bars[3]->Form().Handle()};
    }

    bool AnyBarVisible() {
        for (WindowHandle bar : BarHandles()) {
            if (windows.IsVisible(bar)) {
                return true;
            }
        }
        return false;
    }

    void PointAtAndTick(WindowHandle window) {
        windows.MovePointerTo(window);
        toolkit.Tick();
    }

    void Press(std::int16_t key_code, std::int16_t shift = 0) { toolkit.PressKey(Main(), key_code, shift); }
    void Type(std::int16_t key_code, char character) {
        toolkit.PressKey(Main(), key_code, 0, static_cast<std::int16_t>(character));
    }

    // One bar placed by the frame: topmost, not activated.
    static std::string BarPlacement(WindowHandle bar,
                                    std::int32_t x,
                                    std::int32_t y,
                                    std::int32_t cx,
                                    std::int32_t cy) {
        return SetWindowPosEntry(bar, -1, x, y, cx, cy, 16);
    }

    // The journal's entries that start with one of `prefixes`, in order.
    std::vector<std::string> JournalOf(std::initializer_list<std::string_view> prefixes) {
        std::vector<std::string> kept;
        for (const std::string& entry : journal.Entries()) {
            for (std::string_view prefix : prefixes) {
                if (std::string_view(entry).substr(0, prefix.size()) == prefix) {
                    kept.push_back(entry);
                    break;
                }
            }
        }
        return kept;
    }

    EventJournal journal;
    ScriptedWindowSystem windows{journal};
    MemoryToolkit toolkit{windows, journal};
    ScriptedElementSystem elements;
    // Whether the program is given the element system above, and so the look-inside switch and key.
    bool can_look_inside = false;
    bool wayland_session = false;
    // What Ctrl+L is given; nothing by default.
    LocatorPorts locator_ports;
    std::unique_ptr<frmGlintrix> program;
};

}  // namespace hovermark::testing
