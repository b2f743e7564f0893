#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/system/process.h"
#include "platform/system/web_page.h"

namespace orelens::platform {
namespace {
namespace fs = std::filesystem;

fs::path Scratch(const std::string& name) {
  const fs::path folder = fs::path(ORELENS_BINARY_DIR) / "process_test" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

fs::path Script(const fs::path& folder, const std::string& body) {
  const fs::path script = folder / "tool.sh";
  std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
  fs::permissions(script, fs::perms::owner_all);
  return script;
}

bool AppearsWithin(const fs::path& file, int seconds) {
  for (int i = 0; i < seconds * 100; ++i) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(ExternalProcessTest, RunsInTheFolderGivenWithItsArguments) {
  const fs::path folder = Scratch("arguments");
  const fs::path script = Script(folder, "echo \"$1 $2\" > out.txt; echo noise; echo more >&2");
  ExternalProcess process;
  ASSERT_TRUE(process.Start(script.string(), {"-pngpalette=40", "Textures/Block_prev/7.png"}, folder.string()));
  ASSERT_TRUE(process.WaitFor(20000));
  EXPECT_EQ(process.ExitCode(), 0);
  std::ifstream out(folder / "out.txt");
  std::string line;
  std::getline(out, line);
  EXPECT_EQ(line, "-pngpalette=40 Textures/Block_prev/7.png");
}

TEST(ExternalProcessTest, AProgramThatOverrunsIsEndedWithWhatItStarted) {
  const fs::path folder = Scratch("overrun");
  // The script starts a child that would write a file later: ending the script ends it too.
  const fs::path script = Script(folder, "(sleep 3; touch late.txt) & sleep 30");
  ExternalProcess process;
  ASSERT_TRUE(process.Start(script.string(), {}, folder.string()));
  EXPECT_FALSE(process.WaitFor(50));
  process.Kill();
  EXPECT_FALSE(process.IsRunning());
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_FALSE(fs::exists(folder / "late.txt"));
}

TEST(ExternalProcessTest, MissingProgramDoesNotStart) {
  ExternalProcess process;
  EXPECT_FALSE(process.Start("/nonexistent/tools/pingo", {}));
  EXPECT_FALSE(process.IsRunning());
  EXPECT_TRUE(process.WaitFor(0));
  EXPECT_FALSE(RunHiddenAndWait("", {}, "", 10));
}

TEST(WebPageTest, OpenerIsStartedWithoutWaitingForIt) {
  const fs::path folder = Scratch("web");
  // An opener that takes far longer than any test: returning at all shows nothing waits for it.
  const fs::path opener = Script(folder, "echo $$ > '" + (folder / "pid.txt").string() + "'; echo \"$1\" > '" +
                                             (folder / "url.txt").string() + "'; exec sleep 600");
  EXPECT_TRUE(OpenWebPage("https://example.org/quickstart#Version", opener.string()));
  ASSERT_TRUE(AppearsWithin(folder / "url.txt", 20));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::ifstream in(folder / "url.txt");
  std::string url;
  std::getline(in, url);
  EXPECT_EQ(url, "https://example.org/quickstart#Version");
  pid_t openerPid = 0;
  std::ifstream(folder / "pid.txt") >> openerPid;
  if (openerPid > 0) kill(openerPid, SIGKILL);
}

TEST(WebPageTest, RefusesAddressesTheOpenerWouldTakeAsOptions) {
  EXPECT_FALSE(OpenWebPage(""));
  EXPECT_FALSE(OpenWebPage("--help"));
  // A missing opener is not a hang: the shell reports nothing and returns.
  OpenWebPage("https://example.org", "/nonexistent/opener");
}

}  // namespace
}  // namespace orelens::platform
