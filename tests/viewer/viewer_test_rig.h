#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fixtures/world_writer.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/scripted_gui.h"
#include "platform/input/scripted_input.h"
#include "viewer/program_context.h"

namespace orelens::viewer::testing {

// One run of the viewer on the scripted window system, scripted devices and the headless engine,
// in a working folder of its own that holds the program's resources and a save folder.
class ViewerRig {
 public:
  ViewerRig();
  ~ViewerRig();

  // A world of chunksPerSide x chunksPerSide flat chunks (stone, grass on top at height 20)
  // around the origin; every third chunk in a cache file, the others in the database. The
  // player stands at (4, 12, 4).
  void MakeWorld(const std::string& name, int chunksPerSide);
  // prefs.ini with SaveDir, InstaLoadDir and LastWorld set, plus any extra "key = value" lines.
  void WritePreferences(const std::string& lastWorld, const std::vector<std::string>& extraLines = {});

  // Builds the program context and runs the start-up; false when a fatal step ended it.
  bool Start();
  // Start-up with the loaders paused from the beginning, so nothing is streamed.
  bool StartPaused();
  void Pass(int count = 1);
  // Runs passes until the test holds (or the limit of passes is reached).
  template <class Test>
  bool PassUntil(Test test, int limit = 2000);

  ProgramContext& ctx() { return *context_; }
  platform::Engine3D& engine() { return *engine_; }
  // "title|text" of every message box shown after the start-up, one per line.
  std::string messages() const;
  // Message boxes shown after the start-up (the custom-block import reports the unreachable
  // custom-block database during it).
  size_t MessageCount() const { return gui.MessageBoxCount() - startupMessages_; }
  platform::RecordedMessageBox LastMessage() const { return gui.MessageBoxes().back(); }

  fixtures::TempFolder temp;
  std::string workingFolder;  // ends with "/"
  std::string saveFolder;     // ends with "/"
  platform::ScriptedGui gui;
  platform::ScriptedInput input;
  platform::LibraryLocator libraries;
  // Runs on the new program context just before its start-up.
  std::function<void(ProgramContext&)> beforeStartUp;
  int64_t clock = 1000;
  std::vector<std::string> openedPages;

 private:
  std::unique_ptr<platform::Engine3D> engine_;
  std::unique_ptr<PlatformBundle> bundle_;
  std::unique_ptr<ProgramContext> context_;
  size_t startupMessages_ = 0;
};

template <class Test>
bool ViewerRig::PassUntil(Test test, int limit) {
  for (int i = 0; i < limit; ++i) {
    if (test()) return true;
    Pass();
  }
  return test();
}

}  // namespace orelens::viewer::testing
