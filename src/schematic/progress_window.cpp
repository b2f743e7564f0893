#include "schematic/progress_window.h"

#include <string>
#include <utility>

namespace orelens::schematic {

namespace {
constexpr int64_t kProgressIntervalMs = 500;
}

ProgressWindow::ProgressWindow(platform::Gui& gui, MillisecondClock clock, std::string_view title,
                               std::string_view text)
    : gui_(gui), clock_(std::move(clock)) {
  platform::WindowStyle style;
  style.centred = true;
  style.toolWindow = true;
  style.keptAbove = true;
  window_ = gui_.OpenWindow(-1, 0, 0, 400, 200, title, style);
  if (window_ < 0) return;
  bar_ = gui_.ProgressBarGadget(-1, 10, 10, 380, 15, 0, 100);
  text_ = gui_.TextGadget(-1, 10, 30, 380, 50, text, false);
}

ProgressWindow::~ProgressWindow() {
  Close();
}

void ProgressWindow::Close() {
  if (window_ >= 0) gui_.CloseWindow(window_);
  window_ = -1;
}

void ProgressWindow::CountCell(int64_t total) {
  ++cellsDone_;
  const int64_t now = clock_();
  if (now - lastUpdate_ <= kProgressIntervalMs) return;
  lastUpdate_ = now;
  const int64_t percent = total > 0 ? cellsDone_ * 100 / total : 0;
  if (window_ >= 0) {
    gui_.SetGadgetState(bar_, static_cast<int>(percent));
    gui_.SetGadgetText(text_, "Saving cube..." + std::to_string(percent) + "%");
  }
  gui_.WindowEventNoWait();
}

}  // namespace orelens::schematic
