#include <gtest/gtest.h>

#include "platform/database/mysql_connection_text.h"
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

TEST(MySqlConnectionText, NeedsHostPortAndDatabaseInAnyOrder) {
  const auto endpoint = ParseMySqlConnectionText("dbname=tessdb42 port=3306 host=db.example.invalid");
  ASSERT_TRUE(endpoint);
  EXPECT_EQ(endpoint->host, "db.example.invalid");
  EXPECT_EQ(endpoint->port, 3306u);
  EXPECT_EQ(endpoint->database, "tessdb42");

  EXPECT_FALSE(ParseMySqlConnectionText("host=a port=3306"));
  EXPECT_FALSE(ParseMySqlConnectionText("host=a dbname=b"));
  EXPECT_FALSE(ParseMySqlConnectionText("port=3306 dbname=b"));
  EXPECT_FALSE(ParseMySqlConnectionText("host=a port=none dbname=b"));
  EXPECT_FALSE(ParseMySqlConnectionText("host=a port=99999999999 dbname=b"));
  EXPECT_EQ(ParseMySqlConnectionText("host=a port=33061x dbname=b")->port, 33061u);
}

}  // namespace
}  // namespace orelens::platform
