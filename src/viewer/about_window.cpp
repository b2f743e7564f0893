#include "viewer/about_window.h"

namespace orelens::viewer {

namespace {

constexpr const char* kCredits =
    "Many thanks to Marla Quent for testing every version\n\r"
    "and for many of the ideas in it.\n\r\n\r"
    "Thanks to the makers of Kelvane for the game\n\r"
    "and for their help in decoding the world data.\n\r\n\r"
    "Orelens is a world viewer and multi-purpose tool for Kelvane,\n\r"
    "under development since 2020.";

}  // namespace

void ShowAboutWindow(platform::Gui& gui) {
  platform::WindowStyle style;
  style.toolWindow = true;
  style.keptAbove = true;
  const int window =
      gui.OpenWindow(-1, 0, 0, 600, 350, "About Orelens - The 3d Kelvane world chunk extractor.", style);
  if (window < 0) return;

  const int title = gui.TextGadget(-1, 10, 10, 580, 35, "Orelens", true);
  gui.SetGadgetFont(title, 10);
  const int version = gui.TextGadget(-1, 10, 40, 580, 15, "Version 1.0.6", true);
  gui.SetGadgetFont(version, 11);
  const int credits = gui.TextGadget(-1, 10, 100, 580, 250, kCredits, true);
  gui.SetGadgetFont(credits, 12);
  const int close = gui.ButtonGadget(-1, 250, 315, 100, 25, "Close");

  for (;;) {
    const platform::WindowEvent event = gui.WaitWindowEvent();
    if (event.type == platform::kEventGadget && event.item == close) break;
    // A closed or missing window can never send the Close event: do not wait forever.
    if (!gui.IsWindow(window)) return;
    if (gui.TerminationRequested()) break;  // the program is asked to end
  }
  gui.CloseWindow(window);
}

}  // namespace orelens::viewer
