#include "platform/system/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

extern char** environ;

namespace orelens::platform {
namespace {

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  const long fd = syscall(SYS_pidfd_open, pid, 0);
  return fd >= 0 ? static_cast<int>(fd) : -1;
#else
  (void)pid;
  return -1;
#endif
}

}  // namespace

ExternalProcess::~ExternalProcess() {
  if (pid_ > 0) Kill();
}

bool ExternalProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& workingDirectory) {
  if (pid_ > 0 || program.empty()) return false;
  if (access(program.c_str(), X_OK) != 0) return false;
  // A relative path means the current folder, also when the program runs in another one.
  std::error_code error;
  const std::string path = std::filesystem::absolute(program, error).string();
  if (error) return false;

  std::vector<std::string> args{path};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  // The program gets no signal blocked, whatever this process blocks for itself.
  sigset_t noSignals;
  sigemptyset(&noSignals);
  posix_spawnattr_setsigmask(&attributes, &noSignals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);

  pid_t pid = -1;
  const int result = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) return false;

  pid_ = pid;
  pidFd_ = OpenPidFd(pid);
  exitCode_ = -1;
  return true;
}

void ExternalProcess::Reap(int status) {
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  pid_ = -1;
  if (pidFd_ >= 0) {
    close(pidFd_);
    pidFd_ = -1;
  }
}

bool ExternalProcess::IsRunning() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == pid_ || (done < 0 && errno == ECHILD)) {
    Reap(done == pid_ ? status : 0);
    return false;
  }
  return true;
}

bool ExternalProcess::WaitFor(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
  while (IsRunning()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    if (pidFd_ >= 0) {
      pollfd ended{pidFd_, POLLIN, 0};
      poll(&ended, 1, static_cast<int>(left));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 5)));
    }
  }
  return true;
}

void ExternalProcess::Kill() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);  // the whole group the program started
  kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  Reap(status);
}

bool RunHiddenAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingDirectory, int timeoutMs) {
  ExternalProcess process;
  if (!process.Start(program, arguments, workingDirectory)) return false;
  if (!process.WaitFor(timeoutMs)) process.Kill();
  return true;
}

}  // namespace orelens::platform
