// Orelens: a free-flying viewer and editor for the saved worlds of Kelvane.
// The program reads no command line; it runs in its working folder (prefs.ini, demo.xml, Textures/).
#include "app/subsystem_wiring.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/sdl_gui.h"
#include "platform/input/sdl_input.h"
#include "platform/system/environment.h"
#include "platform/system/termination_signals.h"
#include "platform/system/web_page.h"
#include "viewer/program_context.h"
#include "viewer/program_main.h"

int main() {
  using namespace orelens;
  platform::TerminationSignals signals;  // first: every thread started later inherits its mask
  platform::SdlGui gui;
  signals.Watch([&gui](int) { gui.RequestTermination(); });
  platform::SdlInput input(gui);
  std::unique_ptr<platform::Engine3D> engine = platform::MakeOpenGlEngine();
  platform::LibraryLocator libraries;

  viewer::PlatformBundle bundle(gui, input, *engine, libraries);
  bundle.screenHost = &gui;
  bundle.environment = platform::Environment::FromProcess();
  bundle.openWebPage = [](const std::string& url) { platform::OpenWebPage(url); };
  bundle.subsystems = app::BindSubsystemCalls();
  const int exitCode = viewer::ProgramMain(bundle);
  signals.StopWatching();  // before the window system goes: the handler uses it
  return exitCode;
}
