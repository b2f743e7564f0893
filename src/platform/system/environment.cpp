#include "platform/system/environment.h"

#include <cstdlib>

namespace orelens::platform {

Environment Environment::FromProcess() {
  Environment environment;
  if (const char* home = std::getenv("HOME")) environment.homeFolder = home;
  if (const char* dataHome = std::getenv("XDG_DATA_HOME")) environment.dataHome = dataHome;
  return environment;
}

}  // namespace orelens::platform
