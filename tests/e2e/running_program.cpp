#include "e2e/running_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace orelens::e2e {

namespace fs = std::filesystem;

double Screenshot::Share(int x0, int y0, int x1, int y1, const std::function<bool(Pixel)>& test) const {
  int hits = 0, total = 0;
  for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(width, x1); ++x, ++total)
      if (test(At(x, y))) ++hits;
  return total == 0 ? 0.0 : static_cast<double>(hits) / total;
}

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string CommandOutput(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
  }
  return output;
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

PrivateDesktop::PrivateDesktop() {
  // Servers started side by side can race for a display number: try again with a new one.
  for (int attempt = 0; attempt < 3 && display_.empty(); ++attempt) Start();
}

PrivateDesktop::~PrivateDesktop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

void PrivateDesktop::Start() {
  int displayPipe[2];
  if (pipe(displayPipe) != 0) return;
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    close(displayPipe[0]);
    const std::string fd = std::to_string(displayPipe[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset",
           "+extension", "GLX", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(displayPipe[1]);
  std::string number;
  char c = 0;
  while (pid > 0) {
    const ssize_t got = read(displayPipe[0], &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    number.push_back(c);
  }
  close(displayPipe[0]);
  if (pid <= 0) return;
  if (number.empty()) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return;
  }
  pid_ = pid;
  display_ = ":" + number;
}

int PrivateDesktop::Run(const std::string& command) const { return RunCommand("DISPLAY=" + display_ + " " + command); }

std::string PrivateDesktop::Output(const std::string& command) const {
  return CommandOutput("DISPLAY=" + display_ + " " + command);
}

Screenshot TakeScreenshot(const fs::path& file, const PrivateDesktop* desktop) {
  const std::string display = desktop ? "DISPLAY=" + desktop->Display() + " " : "";
  const bool keepPpm = file.extension() == ".ppm";
  const fs::path ppm = fs::path(file).replace_extension(".ppm");
  if (keepPpm) {
    // No compression: the cheap kind for a test that looks at the screen many times.
    RunCommand(display + "import -silent -window root -depth 8 '" + ppm.string() + "'");
  } else {
    RunCommand(display + "import -silent -window root '" + file.string() + "' && convert '" + file.string() +
               "' -depth 8 '" + ppm.string() + "'");
  }
  Screenshot shot;
  const std::vector<uint8_t> bytes = ReadFileBytes(ppm);
  if (!keepPpm) fs::remove(ppm);
  // P6 <width> <height> <max>\n<data>
  std::string header;
  size_t fields = 0, pos = 0;
  int values[3] = {0, 0, 0};
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return shot;
  pos = 2;
  while (fields < 3 && pos < bytes.size()) {
    while (pos < bytes.size() && std::isspace(bytes[pos])) ++pos;
    if (pos < bytes.size() && bytes[pos] == '#') {
      while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      continue;
    }
    int value = 0;
    while (pos < bytes.size() && std::isdigit(bytes[pos])) value = value * 10 + (bytes[pos++] - '0');
    values[fields++] = value;
  }
  ++pos;  // the single white space before the data
  const size_t size = static_cast<size_t>(values[0]) * values[1] * 3;
  if (fields < 3 || values[2] != 255 || pos + size > bytes.size()) return shot;
  shot.width = values[0];
  shot.height = values[1];
  shot.rgb.assign(bytes.begin() + static_cast<long>(pos), bytes.begin() + static_cast<long>(pos + size));
  return shot;
}

bool WaitFor(std::chrono::milliseconds limit, const std::function<bool()>& test, std::chrono::milliseconds step) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (test()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(step);
  }
}

DemoFolder PrepareDemoFolder(const std::string& name, const std::string& lastWorld, int viewDistance) {
  const fs::path source = ORELENS_SOURCE_DIR;
  const fs::path binary = ORELENS_BINARY_DIR;
  DemoFolder folder;
  folder.root = binary / "e2e" / name;
  folder.saves = folder.root / "saves";
  fs::remove_all(folder.root);
  fs::create_directories(folder.root / "tools");
  fs::copy_file(binary / "orelens", folder.root / "orelens");
  fs::copy_file(source / "assets" / "demo.xml", folder.root / "demo.xml");
  fs::copy(source / "assets" / "Textures", folder.root / "Textures", fs::copy_options::recursive);
  fs::create_directories(folder.root / "Textures" / "Block_prev");
  fs::copy_file(source / "tools" / "pingo", folder.root / "tools" / "pingo");
  fs::create_directories(folder.root / "docs");
  fs::copy(source / "docs" / "help", folder.root / "docs" / "help", fs::copy_options::recursive);
  if (RunCommand("'" + (binary / "make_demo_world").string() + "' '" + folder.saves.string() + "' >/dev/null") != 0)
    throw std::runtime_error("make_demo_world failed");
  // The desktop's page opener, as the program finds it first in its PATH: it notes each address.
  fs::create_directories(folder.root / "bin");
  {
    std::ofstream opener(folder.root / "bin" / "xdg-open");
    opener << "#!/bin/sh\necho \"$1\" >> '" << (folder.root / "opened-pages.txt").string() << "'\n";
  }
  fs::permissions(folder.root / "bin" / "xdg-open", fs::perms::owner_all | fs::perms::group_read |
                                                          fs::perms::group_exec);
  std::ofstream prefs(folder.root / "prefs.ini", std::ios::binary);
  prefs << "\xEF\xBB\xBF\r\n"
        << "LastWorld = " << lastWorld << "\r\n"
        << "SaveDir = " << folder.saves.string() << "/\r\n"
        << "InstaLoadDir = " << (folder.root / "instaload").string() << "/\r\n";
  if (viewDistance != 150) prefs << "ViewDistance = " << viewDistance << "\r\n";
  return folder;
}

RunningProgram::RunningProgram(const fs::path& workingFolder, const PrivateDesktop* desktop) : desktop_(desktop) {
  pid_ = fork();
  if (pid_ == 0) {
    if (chdir(workingFolder.c_str()) != 0) _exit(127);
    if (desktop != nullptr) {
      setenv("DISPLAY", desktop->Display().c_str(), 1);
      const char* path = getenv("PATH");
      setenv("PATH", ((workingFolder / "bin").string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    }
    // A HOME of its own: no Steam installation or game save folder of the machine is seen.
    setenv("HOME", workingFolder.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    execl("./orelens", "orelens", static_cast<char*>(nullptr));
    _exit(127);
  }
}

RunningProgram::~RunningProgram() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool RunningProgram::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  if (done == pid_) exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  pid_ = -1;
  return false;
}

namespace {
std::string MainWindowId(const PrivateDesktop* desktop) {
  const std::string command = "xdotool search --onlyvisible --name '^Orelens$' 2>/dev/null | head -n1";
  std::string id = desktop ? desktop->Output(command) : CommandOutput(command);
  while (!id.empty() && std::isspace(static_cast<unsigned char>(id.back()))) id.pop_back();
  return id;
}
}  // namespace

std::string RunningProgram::WaitForMainWindow(std::chrono::milliseconds limit) {
  std::string id;
  WaitFor(limit, [&] {
    if (!Running()) return true;
    id = MainWindowId(desktop_);
    return !id.empty();
  });
  return id;
}

bool RunningProgram::HasMainWindow() { return Running() && !MainWindowId(desktop_).empty(); }

void RunningProgram::Signal(int signal) {
  if (Running()) kill(pid_, signal);
}

std::string RunningProgram::Backtraces() {
  if (!Running()) return "(the program has ended)";
  return CommandOutput("timeout 60 gdb -batch -nx -p " + std::to_string(pid_) +
                       " -ex 'thread apply all bt 12' 2>/dev/null | grep -E '^(Thread|#)'");
}

int RunningProgram::WaitForExit(std::chrono::milliseconds limit) {
  if (!WaitFor(limit, [&] { return !Running(); }, std::chrono::milliseconds(50))) return -1;
  return exitCode_;
}

std::vector<std::string> PreferenceLines(const fs::path& prefs) {
  std::string text;
  const std::vector<uint8_t> bytes = ReadFileBytes(prefs);
  text.assign(bytes.begin(), bytes.end());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace orelens::e2e
