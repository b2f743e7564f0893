#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orelens::platform {

// The parts of the user's environment that the program reads: the game paths are derived from
// the folders, and the custom-block server may be named by variables. The program takes them
// from the process; tests set them to temporary folders and values of their own.
struct Environment {
  std::string homeFolder;   // $HOME
  std::string dataHome;     // $XDG_DATA_HOME, empty when unset
  // Every variable of the process by name (tests set only those they need).
  std::map<std::string, std::string, std::less<>> variables = {};

  // The value of a variable; nullopt when it is not set. A variable set to nothing is set.
  std::optional<std::string> Variable(std::string_view name) const;

  static Environment FromProcess();
};

}  // namespace orelens::platform
