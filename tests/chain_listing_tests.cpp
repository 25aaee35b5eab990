// The rows one window and its chain of parents and owners give in the list.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/doubles/memory_toolkit.h"
#include "tests/doubles/scripted_window_system.h"
#include "window_inspection/window_chain.h"

namespace hovermark::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::FieldsAre;
using namespace std::string_literals;

class ChainListing : public ::testing::Test {
  protected:
    WindowHandle Add(std::string class_name, std::string text, std::int32_t parent_or_owner = 0) {
        return windows.AddWindow({.class_name = std::move(class_name),
                                  .text = std::move(text),
                                  .parent_or_owner = parent_or_owner,
                                  .rect = {0, 0, 10, 10}});
    }
    void List(WindowHandle window) { ListWindowChain(windows, list, window); }
    const std::vector<MemoryReportList::Row>& Rows() { return list.Rows(); }

    ScriptedWindowSystem windows;
    MemoryReportList list;
};

TEST_F(ChainListing, ButtonInOwnedDialogGivesThreeRowsInChainOrderOnlyFirstBold) {
    const WindowHandle app = Add("SampleAppWindow", "Sample Editor");
    const WindowHandle dialog = Add("#32770", " Grüße — Привет\t ", app);
    const WindowHandle button = Add("Button", "  OK  ", dialog);

    List(button);

    ASSERT_EQ(Rows().size(), 3U);
    EXPECT_THAT(Rows()[0],
                FieldsAre("Button", std::to_string(button), "OK", true, std::nullopt, std::nullopt, std::nullopt));
    EXPECT_THAT(Rows()[1], FieldsAre("#32770", std::to_string(dialog), "Grüße — Привет\t", false, std::nullopt,
                                     std::nullopt, std::nullopt));
    EXPECT_THAT(Rows()[2], FieldsAre("SampleAppWindow", std::to_string(app), "Sample Editor", false, std::nullopt,
                                     std::nullopt, std::nullopt));
}

TEST_F(ChainListing, TopLevelWindowWithoutOwnerIsOneBoldRow) {
    const WindowHandle lone = Add("SampleToolWindow", "Inner  spaces stay");
    List(lone);
    ASSERT_EQ(Rows().size(), 1U);
    EXPECT_EQ(Rows()[0].text, "SampleToolWindow");
    EXPECT_EQ(Rows()[0].sub_item2, "Inner  spaces stay");
    EXPECT_TRUE(Rows()[0].bold);
}

TEST_F(ChainListing, WindowWithoutTextIsNeverAskedForIt) {
    const WindowHandle blank = Add("Static", "");
    List(blank);
    ASSERT_EQ(Rows().size(), 1U);
    EXPECT_EQ(Rows()[0].sub_item2, "");
    EXPECT_EQ(windows.TextReads(blank), 0);
    EXPECT_EQ(windows.Calls("GetWindowTextA"), 0);
}

TEST_F(ChainListing, NulsInTextsAndClassNamesAreCleanedLikeTheBufferTheyCameIn) {
    const WindowHandle window = Add("Odd\0Class\0"s, "\0 two\0parts \0"s);
    List(window);
    ASSERT_EQ(Rows().size(), 1U);
    EXPECT_EQ(Rows()[0].text, "Odd Class");
    EXPECT_EQ(Rows()[0].sub_item2, "two parts");
}

TEST_F(ChainListing, ClassNameIsCutToTheBufferTheProgramGives) {
    const std::string long_name(300, 'x');
    List(Add(long_name, "t"));
    EXPECT_EQ(Rows()[0].text, std::string(255, 'x'));
}

TEST_F(ChainListing, NegativeParentEndsTheChainAndHandlesPrintSigned) {
    const WindowHandle negative = windows.AddWindow({.handle = 2000, .class_name = "Owned", .rect = {0, 0, 1, 1}});
    windows.SetParentOrOwner(negative, -42);
    List(negative);
    ASSERT_EQ(Rows().size(), 1U);
    EXPECT_EQ(windows.Calls("GetClassNameA"), 1);
}

TEST_F(ChainListing, HandleNamingNoWindowGivesAnEmptyRowAndEndsTheChain) {
    List(-1234);
    ASSERT_EQ(Rows().size(), 1U);
    EXPECT_THAT(Rows()[0], FieldsAre("", "-1234", "", true, std::nullopt, std::nullopt, std::nullopt));
}

TEST_F(ChainListing, AppendsWithoutClearingSoOnlyListRowOneIsBold) {
    list.AddRow("earlier");
    List(Add("Later", "x"));
    ASSERT_EQ(Rows().size(), 2U);
    EXPECT_EQ(Rows()[0].text, "earlier");
    EXPECT_FALSE(Rows()[1].bold);
}

TEST_F(ChainListing, LoopingChainsListEachWindowOnceAndEnd) {
    const WindowHandle self_owned = Add("SelfOwned", "me");
    windows.SetParentOrOwner(self_owned, self_owned);
    List(self_owned);
    EXPECT_EQ(Rows().size(), 1U);

    list.Clear();
    const WindowHandle a = Add("A", "");
    const WindowHandle b = Add("B", "", a);
    const WindowHandle c = Add("C", "", b);
    windows.SetParentOrOwner(a, c);
    List(c);
    ASSERT_EQ(Rows().size(), 3U);
    EXPECT_EQ(Rows()[0].text, "C");
    EXPECT_EQ(Rows()[1].text, "B");
    EXPECT_EQ(Rows()[2].text, "A");
}

TEST_F(ChainListing, VeryLongChainStopsAtTheBound) {
    WindowHandle top = Add("W", "");
    for (int i = 0; i < 1200; ++i) {
        top = Add("W", "", top);
    }
    List(top);
    EXPECT_EQ(Rows().size(), kMaxChainRows);
}

TEST_F(ChainListing, WindowDestroyedWhileItsChainIsReadEndsTheChainQuietly) {
    const WindowHandle app = Add("SampleAppWindow", "Sample Editor");
    const WindowHandle dialog = Add("#32770", "Dialog", app);
    const WindowHandle button = Add("Button", "OK", dialog);
    windows.before_call = [&](std::string_view operation) {
        if (operation == "GetWindowLongA" && windows.Find(dialog) != nullptr) {
            windows.Destroy(dialog);
        }
    };
    List(button);
    ASSERT_EQ(Rows().size(), 2U);
    EXPECT_THAT(Rows()[1], FieldsAre("", std::to_string(dialog), "", false, std::nullopt, std::nullopt, std::nullopt));
}

}  // namespace
}  // namespace hovermark::testing
