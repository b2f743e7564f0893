#include <gtest/gtest.h>

#include "platform/database/sql_parameters.h"

namespace orelens::platform {
namespace {

std::string Doubled(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\'') out += '\\';
    out += c;
  }
  return out;
}

TEST(SqlPlaceholders, QuestionMarksInsideQuotesDoNotCount) {
  EXPECT_EQ(CountPlaceholdersOutsideQuotes("SELECT ? , ?"), 2u);
  EXPECT_EQ(CountPlaceholdersOutsideQuotes("SELECT '?' , ?"), 1u);
  EXPECT_EQ(CountPlaceholdersOutsideQuotes("a = 'it''s ?' and ?"), 1u);
  EXPECT_EQ(CountPlaceholdersOutsideQuotes("'unclosed ? ?"), 0u);
}

TEST(SqlPlaceholders, ParametersAreQuotedAndEscapedInOrder) {
  SqlParameterList parameters;
  parameters.BindText(1, "O'Brien");
  parameters.BindText(0, "crate");
  const auto expanded =
      ExpandQueryParameters("SELECT id WHERE name = ? and note = '?' and author = ?;", parameters, Doubled);
  ASSERT_TRUE(expanded);
  EXPECT_EQ(*expanded, "SELECT id WHERE name = 'crate' and note = '?' and author = 'O\\'Brien';");
}

TEST(SqlPlaceholders, CountMismatchFailsAndNoParametersSendsTheTextUnchanged) {
  SqlParameterList parameters;
  parameters.BindText(0, "x");
  EXPECT_FALSE(ExpandQueryParameters("SELECT ?, ?", parameters, Doubled));
  EXPECT_FALSE(ExpandQueryParameters("SELECT 1", parameters, Doubled));
  parameters.Clear();
  EXPECT_EQ(ExpandQueryParameters("SELECT ?", parameters, Doubled), "SELECT ?");
}

TEST(SqlPlaceholders, GapsBelowTheHighestIndexBecomeNull) {
  SqlParameterList parameters;
  parameters.BindText(2, "c");
  EXPECT_EQ(parameters.Count(), 3u);
  EXPECT_EQ(ExpandQueryParameters("VALUES (?, ?, ?)", parameters, Doubled), "VALUES (NULL, NULL, 'c')");
}

TEST(SqlParameters, BoundTextIsMadeValidUtf8AndBlobsStayAsTheyAre) {
  const auto bound = [](std::string_view text) {
    SqlParameterList parameters;
    parameters.BindText(0, text);
    return parameters.Parameters()[0].bytes;
  };
  const std::string replacement = "\xEF\xBF\xBD";
  // Valid text of one to four bytes a character comes through unchanged, zero bytes included.
  const std::string valid = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x7F\xF4\x8F\xBF\xBF";
  EXPECT_EQ(bound(valid), valid);
  EXPECT_EQ(bound(std::string("\0x", 2)), std::string("\0x", 2));
  // Latin-1 as the game's files may hold it.
  EXPECT_EQ(bound("Caf\xe9!"), "Caf" + replacement + "!");
  // Every byte that belongs to no valid sequence becomes one replacement: stray continuations,
  // bytes that start nothing, overlong forms, surrogates, code points above U+10FFFF and
  // sequences cut short.
  const auto replacements = [&](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += replacement;
    return text;
  };
  EXPECT_EQ(bound("\x80\xBF"), replacements(2));
  EXPECT_EQ(bound("\xC0\xAF"), replacements(2));
  EXPECT_EQ(bound("\xF5\xFF"), replacements(2));
  EXPECT_EQ(bound("\xE0\x80\xAF"), replacements(3));
  EXPECT_EQ(bound("\xED\xA0\x80"), replacements(3));
  EXPECT_EQ(bound("\xF0\x8F\xBF\xBF"), replacements(4));
  EXPECT_EQ(bound("\xF4\x90\x80\x80"), replacements(4));
  EXPECT_EQ(bound("\xE2\x82"), replacements(2));
  EXPECT_EQ(bound("\xE2\x82"
                  "A"),
            replacements(2) + "A");
  EXPECT_EQ(bound("\xF0\x9F\x98\xF0\x9F\x98\x80"), replacements(3) + "\xF0\x9F\x98\x80");
  EXPECT_EQ(bound("\xC3\xC3\xA9"), replacement + "\xC3\xA9");

  SqlParameterList parameters;
  parameters.BindBlob(0, "\xE9\xFF");
  EXPECT_EQ(parameters.Parameters()[0].bytes, "\xE9\xFF");
}

}  // namespace
}  // namespace orelens::platform
