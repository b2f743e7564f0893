#include "platform/system/termination_signals.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace orelens::platform {

namespace {

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

[[noreturn]] void EndWithDefaultAction(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  const sigset_t set = TerminationSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  _exit(128 + signal);  // only if the default action did not end the process
}

}  // namespace

TerminationSignals::TerminationSignals() {
  const sigset_t set = TerminationSet();
  pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
  signalFd_ = signalfd(-1, &set, SFD_CLOEXEC);
  stopFd_ = eventfd(0, EFD_CLOEXEC);
}

TerminationSignals::~TerminationSignals() {
  StopWatching();
  if (signalFd_ >= 0) close(signalFd_);
  if (stopFd_ >= 0) close(stopFd_);
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void TerminationSignals::Watch(std::function<void(int)> handler) {
  if (watcher_.joinable() || signalFd_ < 0 || stopFd_ < 0) return;
  handler_ = std::move(handler);
  watcher_ = std::thread([this] { WatchLoop(); });
}

void TerminationSignals::StopWatching() {
  if (!watcher_.joinable()) return;
  const uint64_t one = 1;
  while (write(stopFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  watcher_.join();
}

void TerminationSignals::WatchLoop() {
  bool handedOn = false;
  for (;;) {
    pollfd fds[2] = {{signalFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    signalfd_siginfo info{};
    const ssize_t got = read(signalFd_, &info, sizeof info);
    if (got != static_cast<ssize_t>(sizeof info)) continue;
    const int signal = static_cast<int>(info.ssi_signo);
    if (handedOn) EndWithDefaultAction(signal);
    handedOn = true;
    if (handler_) handler_(signal);
  }
}

}  // namespace orelens::platform
