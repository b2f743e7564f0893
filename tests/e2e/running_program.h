#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace orelens::e2e {

// A screenshot of the whole X screen, RGB.
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  struct Pixel {
    int r, g, b;
  };
  Pixel At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
  // Share of the pixels of a rectangle for which the test holds.
  double Share(int x0, int y0, int x1, int y1, const std::function<bool(Pixel)>& test) const;
};

// Runs a command line through the shell; its exit status.
int RunCommand(const std::string& command);
// Runs a command line and returns what it printed.
std::string CommandOutput(const std::string& command);

// An X server of the test's own (Xvfb, 1280 x 800): tests run side by side, and the keys and
// clicks that xdotool sends must reach only this test's program. Ends with the object, and
// with the test process should that crash.
class PrivateDesktop {
 public:
  PrivateDesktop();
  ~PrivateDesktop();
  PrivateDesktop(const PrivateDesktop&) = delete;
  PrivateDesktop& operator=(const PrivateDesktop&) = delete;

  bool Running() const { return !display_.empty(); }
  const std::string& Display() const { return display_; }
  // A command line run with this desktop as its display.
  int Run(const std::string& command) const;
  std::string Output(const std::string& command) const;

 private:
  void Start();

  pid_t pid_ = -1;
  std::string display_;
};

// Grabs the X screen into a file (kept as the test's artefact: a PNG, or a quicker uncompressed
// PPM when the name ends so) and reads it back. Without a desktop, the display of the
// environment is grabbed.
Screenshot TakeScreenshot(const std::filesystem::path& file, const PrivateDesktop* desktop = nullptr);

// Polls until the test holds or the time is up.
bool WaitFor(std::chrono::milliseconds limit, const std::function<bool()>& test,
             std::chrono::milliseconds step = std::chrono::milliseconds(200));

// A working folder as scripts/run-demo prepares it: resources, the pingo wrapper, demo worlds
// and a prefs.ini naming the first of them; and bin/xdg-open, which notes the pages the program
// opens in opened-pages.txt instead of starting a browser.
struct DemoFolder {
  std::filesystem::path root;
  std::filesystem::path saves;
};
DemoFolder PrepareDemoFolder(const std::string& name, const std::string& lastWorld = "Demo Valley",
                             int viewDistance = 150);

// The program started in a working folder; killed when the object goes if still running.
// With a desktop it runs on that display, with "<workingFolder>/bin" first in its PATH.
class RunningProgram {
 public:
  explicit RunningProgram(const std::filesystem::path& workingFolder, const PrivateDesktop* desktop = nullptr);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // The X window id of the main window once it is mapped, or "" when it never shows.
  std::string WaitForMainWindow(std::chrono::milliseconds limit);
  // True while the main window exists.
  bool HasMainWindow();
  // Waits for the process to end by itself; its exit code, or -1 on timeout or a signal.
  int WaitForExit(std::chrono::milliseconds limit);
  bool Running();
  pid_t Pid() const { return pid_; }
  void Signal(int signal);
  // Every thread's stack, for the report of a test that found the program stuck.
  std::string Backtraces();

 private:
  const PrivateDesktop* desktop_ = nullptr;
  pid_t pid_ = -1;
  int exitCode_ = -1;
};

// The text lines of a prefs.ini (byte-order mark and line ends removed), in file order.
std::vector<std::string> PreferenceLines(const std::filesystem::path& prefs);

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);

}  // namespace orelens::e2e
