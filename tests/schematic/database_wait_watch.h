#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/gui/scripted_gui.h"
#include "world/database_wait_window.h"

namespace orelens::testing {

// Watches, at every window event an operation takes, whether the window of a database wait is
// open, and what it says; `whileShown` runs at each such event (to let the lock go, say).
struct DatabaseWaitWatch {
  explicit DatabaseWaitWatch(platform::ScriptedGui& gui) {
    gui.SetPollHook([this](platform::ScriptedGui& polled) {
      for (const int window : polled.WindowNumbers()) {
        if (polled.WindowTitle(window) != world::kDatabaseWaitTitle) continue;
        ++eventsWhileShown;
        for (const int gadget : polled.GadgetsOf(window)) {
          const std::string text = polled.GetGadgetText(gadget);
          if (!text.empty() && (texts.empty() || texts.back() != text)) texts.push_back(text);
        }
        if (whileShown) whileShown();
      }
    });
  }

  int eventsWhileShown = 0;
  std::vector<std::string> texts;  // each text once, in the order shown
  std::function<void()> whileShown;
};

}  // namespace orelens::testing
