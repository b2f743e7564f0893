#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace orelens::platform {

// An external program run hidden: no window, its output and errors discarded, its input empty.
// It runs in a process group of its own, so ending it also ends the programs it started
// (a script's optimiser, for example). The destructor ends and reaps a program still running.
class ExternalProcess {
 public:
  ExternalProcess() = default;
  ExternalProcess(const ExternalProcess&) = delete;
  ExternalProcess& operator=(const ExternalProcess&) = delete;
  ~ExternalProcess();

  // Starts program (a path, relative to the current folder; not looked up in PATH) with the arguments, in workingDirectory
  // ("" keeps the current one). False when it could not be started; nothing runs then.
  bool Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::string& workingDirectory = "");
  bool IsRunning();
  // Waits until the program has ended or timeoutMs have passed; true when it has ended.
  bool WaitFor(int timeoutMs);
  // Ends the program and whatever it started, and reaps it.
  void Kill();
  // The exit status once ended (-1 before, or when it ended by a signal).
  int ExitCode() const { return exitCode_; }

 private:
  void Reap(int status);

  pid_t pid_ = -1;
  int pidFd_ = -1;  // notifies the end of the program; -1 when the kernel offers none
  int exitCode_ = -1;
};

// Start, wait at most timeoutMs, end it if it is still running. False when it did not start.
bool RunHiddenAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingDirectory, int timeoutMs);

}  // namespace orelens::platform
