// The text the user gets from Copy: exact bytes, whatever the list holds.
#include <gtest/gtest.h>

#include "main_window/clipboard_report.h"
#include "tests/program_fixture.h"

namespace hovermark::testing {
namespace {

TEST(ClipboardReport, FieldsAreCopiedAsTheyStandWithTabsAndCrLf) {
    MemoryReportList list;
    EXPECT_EQ(BuildClipboardReport(list), "");

    const std::int32_t with_tab = list.AddRow("Edit");
    list.SetSubItem(with_tab, 1, "1002");
    list.SetSubItem(with_tab, 2, "Name:\tvalue");
    const std::int32_t no_text = list.AddRow("Static");
    list.SetSubItem(no_text, 1, "-8");
    list.AddRow("");  // nothing set at all
    EXPECT_EQ(BuildClipboardReport(list), "Edit\t1002\tName:\tvalue\r\nStatic\t-8\t\r\n\t\t\r\n");
}

class CopyCommandTest : public ProgramTest {};

TEST_F(CopyCommandTest, EmptyListClearsTheClipboardThenSetsEmptyText) {
    Start();
    toolkit.ClickButton(Main(), IndexOf(ControlId::cmdCopy));
    EXPECT_EQ(JournalOf({"ClearClipboard", "SetClipboardText"}),
              (std::vector<std::string>{"ClearClipboard", "SetClipboardText"}));
    EXPECT_EQ(toolkit.ClipboardText(), "");
}

TEST_F(CopyCommandTest, HeldWindowThatVanishedEndsTheReportWithTheMarkerLinesAndCopyingAgainGivesTheSame) {
    const SampleScene scene = AddSampleScene();
    Start();
    PointAtAndTick(scene.lone_window);
    Press(kVkP);
    windows.Destroy(scene.lone_window);
    toolkit.Tick();
    const std::string expected = "SampleToolWindow\t" + std::to_string(scene.lone_window) +
                                 "\tLone\r\n\t\t\r\nDestroyed!\t\tThis control or window does not exist any more.\r\n";
    toolkit.ClickButton(Main(), IndexOf(ControlId::cmdCopy));
    EXPECT_EQ(toolkit.ClipboardText(), expected);
    Press(kVkC, kCtrlMask);
    EXPECT_EQ(toolkit.ClipboardText(), expected);
    EXPECT_EQ(List().Rows().size(), 3U) << "copying changes nothing in the list";
}

}  // namespace
}  // namespace hovermark::testing
