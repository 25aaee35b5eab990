#include <string>

#include <gtest/gtest.h>

#include "window_inspection/text_cleaning.h"
#include "window_inspection/utf8.h"

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

TEST(ValidUtf8Prefix, ReplacesEachMaximalInvalidPartAndCutsOnlyBetweenCharacters) {
    // An overlong form, a surrogate, a code point above U+10FFFF, a lone continuation byte, a cut sequence.
    EXPECT_EQ(ValidUtf8Prefix("a\xC0\xAF"
                              "b\xED\xA0\x80"
                              "c\xF4\x90\x80\x80"
                              "d\x80"
                              "e\xE2\x82",
                              100),
              "a\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc\uFFFD\uFFFD\uFFFD\uFFFDd\uFFFDe\uFFFD");
    EXPECT_EQ(ValidUtf8Prefix("\xE2\x82", 100), "\uFFFD");
    EXPECT_EQ(ValidUtf8Prefix("Grüße €", 100), "Grüße €");
    EXPECT_EQ(ValidUtf8Prefix("ab€", 4), "ab");
    EXPECT_EQ(ValidUtf8Prefix("ab€", 5), "ab€");
    EXPECT_EQ(ValidUtf8Prefix("a\xFF", 3), "a");
}

}  // namespace
}  // namespace hovermark
