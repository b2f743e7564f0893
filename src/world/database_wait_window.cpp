#include "world/database_wait_window.h"

#include <string>

namespace orelens::world {

std::string DatabaseWaitText(int64_t secondsLeft) {
  return "Another program, such as the game, is using this world's database.\n\rOrelens waits for it: " +
         std::to_string(secondsLeft) + (secondsLeft == 1 ? " second" : " seconds") + " left.";
}

DatabaseWaitWindow::~DatabaseWaitWindow() {
  Close();
}

bool DatabaseWaitWindow::KeepWaiting(const DatabaseWait& wait) {
  // Nobody is left to wait for: the operation stops as if the time were up.
  if (gui_.TerminationRequested()) return false;
  if (wait.waitedMs < kGraceMs) return true;
  if (window_ < 0) Open();
  // Whole seconds left, rounded up, so that the count never shows 0 while it still waits.
  const int64_t secondsLeft = (wait.RemainingMs() + 999) / 1000;
  if (window_ >= 0 && secondsLeft != secondsShown_) {
    secondsShown_ = secondsLeft;
    gui_.SetGadgetText(text_, DatabaseWaitText(secondsLeft));
    gui_.SetGadgetState(bar_, static_cast<int>(wait.timeoutMs > 0 ? wait.waitedMs * 100 / wait.timeoutMs : 100));
  }
  gui_.WindowEventNoWait();
  return true;
}

void DatabaseWaitWindow::WaitEnded() {
  Close();
}

void DatabaseWaitWindow::Open() {
  platform::WindowStyle style;
  style.centred = true;
  style.toolWindow = true;
  style.keptAbove = true;
  window_ = gui_.OpenWindow(-1, 0, 0, 400, 110, kDatabaseWaitTitle, style);
  if (window_ < 0) return;
  bar_ = gui_.ProgressBarGadget(-1, 10, 10, 380, 15, 0, 100);
  text_ = gui_.TextGadget(-1, 10, 35, 380, 60, "", false);
  secondsShown_ = -1;
}

void DatabaseWaitWindow::Close() {
  if (window_ >= 0) gui_.CloseWindow(window_);
  window_ = -1;
}

}  // namespace orelens::world
