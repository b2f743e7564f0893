#include "app/custom_block_server.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "fixtures/world_writer.h"

namespace orelens::app {
namespace {

class CustomBlockServerTest : public ::testing::Test {
 protected:
  void Write(const std::string& text) {
    fixtures::WriteBytesToFile(file_, std::vector<uint8_t>(text.begin(), text.end()));
  }
  CustomBlockServerChoice Read() { return ReadCustomBlockServer(environment_, file_); }
  // The server named, with no problem found.
  std::optional<customblocks::CustomBlockDatabaseSettings> Server() {
    const CustomBlockServerChoice choice = Read();
    EXPECT_EQ(choice.problem, "");
    return choice.server;
  }

  fixtures::TempFolder temp_;
  std::string file_ = temp_.path() + std::string(kCustomBlockServerFile);
  platform::Environment environment_;
};

TEST_F(CustomBlockServerTest, NoFileAndNoVariablesNameNoServer) {
  EXPECT_FALSE(Server());
  // Everything but the host does not make a server; a key without "=" names nothing.
  Write("Host\r\nPort = 3306\r\nUser = someone\r\nPassword = secret\r\n");
  environment_.variables = {{"ORELENS_BLOCKDB_USER", "x"}};
  EXPECT_FALSE(Server());
  // Without a host nobody asked for a server: a wrong port is no problem then.
  environment_.variables = {{"ORELENS_BLOCKDB_PORT", "abc"}};
  EXPECT_FALSE(Server());
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
  const auto server = Server();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->login.host, "blocks.example.org");
  EXPECT_EQ(server->login.port, 3307u);
  EXPECT_EQ(server->login.database, "blocks");
  EXPECT_EQ(server->login.user, "publisher");
  EXPECT_EQ(server->login.password, "p=ss word");
}

TEST_F(CustomBlockServerTest, ValuesKeepTheBlanksInsideThem) {
  // Nothing after a blank is read as another setting.
  Write("Host = 127.0.0.1 dbname=mysql\nDatabase = my blocks port=1\n");
  const auto server = Server();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->login.host, "127.0.0.1 dbname=mysql");
  EXPECT_EQ(server->login.database, "my blocks port=1");
  EXPECT_EQ(server->login.port, 3306u);
}

TEST_F(CustomBlockServerTest, VariablesThatAreSetWinOverTheFileKeyByKeyEvenWhenEmpty) {
  Write("Host = from-file\nUser = file-user\nPassword = file-secret\nDatabase = file-db\n");
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "from-environment"},
                            {"ORELENS_BLOCKDB_PORT", "3400"},
                            {"ORELENS_BLOCKDB_NAME", "env-db"},
                            {"ORELENS_BLOCKDB_PASSWORD", "env-secret"},
                            {"HOME", "/home/x"}};
  auto server = Server();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->login.host, "from-environment");
  EXPECT_EQ(server->login.port, 3400u);
  EXPECT_EQ(server->login.database, "env-db");
  EXPECT_EQ(server->login.user, "file-user");
  EXPECT_EQ(server->login.password, "env-secret");

  // Set to nothing: the file's password is cleared, and an empty host names no server.
  environment_.variables = {{"ORELENS_BLOCKDB_PASSWORD", ""}};
  server = Server();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->login.password, "");
  EXPECT_EQ(server->login.user, "file-user");
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", ""}};
  EXPECT_FALSE(Server());

  // The variables alone are enough; unnamed parts keep the table's own names.
  std::filesystem::remove(file_);
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}};
  server = Server();
  ASSERT_TRUE(server);
  EXPECT_EQ(server->login.port, 3306u);
  EXPECT_EQ(server->login.database, "tessdb42");
  EXPECT_EQ(server->login.user, "tessdb42");
  EXPECT_EQ(server->login.password, "");
}

TEST_F(CustomBlockServerTest, APortThatIsNoPortIsNamedWithWhereItCameFrom) {
  for (const char* port : {"abc", "0", "65536", "-1", "+1", "33o6", "99999999999", " 3306", "3306 ", ""}) {
    environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}, {"ORELENS_BLOCKDB_PORT", port}};
    const CustomBlockServerChoice choice = Read();
    EXPECT_FALSE(choice.server) << port;
    EXPECT_EQ(choice.problem, "the port \"" + std::string(port) +
                                  "\" (variable ORELENS_BLOCKDB_PORT) is not a number from 1 to 65535.");
  }
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}, {"ORELENS_BLOCKDB_PORT", "65535"}};
  EXPECT_EQ(Server()->login.port, 65535u);
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}, {"ORELENS_BLOCKDB_PORT", "1"}};
  EXPECT_EQ(Server()->login.port, 1u);

  Write("Host = db.local\nport = 3306 # default\n");
  environment_.variables = {};
  CustomBlockServerChoice choice = Read();
  EXPECT_FALSE(choice.server);
  EXPECT_EQ(choice.problem,
            "the port \"3306 # default\" (port in " + file_ + ") is not a number from 1 to 65535.");
  // A variable that is set puts the file's port right.
  environment_.variables = {{"ORELENS_BLOCKDB_PORT", "3306"}};
  EXPECT_EQ(Server()->login.port, 3306u);
}

TEST_F(CustomBlockServerTest, ASettingsFileThatCannotBeReadIsSaidAndNothingIsUsed) {
  // Garbage that is no key line names no server, and nothing is read out of bounds.
  Write(std::string("\x00\xFF=\r\r\n==\x01", 9));
  EXPECT_FALSE(Server());
  // The variables name a server, but the file may hold its password: nothing is used.
  environment_.variables = {{"ORELENS_BLOCKDB_HOST", "db.local"}};
  Write("Host = big\n" + std::string(64 * 1024, '#'));
  CustomBlockServerChoice choice = Read();
  EXPECT_FALSE(choice.server);
  EXPECT_EQ(choice.problem,
            file_ + " was not read: it is larger than 64 KiB, too large for a settings file.");
  // 64 KiB is still a settings file.
  Write("Host = big\n" + std::string(64 * 1024 - 11, '#'));
  EXPECT_EQ(Server()->login.host, "db.local");

  std::filesystem::remove(file_);
  std::filesystem::create_directory(file_);
  choice = Read();
  EXPECT_FALSE(choice.server);
  EXPECT_EQ(choice.problem, file_ + " was not read: it is a folder.");
}

TEST_F(CustomBlockServerTest, AnUnreadableSettingsFileIsSaid) {
  Write("Host = db.local\n");
  namespace fs = std::filesystem;
  fs::permissions(file_, fs::perms::none);
  // Root reads every file: the check runs in a child without root's rights, which may look
  // into the folder but not read the file.
  fs::permissions(temp_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    const CustomBlockServerChoice choice = Read();
    _exit(!choice.server && choice.problem == file_ + " was not read: it cannot be opened." ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace orelens::app
