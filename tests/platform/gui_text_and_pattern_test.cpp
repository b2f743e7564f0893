#include <gtest/gtest.h>

#include "platform/gui/file_pattern.h"
#include "platform/gui/gui_text.h"

namespace orelens::platform {
namespace {

TEST(GuiTextTest, LineBreakPairsShowAsOneBreak) {
  EXPECT_EQ(DisplayText("Please make sure.\n\rDo it?"), "Please make sure.\nDo it?");
  EXPECT_EQ(DisplayText("a\r\nb"), "a\nb");
  EXPECT_EQ(DisplayText("para\n\r\n\rnext"), "para\n\nnext");
  EXPECT_EQ(DisplayText("a\n\nb"), "a\n\nb");
  EXPECT_EQ(DisplayText("a\rb\r"), "a\nb\n");
  EXPECT_EQ(DisplayText(""), "");
}

TEST(FilePatternTest, SchematicPatternsParse) {
  const auto open = ParseFilePattern("Schematic Files (*.KvSch, *.gz)|*.KvSch;*.gz|All files (*.*)|*.*");
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[0].label, "Schematic Files (*.KvSch, *.gz)");
  EXPECT_EQ(open[0].globs, (std::vector<std::string>{"*.KvSch", "*.gz"}));
  EXPECT_EQ(open[1].globs, (std::vector<std::string>{"*.*"}));

  const auto save = ParseFilePattern("Kelvane Schematic | *.KvSch");
  ASSERT_EQ(save.size(), 1u);
  EXPECT_EQ(save[0].label, "Kelvane Schematic");
  EXPECT_EQ(save[0].globs, (std::vector<std::string>{"*.KvSch"}));
}

TEST(FilePatternTest, OddPatternsStillGiveUsableChoices) {
  const auto empty = ParseFilePattern("");
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_TRUE(MatchesFilePattern("anything", empty[0]));

  const auto labelOnly = ParseFilePattern("Only a label");
  ASSERT_EQ(labelOnly.size(), 1u);
  EXPECT_TRUE(MatchesFilePattern("x.bin", labelOnly[0]));

  const auto separators = ParseFilePattern("||;;|");
  for (const auto& choice : separators) {
    EXPECT_FALSE(choice.globs.empty());
    for (const auto& glob : choice.globs) EXPECT_FALSE(glob.empty());
  }
}

TEST(FilePatternTest, MatchingIgnoresCaseAndHonoursEveryGlob) {
  const auto choices = ParseFilePattern("Schematic Files (*.KvSch, *.gz)|*.KvSch;*.gz|All files (*.*)|*.*");
  EXPECT_TRUE(MatchesFilePattern("castle.kvsch", choices[0]));
  EXPECT_TRUE(MatchesFilePattern("castle.KVSCH", choices[0]));
  EXPECT_TRUE(MatchesFilePattern("castle.gz", choices[0]));
  EXPECT_FALSE(MatchesFilePattern("castle.kvsch.bak", choices[0]));
  EXPECT_FALSE(MatchesFilePattern("kvsch", choices[0]));
  EXPECT_TRUE(MatchesFilePattern("README", choices[1]));

  FilePatternChoice question{"q", {"a?c.*x"}};
  EXPECT_TRUE(MatchesFilePattern("abc.tx", question));
  EXPECT_FALSE(MatchesFilePattern("ac.tx", question));

  FilePatternChoice many{"stars", {"*a*a*a*a*a*b"}};
  EXPECT_FALSE(MatchesFilePattern(std::string(200, 'a'), many));
}

}  // namespace
}  // namespace orelens::platform
