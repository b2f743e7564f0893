#include <gtest/gtest.h>

#include "platform/text/integer_text.h"

namespace orelens::platform {
namespace {

TEST(IntegerText, ReadsDecimalWithBlanksSignAndStopsAtOtherCharacters) {
  EXPECT_EQ(ParseIntegerText("42"), 42);
  EXPECT_EQ(ParseIntegerText(" \t -17abc"), -17);
  EXPECT_EQ(ParseIntegerText("+8,5"), 8);
  EXPECT_EQ(ParseIntegerText("007"), 7);
  EXPECT_EQ(ParseIntegerText("12 34"), 12);
}

TEST(IntegerText, ReadsHexadecimalAndBinaryPrefixes) {
  EXPECT_EQ(ParseIntegerText("$1F"), 31);
  EXPECT_EQ(ParseIntegerText("$ff"), 255);
  EXPECT_EQ(ParseIntegerText("-$10"), -16);
  EXPECT_EQ(ParseIntegerText("%101"), 5);
  EXPECT_EQ(ParseIntegerText("%1012"), 5);
}

TEST(IntegerText, TextWithoutDigitsIsZero) {
  EXPECT_EQ(ParseIntegerText(""), 0);
  EXPECT_EQ(ParseIntegerText("abc"), 0);
  EXPECT_EQ(ParseIntegerText("-"), 0);
  EXPECT_EQ(ParseIntegerText("$"), 0);
  EXPECT_EQ(ParseIntegerText("\n5"), 0);  // only blanks and tabs are skipped
}

TEST(IntegerText, FullRangeAndOverlongNumbersDoNotTrap) {
  EXPECT_EQ(ParseIntegerText("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseIntegerText("-9223372036854775808"), INT64_MIN);
  ParseIntegerText(std::string(5000, '9'));  // wraps; must not be undefined behaviour
}

}  // namespace
}  // namespace orelens::platform
