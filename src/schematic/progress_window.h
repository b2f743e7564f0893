#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/gui/gui.h"

namespace orelens::schematic {

// Milliseconds since some fixed start; the schematic operations take it from their caller so that
// tests can drive the progress updates.
using MillisecondClock = std::function<int64_t()>;

// The small window that long schematic work shows: 400 x 200, centred, title bar only, kept above
// the others, with a smooth bar (0..100) and a text line. Closed when the object goes.
class ProgressWindow {
 public:
  ProgressWindow(platform::Gui& gui, MillisecondClock clock, std::string_view title, std::string_view text);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  // Closes the window before the object goes (so that a message box does not stand under it).
  void Close();
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Counts one more cell of total. At most every 500 ms the bar and the text show the share done
  // ("Saving cube...42%") and one pending window event is taken, which keeps the windows alive.
  void CountCell(int64_t total);

 private:
  platform::Gui& gui_;
  MillisecondClock clock_;
  int window_ = -1;
  int bar_ = -1;
  int text_ = -1;
  int64_t cellsDone_ = 0;
  int64_t lastUpdate_ = 0;
};

}  // namespace orelens::schematic
