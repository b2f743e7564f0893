#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gui/gui.h"
#include "world/database_wait.h"

namespace orelens::world {

// What the main thread shows while one of its operations waits for the world's database that
// another program holds: after a short grace, a small window that says so, with the time left
// before the operation gives up, and meanwhile the windows stay drawn and answering (one pending
// event is taken at every step of the wait). The window closes when the wait ends. A request to
// end the program ends the wait.
class DatabaseWaitWindow : public DatabaseWaitObserver {
 public:
  // Waits shorter than this pass unseen.
  static constexpr int64_t kGraceMs = 300;

  explicit DatabaseWaitWindow(platform::Gui& gui) : gui_(gui) {}
  ~DatabaseWaitWindow() override;
  DatabaseWaitWindow(const DatabaseWaitWindow&) = delete;
  DatabaseWaitWindow& operator=(const DatabaseWaitWindow&) = delete;

  bool KeepWaiting(const DatabaseWait& wait) override;
  void WaitEnded() override;

  // The window's number while it is open, else -1.
  int Window() const { return window_; }

 private:
  void Open();
  void Close();

  platform::Gui& gui_;
  int window_ = -1;
  int bar_ = -1;
  int text_ = -1;
  int64_t secondsShown_ = -1;
};

// The window's title, and its text for the seconds left.
inline constexpr std::string_view kDatabaseWaitTitle = "Waiting for the world's database";
std::string DatabaseWaitText(int64_t secondsLeft);

}  // namespace orelens::world
