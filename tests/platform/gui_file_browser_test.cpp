#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/gui/file_browser.h"

namespace orelens::platform {
namespace {
namespace fs = std::filesystem;

class FileBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(ORELENS_BINARY_DIR) / "file_browser_test" /
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(root_);
    fs::create_directories(root_ / "Schematics");
    for (const char* name : {"castle.KvSch", "tower.kvsch", "bridge.gz", "notes.txt"}) {
      std::ofstream(root_ / "Schematics" / name) << "x";
    }
    fs::create_directories(root_ / "Schematics" / "old");
  }
  std::vector<std::string> Names(const FileBrowser& browser) {
    std::vector<std::string> names;
    for (const auto& entry : browser.Entries()) names.push_back(entry.name);
    return names;
  }
  fs::path root_;
};

constexpr const char* kOpenPattern = "Schematic Files (*.KvSch, *.gz)|*.KvSch;*.gz|All files (*.*)|*.*";

TEST_F(FileBrowserTest, ListsFoldersThenFilesOfTheChosenPattern) {
  FileBrowser browser(false, (root_ / "Schematics").string(), kOpenPattern, 0);
  EXPECT_EQ(Names(browser), (std::vector<std::string>{"..", "old", "bridge.gz", "castle.KvSch", "tower.kvsch"}));
  browser.SelectChoice(1);
  EXPECT_EQ(Names(browser).size(), 6u);
  browser.SelectChoice(7);  // no such choice: unchanged
  EXPECT_EQ(browser.ChoiceIndex(), 1);
}

TEST_F(FileBrowserTest, NavigatesAndAcceptsOnlyWhatCanBeUsed) {
  FileBrowser open(false, (root_ / "Schematics" / "castle.KvSch").string(), kOpenPattern, 0);
  EXPECT_EQ(open.FileName(), "castle.KvSch");
  EXPECT_EQ(open.Accept(), (root_ / "Schematics" / "castle.KvSch").string());
  open.FileName() = "missing.KvSch";
  EXPECT_EQ(open.Accept(), "");
  open.FileName() = "old";  // a folder: shown instead of taken
  EXPECT_EQ(open.Accept(), "");
  EXPECT_EQ(open.Folder(), (root_ / "Schematics" / "old").string());
  open.Enter("..");
  EXPECT_EQ(open.Folder(), (root_ / "Schematics").string());
  open.Enter("no such folder");
  EXPECT_EQ(open.Folder(), (root_ / "Schematics").string());

  FileBrowser save(true, "", "Kelvane Schematic | *.KvSch", 0);
  save.Enter((root_ / "Schematics").string());
  save.FileName() = "new.KvSch";
  EXPECT_EQ(save.Accept(), (root_ / "Schematics" / "new.KvSch").string());
  save.FileName() = "nowhere/new.KvSch";
  EXPECT_EQ(save.Accept(), "");
  save.FileName() = "";
  EXPECT_EQ(save.Accept(), "");
}

TEST_F(FileBrowserTest, BackslashPathsAndUnreadableFoldersAreHandled) {
  std::string windowsStyle = (root_ / "Schematics").string() + "\\tower.kvsch";
  FileBrowser browser(false, windowsStyle, kOpenPattern, 5);
  EXPECT_EQ(browser.Folder(), (root_ / "Schematics").string());
  EXPECT_EQ(browser.FileName(), "tower.kvsch");
  EXPECT_EQ(browser.ChoiceIndex(), 1);  // clamped to the last choice

  FileBrowser root(false, "/", "", 0);
  EXPECT_TRUE(root.Entries().empty() || root.Entries().front().name != "..");
}

}  // namespace
}  // namespace orelens::platform
