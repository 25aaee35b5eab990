// Locators: the literals every dialect writes names in, the shortest locator each builds over live trees with
// duplicates, and the check's bound over applications that answer slowly or not at all.
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "locator/dialect.h"
#include "locator/locator_builder.h"
#include "locator/string_literals.h"
#include "main_window/locator_check.h"
#include "tests/doubles/scripted_element_adapter.h"
#include "tests/doubles/scripted_window_system.h"
#include "tests/program_fixture.h"
#include "window_inspection/element_engine.h"

namespace hovermark {
namespace {

using namespace std::chrono_literals;
using locator::Key;
using locator::LiveTree;

TEST(LocatorLiterals, EveryNameIsWrittenAsAnExactLiteral) {
    struct Case {
        std::string text;
        std::string python;
        std::string shell;
        std::string regex;
    };
    const std::vector<Case> cases{
        {"OK", "'OK'", "'OK'", "OK"},
        {"it's \"so\"", R"('it\'s "so"')", R"('it'\''s "so"')", R"(it's "so")"},
        {R"(C:\path\)", R"('C:\\path\\')", R"('C:\path\')", R"(C:\\path\\)"},
        {"a\tb\nc\rd", R"('a\tb\nc\rd')", "'a\tb\nc\rd'", "a\tb\nc\rd"},
        {std::string("nul\0end", 7), R"('nul\x00end')", std::string("'nul\0end'", 9), std::string("nul\0end", 7)},
        {"\x1b\x7f\xc2\x85", R"('\x1b\x7f\x85')", "'\x1b\x7f\xc2\x85'", "\x1b\x7f\xc2\x85"},
        {"smile \xF0\x9F\x98\x80 caf\xC3\xA9", R"('smile \U0001f600 café')", "'smile \xF0\x9F\x98\x80 caf\xC3\xA9'",
         "smile \xF0\x9F\x98\x80 caf\xC3\xA9"},
        // A byte that is no part of a character, a surrogate's bytes and an overlong slash: each one U+FFFD.
        {"x\xff\xed\xa0\x80\xc0\xaf", "'x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD'",
         "'x\xff\xed\xa0\x80\xc0\xaf'", "x\xff\xed\xa0\x80\xc0\xaf"},
        {"1+1=2? [a-z]* (x|y) {2} ^$.", "'1+1=2? [a-z]* (x|y) {2} ^$.'", "'1+1=2? [a-z]* (x|y) {2} ^$.'",
         R"(1\+1=2\? \[a-z\]\* \(x\|y\) \{2\} \^\$\.)"},
        {"", "''", "''", ""},
    };
    for (const Case& each : cases) {
        EXPECT_EQ(locator::PythonLiteral(each.text), each.python) << each.text;
        EXPECT_EQ(locator::ShellWord(each.text), each.shell) << each.text;
        EXPECT_EQ(locator::ExtendedRegexLiteral(each.text), each.regex) << each.text;
    }
    // A megabyte of name stays whole, one character per escape.
    const std::string long_name(1 << 20, 'q');
    EXPECT_EQ(locator::PythonLiteral(long_name).size(), long_name.size() + 2);
}

std::vector<locator::Property> Element(const std::string& role, const std::string& name) {
    std::vector<locator::Property> properties;
    if (!role.empty()) {
        properties.push_back({Key::kRoleName, role});
    }
    if (!name.empty()) {
        properties.push_back({Key::kName, name});
    }
    return properties;
}

struct Written {
    std::string text;
    bool checked;
    std::size_t matches;
};

Written Write(const LiveTree& tree, std::size_t item, const locator::Dialect& dialect) {
    const locator::Locator built = locator::BuildLocator(tree, item, dialect);
    return {dialect.Write(built), built.checked, built.matches};
}

// An application with OK buttons in two groups, two of them in the same group, and one with an id.
TEST(LocatorBuilder, DogtailTellsDuplicatesApartByAncestorThenIndexAndPrefersIds) {
    LiveTree tree;
    tree.Add(locator::kNoItem, {});
    tree.Add(0, Element("application", "other"));
    const std::size_t app = tree.Add(0, Element("application", "factory"));
    const std::size_t frame = tree.Add(app, Element("frame", "Factory"));
    const std::size_t group_a = tree.Add(frame, Element("panel", "Group A"));
    const std::size_t in_a = tree.Add(group_a, Element("push button", "OK"));
    const std::size_t group_b = tree.Add(frame, Element("panel", "Group B"));
    const std::size_t first_in_b = tree.Add(group_b, Element("push button", "OK"));
    const std::size_t second_in_b = tree.Add(group_b, Element("push button", "OK"));
    std::vector<locator::Property> with_id = Element("push button", "Apply");
    with_id.push_back({Key::kAccessibleId, "apply"});
    const std::size_t apply = tree.Add(frame, with_id);
    // A name dogtail's regular expression also matches ("O." matches "OK"): it is no unique name.
    const std::size_t dotted = tree.Add(frame, Element("label", "O."));
    tree.complete = true;
    const locator::Dialect& dogtail = locator::DogtailDialect();

    Written written = Write(tree, in_a, dogtail);
    EXPECT_EQ(written.text,
              "root.application('factory').child(roleName='panel', name='Group A').child(roleName='push button', "
              "name='OK')");
    EXPECT_EQ(written.matches, 1U);
    written = Write(tree, second_in_b, dogtail);
    EXPECT_EQ(written.text,
              "root.application('factory').findChildren(GenericPredicate(roleName='push button', name='OK'))[2]");
    EXPECT_EQ(written.matches, 3U);
    EXPECT_EQ(Write(tree, first_in_b, dogtail).text,
              "root.application('factory').findChildren(GenericPredicate(roleName='push button', name='OK'))[1]");
    EXPECT_EQ(Write(tree, apply, dogtail).text, "root.application('factory').child(identifier='apply')");
    EXPECT_EQ(Write(tree, dotted, dogtail).text, "root.application('factory').child(roleName='label', name='O.')");
    tree.items[in_a].properties = Element("label", "OK");
    EXPECT_EQ(Write(tree, dotted, dogtail).text,
              "root.application('factory').findChildren(GenericPredicate(roleName='label', name='O.'))[1]");

    // Not read whole: nothing is counted, and the first way of naming each step is what there is.
    tree.complete = false;
    written = Write(tree, second_in_b, dogtail);
    EXPECT_FALSE(written.checked);
    EXPECT_EQ(written.text, "root.application('factory').child(roleName='push button', name='OK')");
}

TEST(LocatorBuilder, WindowsAreFoundByClassTitleAndControlIdAndElementsByControlType) {
    const auto window = [](const std::string& class_name, const std::string& title, int control_id = 0) {
        std::vector<locator::Property> properties{{Key::kClassName, class_name}, {Key::kName, title}};
        if (control_id != 0) {
            properties.push_back({Key::kControlId, std::to_string(control_id)});
        }
        return properties;
    };
    LiveTree desktop;
    desktop.Add(locator::kNoItem, {});
    const std::size_t frame = desktop.Add(0, {});  // a window manager's frame: no class
    const std::size_t calc = desktop.Add(frame, window("XCalc", "Calculator"));
    const std::size_t key = desktop.Add(calc, {});
    const std::size_t twin_frame = desktop.Add(0, {});
    const std::size_t twin = desktop.Add(twin_frame, window("Twin", "Same"));
    const std::size_t other_frame = desktop.Add(0, {});
    desktop.Add(other_frame, window("twin", "same"));
    desktop.complete = true;
    const locator::Dialect& xdotool = locator::XdotoolDialect();
    // The window under the pointer is a child: the command prints its top level.
    EXPECT_EQ(Write(desktop, key, xdotool).text, "xdotool search --all --class --name '^(XCalc$|Calculator$)'");
    // Class and name compare without regard to case, so the second window matches too.
    Written written = Write(desktop, twin, xdotool);
    EXPECT_EQ(written.text, "xdotool search --all --class --name '^(Twin$|Same$)' | sed -n '1p'");
    EXPECT_EQ(written.matches, 2U);

    LiveTree windows;
    windows.Add(locator::kNoItem, {});
    const std::size_t main = windows.Add(0, window("Fixture", "Main"));
    const std::size_t left = windows.Add(main, window("Panel", ""));
    const std::size_t left_ok = windows.Add(left, window("Button", "OK"));
    const std::size_t right = windows.Add(main, window("Panel", "Right"));
    const std::size_t right_ok = windows.Add(right, window("Button", "OK", 1001));
    windows.Add(main, window("Button", "OK"), false);  // hidden: found by no search
    windows.complete = true;
    const locator::Dialect& win32 = locator::PywinautoWin32Dialect();
    EXPECT_EQ(Write(windows, right_ok, win32).text,
              "Desktop(backend=\"win32\").window(class_name='Fixture', title='Main').child_window(control_id=1001)");
    // The nearest ancestor that tells it apart: a panel with an empty title, which pywinauto compares too.
    EXPECT_EQ(Write(windows, left_ok, win32).text,
              "Desktop(backend=\"win32\").window(class_name='Fixture', title='Main')"
              ".child_window(class_name='Panel', title='').child_window(class_name='Button', title='OK')");
    windows.items[left].properties = window("Panel", "Right");
    written = Write(windows, left_ok, win32);
    EXPECT_EQ(written.text,
              "Desktop(backend=\"win32\").window(class_name='Fixture', title='Main')"
              ".child_window(class_name='Button', title='OK', found_index=0)");
    EXPECT_EQ(written.matches, 2U);

    LiveTree elements;
    elements.Add(locator::kNoItem, {});
    // Roles by number, whatever their text says in the system's language: 0x2A an editable text, 0x29 a static
    // one.
    const auto numbered = [&](const std::string& role, long number, const std::string& name) {
        std::vector<locator::Property> properties = Element(role, name);
        properties.push_back({Key::kRoleNumber, std::to_string(number)});
        return properties;
    };
    const std::size_t drawn = elements.Add(0, numbered("window", 0x09, "Drawn"));
    const std::size_t client = elements.Add(drawn, numbered("client", 0x0A, "Drawn"));
    const std::size_t field = elements.Add(client, numbered("text", 0x2A, "Name"));
    elements.Add(client, numbered("static text", 0x29, "Name"));
    elements.complete = true;
    EXPECT_EQ(Write(elements, field, locator::PywinautoUiaDialect()).text,
              "Desktop(backend=\"uia\").window(title='Drawn').child_window(title='Name', control_type='Edit')");
}

// A window of the scripted system that the element engine reads: application "app", its element with two
// groups, an OK button in each.
struct CheckedWindow {
    explicit CheckedWindow(testing::ScriptedElementAdapter& adapter) {
        const int top = adapter.AddWindow(kWindow, "app", {0, 0, 400, 300});
        const int group_a = adapter.Add(top, "panel", "Group A", {0, 0, 200, 300});
        adapter.Add(group_a, "push button", "OK", {10, 10, 100, 50});
        const int group_b = adapter.Add(top, "panel", "Group B", {200, 0, 400, 300});
        adapter.Add(group_b, "push button", "OK", {210, 10, 300, 50});
    }
    static constexpr WindowHandle kWindow = 100;
};

// What Ctrl+L gives over the second group's button, and how long after the key it came.
struct Checked {
    LocatorOutcome outcome;
    std::chrono::milliseconds after;
};

Checked CheckSecondButton(ElementEngine& engine, testing::ScriptedWindowSystem& windows) {
    constexpr Point kOnSecond{250, 30};
    ElementsAnswer answer;
    for (int tick = 0; tick < 40 && answer.elements.size() < 2; ++tick) {
        answer = engine.ElementsAt(CheckedWindow::kWindow, kOnSecond);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(answer.elements.size(), 2U);
    LocatorCheck check({.elements = &locator::DogtailDialect(), .windows = &locator::XdotoolDialect()}, windows,
                       nullptr, &engine);
    const auto pressed = std::chrono::steady_clock::now();
    EXPECT_TRUE(check.Start(answer.elements.empty() ? "" : answer.elements.front().id, CheckedWindow::kWindow));
    std::optional<LocatorOutcome> outcome;
    while (!(outcome = check.Poll())) {
        std::this_thread::sleep_for(10ms);
    }
    return {*outcome,
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed)};
}

// Every delay a round trip may take within its bound: the check answers within its second, an answer that came
// in time is never taken for late, and one that cannot come in time in all is "not checked", never a count.
TEST(LocatorCheck, SlowApplicationsAreCheckedWithinASecondAndHungOnesAreNotChecked) {
    const std::string kLocator =
        "root.application('app').child(roleName='panel', name='Group B').child(roleName='push button', name='OK')";
    testing::ScriptedWindowSystem windows;
    for (const int delay_ms : {0, 40, 80, 110, 160, 200, 245}) {
        auto adapter = std::make_shared<testing::ScriptedElementAdapter>();
        const CheckedWindow window(*adapter);
        ElementEngine engine(adapter);
        const Checked checked = CheckSecondButton(engine, windows);
        adapter->SetDelay("app", delay_ms);
        const Checked slow = CheckSecondButton(engine, windows);
        EXPECT_EQ(checked.outcome.locator, kLocator);
        EXPECT_EQ(checked.outcome.finding, kOneMatchText);
        EXPECT_LT(slow.after, kLocatorAnswerTime) << delay_ms;
        // Six round trips a check (its name, and five listings): within its time up to 120 ms each.
        if (delay_ms * 6 < 750) {
            EXPECT_EQ(slow.outcome.finding, kOneMatchText) << delay_ms;
            EXPECT_EQ(slow.outcome.locator, kLocator) << delay_ms;
        } else {
            EXPECT_EQ(slow.outcome.finding, kNotCheckedText) << delay_ms;
            EXPECT_EQ(slow.outcome.locator, "root.application('app').child(roleName='push button', name='OK')");
        }
        // Slow is not hung: the application still answers the walks.
        EXPECT_TRUE(engine.ElementsAt(CheckedWindow::kWindow, {250, 30}).known) << delay_ms;
    }

    // Another application on the desktop is hung and left alone: the element's own is read whole, and the
    // locator built within it, but no count can be made without the other's name.
    {
        auto adapter = std::make_shared<testing::ScriptedElementAdapter>();
        const CheckedWindow window(*adapter);
        adapter->AddWindow(CheckedWindow::kWindow + 1, "stuck", {500, 0, 900, 300});
        ElementEngine engine(adapter);
        adapter->SetHung("stuck", true);
        for (int tick = 0; tick < 5; ++tick) {
            engine.ElementsAt(CheckedWindow::kWindow + 1, {600, 30});
            std::this_thread::sleep_for(100ms);
        }
        const Checked beside_hung = CheckSecondButton(engine, windows);
        EXPECT_EQ(beside_hung.outcome.locator, kLocator);
        EXPECT_EQ(beside_hung.outcome.finding, kNotCheckedText);
        EXPECT_LT(beside_hung.after, kLocatorAnswerTime);
        engine.Stop();
        adapter->SetHung("stuck", false);
        std::this_thread::sleep_for(100ms);
    }

    auto adapter = std::make_shared<testing::ScriptedElementAdapter>();
    const CheckedWindow window(*adapter);
    {
        ElementEngine engine(adapter);
        CheckSecondButton(engine, windows);
        adapter->SetHung("app", true);
        const Checked hung = CheckSecondButton(engine, windows);
        EXPECT_EQ(hung.outcome.finding, kNotCheckedText);
        EXPECT_LT(hung.after, kLocatorAnswerTime);
    }
    adapter->SetHung("app", false);
    std::this_thread::sleep_for(100ms);
}

// The windows of a scripted window system as an enumeration sees them, every call taking `delay` first. It reads
// them as they are when it is made: the scripted system is the GUI thread's alone.
class SlowEnumeration final : public WindowEnumeration {
  public:
    explicit SlowEnumeration(const testing::ScriptedWindowSystem& windows) {
        for (const WindowHandle window : windows.ZOrderFrontToBack()) {
            const testing::ScriptedWindow* found = windows.Find(window);
            children_[found->child ? found->parent_or_owner : 0].push_back(window);
            facts_[window] = {.class_name = found->class_name, .title = found->text, .control_id = 0, .visible = true};
        }
    }
    std::atomic<int> delay_ms{0};

