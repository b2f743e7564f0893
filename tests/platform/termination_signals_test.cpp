#include "platform/system/termination_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace orelens::platform {
namespace {

bool WaitUntil(const std::atomic<int>& value, int expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (value.load() != expected && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return value.load() == expected;
}

TEST(TerminationSignalsTest, FirstSignalIsHandedOnAndTheProcessLivesOn) {
  for (const int signal : {SIGTERM, SIGINT}) {
    std::atomic<int> received{0};
    TerminationSignals signals;
    // Sent before watching starts: kept until then.
    ASSERT_EQ(kill(getpid(), signal), 0);
    signals.Watch([&received](int number) { received = number; });
    EXPECT_TRUE(WaitUntil(received, signal));
  }
  // The mask is given back: the signals are not blocked any more.
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  EXPECT_EQ(sigismember(&mask, SIGTERM), 0);
  EXPECT_EQ(sigismember(&mask, SIGINT), 0);
}

TEST(TerminationSignalsTest, SecondSignalEndsTheProcessWithItsDefaultAction) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atomic<int> received{0};
        TerminationSignals signals;
        signals.Watch([&received](int number) { received = number; });
        kill(getpid(), SIGINT);
        if (!WaitUntil(received, SIGINT)) _exit(3);
        kill(getpid(), SIGTERM);  // the program could not get to its shutdown: out
        std::this_thread::sleep_for(std::chrono::seconds(10));
        _exit(4);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
}  // namespace orelens::platform
