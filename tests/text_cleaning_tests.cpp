#include <string>

#include <gtest/gtest.h>

#include "window_inspection/text_cleaning.h"

namespace hovermark {
namespace {

using namespace std::string_literals;

TEST(CleanWindowString, TurnsNulsIntoSpacesThenTrimsOnlySpaces) {
    EXPECT_EQ(CleanWindowString("  OK  "), "OK");
    EXPECT_EQ(CleanWindowString("Save  as"), "Save  as");
    EXPECT_EQ(CleanWindowString("Button\0      "s), "Button");
    EXPECT_EQ(CleanWindowString("\0left\0mid\0"s), "left mid");
    EXPECT_EQ(CleanWindowString("Name:\t"), "Name:\t");
    EXPECT_EQ(CleanWindowString("\tindented "), "\tindented");
    EXPECT_EQ(CleanWindowString(" \r\n "), "\r\n");
}

TEST(CleanWindowString, BlankInputsBecomeEmpty) {
    EXPECT_EQ(CleanWindowString(""), "");
    EXPECT_EQ(CleanWindowString("    "), "");
    EXPECT_EQ(CleanWindowString("\0\0 \0"s), "");
}

TEST(CleanWindowString, KeepsUtf8TextIntact) {
    EXPECT_EQ(CleanWindowString(" Grüße — Привет 你好 "), "Grüße — Привет 你好");
}

}  // namespace
}  // namespace hovermark