    std::optional<std::vector<WindowHandle>> ChildWindows(WindowHandle parent) override {
        Wait();
        const auto found = children_.find(parent);
        return found != children_.end() ? found->second : std::vector<WindowHandle>{};
    }
    std::optional<WindowFacts> FactsOf(WindowHandle window) override {
        Wait();
        return facts_.at(window);
    }

  private:
    void Wait() const { std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms.load())); }
    std::map<WindowHandle, std::vector<WindowHandle>> children_;
    std::map<WindowHandle, WindowFacts> facts_;
};

// Twelve calls a check over a window of two panels: within its time up to 60 ms each, past it beyond; the
// outcome comes within the second whatever the delay, and the window thread holds nothing up once it has ended.
TEST(LocatorCheck, WindowsAreCheckedWithinASecondHoweverSlowlyTheSystemAnswers) {
    testing::ScriptedWindowSystem windows;
    const WindowHandle main = windows.AddWindow({.class_name = "Fixture", .text = "Main"});
    windows.AddWindow({.class_name = "Other", .text = "Other"});
    const WindowHandle left =
        windows.AddWindow({.class_name = "Panel", .text = "Left", .parent_or_owner = main, .child = true});
    windows.AddWindow({.class_name = "Button", .text = "OK", .parent_or_owner = left, .child = true});
    const WindowHandle right =
        windows.AddWindow({.class_name = "Panel", .text = "Right", .parent_or_owner = main, .child = true});
    const WindowHandle ok =
        windows.AddWindow({.class_name = "Button", .text = "OK", .parent_or_owner = right, .child = true});
    SlowEnumeration enumeration(windows);
    LocatorCheck check({.elements = nullptr, .windows = &locator::PywinautoWin32Dialect()}, windows, &enumeration,
                       nullptr);
    for (const int delay_ms : {0, 30, 55, 90, 110, 150, 240}) {
        enumeration.delay_ms = delay_ms;
        const auto pressed = std::chrono::steady_clock::now();
        ASSERT_TRUE(check.Start("", ok)) << delay_ms;
        std::optional<LocatorOutcome> outcome;
        while (!(outcome = check.Poll())) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - pressed, kLocatorAnswerTime) << delay_ms;
        if (delay_ms * 12 < 750) {
            EXPECT_EQ(outcome->finding, kOneMatchText) << delay_ms;
            EXPECT_EQ(outcome->locator,
                      "Desktop(backend=\"win32\").window(class_name='Fixture', title='Main')"
                      ".child_window(class_name='Panel', title='Right').child_window(class_name='Button', title='OK')")
                << delay_ms;
        } else {
            EXPECT_EQ(outcome->finding, kNotCheckedText) << delay_ms;
        }
        // The thread of a check that ran out of time may still end its last call: until then no other starts.
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms + 20));
    }
}

