#include "customblocks/import_progress_window.h"

namespace orelens::customblocks {

void OpenImportProgressWindow(platform::Gui& gui) {
  platform::WindowStyle style;
  style.toolWindow = true;
  style.keptAbove = true;
  gui.OpenWindow(kImportProgressWindow, 0, 0, 700, 600, "Importing custom blocks...", style);
  gui.ProgressBarGadget(kTextureProgressBar, 10, 200, 680, 20, 0, 100);
  gui.ProgressBarGadget(kImportActivityBar, 10, 230, 680, 20, 0, 100);
  gui.SetProgressMarquee(kImportActivityBar, true);
  gui.TextGadget(kImportStatusText, 10, 260, 680, 50, "Importing custom Blocks, sorry for the Delay!", false);
}

}  // namespace orelens::customblocks
