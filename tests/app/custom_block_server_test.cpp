#include "app/custom_block_server.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures/world_writer.h"

namespace orelens::app {
namespace {

class CustomBlockServerTest : public ::testing::Test {
 protected:
  void Write(const std::string& text) {
    fixtures::WriteBytesToFile(file_, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::optional<customblocks::CustomBlockDatabaseSettings> Read() {
    return ReadCustomBlockServer(environment_, file_);
  }

  fixtures::TempFolder temp_;
  std::string file_ = temp_.path() + std::string(kCustomBlockServerFile);
  platform::Environment environment_;
};

TEST_F(CustomBlockServerTest, NoFileAndNoVariablesNameNoServer) {
  EXPECT_FALSE(Read());
  // Everything but the host does not make a server; a key without "=" names nothing.
  Write("Host\r\nPort = 3306\r\nUser = someone\r\nPassword = secret\r\n");
  environment_.variables = {{"ORELENS_BLOCKDB_USER", "x"}, {"ORELENS_BLOCKDB_HOST", ""}};
  EXPECT_FALSE(Read());
}

TEST_F(CustomBlockServerTest, TheFileNamesTheServer) {
  Write(
      "\xEF\xBB\xBFhost =  blocks.example.org \r\n"
      "# Host = commented.out\r\n"
      "; Port = 1\n"
      "\n"
      "PORT=3307\r"
      "Database = blocks\n"
      "user\t=\tpublisher\n"
      "Password = p=ss word\n"
      "Colour = blue\n"
      "not a key line\n");
  const auto server = Read();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->host, "blocks.example.org");
  EXPECT_EQ(server->port, 3307u);
  EXPECT_EQ(server->database, "blocks");
  EXPECT_EQ(server->user, "publisher");
  EXPECT_EQ(server->password, "p=ss word");
  EXPECT_EQ(server->ConnectionText(), "host=blocks.example.org port=3307 dbname=blocks");
}

TEST_F(CustomBlockServerTest, VariablesWinOverTheFileKeyByKey) {
  Write("Host = from-file\nUser = file-user\nPassword = file-secret\n");
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "from-environment"},
                            {"ORELENS_BLOCKDB_PORT", "3400"},
                            {"ORELENS_BLOCKDB_NAME", "env-db"},
                            {"ORELENS_BLOCKDB_PASSWORD", "env-secret"},
                            {"HOME", "/home/x"}};
  auto server = Read();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->host, "from-environment");
  EXPECT_EQ(server->port, 3400u);
  EXPECT_EQ(server->database, "env-db");
  EXPECT_EQ(server->user, "file-user");
  EXPECT_EQ(server->password, "env-secret");

  // The variables alone are enough; unnamed parts keep the table's own names.
  std::filesystem::remove(file_);
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}};
  server = Read();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->ConnectionText(), "host=db.local port=3306 dbname=tessdb42");
  EXPECT_EQ(server->user, "tessdb42");
  EXPECT_EQ(server->password, "");
}

TEST_F(CustomBlockServerTest, APortThatIsNoPortFailsToConnectRatherThanGuess) {
  for (const char* port : {"abc", "0", "65536", "-1", "33o6", "99999999999", " "}) {
    environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}, {"ORELENS_BLOCKDB_PORT", port}};
    const auto server = Read();
    ASSERT_TRUE(server) << port;
    EXPECT_EQ(server->port, 0u) << port;
  }
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}, {"ORELENS_BLOCKDB_PORT", "65535"}};
  EXPECT_EQ(Read()->port, 65535u);
}

TEST_F(CustomBlockServerTest, FilesThatAreNoSettingsAreIgnored) {
  // Garbage: no key line, so no server, and nothing read out of bounds.
  Write(std::string("\x00\xFF=\r\r\n==\x01", 9));
  EXPECT_FALSE(Read());
  // Far too large for a settings file: not read.
  Write("Host = big\n" + std::string(100 * 1024, '#'));
  EXPECT_FALSE(Read());
  // A folder of that name.
  std::filesystem::remove(file_);
  std::filesystem::create_directory(file_);
  EXPECT_FALSE(Read());
}

}  // namespace
}  // namespace orelens::app
