#pragma once

#include "platform/gui/gui.h"

namespace orelens::viewer {

// Shows the About window and blocks until its Close button is pressed; every other event taken
// meanwhile is dropped.
void ShowAboutWindow(platform::Gui& gui);

}  // namespace orelens::viewer
