#pragma once

#include <string>

namespace orelens::platform {

// The parts of the user's environment that the game paths are derived from. The program takes
// them from the process; tests set them to temporary folders.
struct Environment {
  std::string homeFolder;   // $HOME
  std::string dataHome;     // $XDG_DATA_HOME, empty when unset

  static Environment FromProcess();
};

}  // namespace orelens::platform