class LocatorCommandTest : public testing::ProgramTest {
  protected:
    // Ticks until the clipboard holds something, at most a little more than a check's second.
    void TickUntilCopied() {
        const auto pressed = std::chrono::steady_clock::now();
        while (!toolkit.ClipboardText() && std::chrono::steady_clock::now() - pressed < kLocatorAnswerTime + 200ms) {
            std::this_thread::sleep_for(20ms);
            toolkit.Tick();
        }
    }
};

// The user's whole round: Ctrl+L on the dialog's button, the locator alone on the clipboard, the check's line
// below the rows and never in Ctrl+C's copy, the same from the button, and the line gone once the list changes.
TEST_F(LocatorCommandTest, CtrlLCopiesTheLocatorAloneAndShowsItsCheckBelowTheRowsUntilTheListChanges) {
    const testing::SampleScene scene = AddSampleScene();
    SlowEnumeration enumeration(windows);
    locator_ports = {.dialects = {.elements = nullptr, .windows = &locator::PywinautoWin32Dialect()},
                     .enumeration = &enumeration};
    Start();
    PointAtAndTick(scene.ok_button);
    const std::string kLocator =
        "Desktop(backend=\"win32\").window(class_name='#32770', title='Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x80\x94 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\\t')"
        ".child_window(class_name='Button', title='  OK  ')";

    Press(kVkL);
    TickUntilCopied();
    EXPECT_FALSE(toolkit.ClipboardText()) << "L alone is no command";
    Press(kVkL, kCtrlMask);
    TickUntilCopied();
    ASSERT_TRUE(toolkit.ClipboardText());
    EXPECT_EQ(*toolkit.ClipboardText(), kLocator);
    EXPECT_EQ(List().Hint(), kLocator + "\n" + std::string(kOneMatchText));

    Press(kVkC, kCtrlMask);
    EXPECT_EQ(toolkit.ClipboardText()->find("Desktop("), std::string::npos);
    EXPECT_NE(toolkit.ClipboardText()->find("Button\t"), std::string::npos);
    toolkit.Tick();
    EXPECT_EQ(List().Hint(), kLocator + "\n" + std::string(kOneMatchText)) << "the line stands while the list does";

    toolkit.ClearClipboard();
    toolkit.ClickButton(Main(), IndexOf(ControlId::cmdLocator));
    TickUntilCopied();
    ASSERT_TRUE(toolkit.ClipboardText());
    EXPECT_EQ(*toolkit.ClipboardText(), kLocator);

    PointAtAndTick(scene.lone_window);
    EXPECT_EQ(List().Hint(), "");
}

}  // namespace
}  // namespace hovermark
