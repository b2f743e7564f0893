#pragma once

// A private X server per display test: tests run in parallel, and keys or clicks sent with
// xdotool must reach only the test's own window.

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace orelens::platform::display_testing {

class PrivateXServer {
 public:
  PrivateXServer() {
    // Servers started side by side can race for a display number: try again with a new one.
    for (int attempt = 0; attempt < 3 && display_.empty(); ++attempt) Start();
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Running() const { return !display_.empty(); }

 private:
  void Start() {
    int displayPipe[2];
    if (pipe(displayPipe) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
      // The server ends with the test, even one that crashed, and keeps none of its output
      // pipes open (the test runner would wait for them).
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      const int quiet = open("/dev/null", O_WRONLY);
      if (quiet >= 0) {
        dup2(quiet, 1);
        dup2(quiet, 2);
      }
      close(displayPipe[0]);
      const std::string fd = std::to_string(displayPipe[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
             "-noreset", "+extension", "GLX", static_cast<char*>(nullptr));
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
    setenv("DISPLAY", display_.c_str(), 1);
  }

 public:
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Runs a shell command, returns its first output line ("" on failure).
inline std::string Shell(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[256];
    if (fgets(line, sizeof(line), pipe) != nullptr) output = line;
    pclose(pipe);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

// Calls step until it returns true or about thirty seconds have passed (a wait, not a time limit
// under test: slow machines only take longer to get there).
inline bool PumpUntil(const std::function<bool()>& step, int seconds = 30) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (step()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  return false;
}

// The X11 id of an SDL window, as xdotool takes it (asked of SDL, else searched by title).
inline std::string X11WindowId(SDL_Window* window) {
  if (window == nullptr) return {};
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.window != 0) {
    return std::to_string(static_cast<unsigned long>(info.info.x11.window));
  }
  const std::string title = SDL_GetWindowTitle(window);
  return Shell("timeout 10 xdotool search --sync --name '^" + title + "$' 2>/dev/null | head -n1");
}

struct Rgb {
  int r = -1, g = -1, b = -1;
};

// The colour of one pixel of a screenshot file.
inline Rgb PixelOf(const std::string& png, int x, int y) {
  const std::string command = "convert '" + png + "' -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
                              " -format '%[fx:int(255*r+0.5)] %[fx:int(255*g+0.5)] %[fx:int(255*b+0.5)]' info:";
  Rgb rgb;
  if (std::sscanf(Shell(command).c_str(), "%d %d %d", &rgb.r, &rgb.g, &rgb.b) != 3) return {};
  return rgb;
}

}  // namespace orelens::platform::display_testing
