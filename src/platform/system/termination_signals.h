#pragma once

#include <signal.h>

#include <functional>
#include <thread>

namespace orelens::platform {

// SIGTERM and SIGINT as a request to end the program the way the user's Quit does.
//
// Made first thing in main, before any thread starts: the two signals are blocked for the
// process (every thread inherits the mask; programs it starts get the default one back) and
// read from a signal descriptor by a watcher thread of this object, which calls the handler.
// The handler runs on the watcher thread and must only set a flag that the main thread polls.
// A second signal, after the first has been handed on, ends the process at once with the
// signal's default action: the way out when the program cannot get to its shutdown.
// The destructor gives the making thread its signal mask back.
class TerminationSignals {
 public:
  TerminationSignals();
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Starts watching; a signal that came before is handed on now. Call once.
  void Watch(std::function<void(int signal)> handler);
  // Ends the watching; the signals stay blocked, so one that comes later is not acted on.
  void StopWatching();

 private:
  void WatchLoop();

  sigset_t previousMask_{};  // of the thread that made the object, given back at the end
  int signalFd_ = -1;
  int stopFd_ = -1;
  std::function<void(int)> handler_;
  std::thread watcher_;
};

}  // namespace orelens::platform
