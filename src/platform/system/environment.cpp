#include "platform/system/environment.h"

#include <unistd.h>

#include <cstdlib>

namespace orelens::platform {

std::optional<std::string> Environment::Variable(std::string_view name) const {
  const auto found = variables.find(name);
  if (found == variables.end()) return std::nullopt;
  return found->second;
}

Environment Environment::FromProcess() {
  Environment environment;
  if (const char* home = std::getenv("HOME")) environment.homeFolder = home;
  if (const char* dataHome = std::getenv("XDG_DATA_HOME")) environment.dataHome = dataHome;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string_view text(*entry);
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    environment.variables.emplace(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
  }
  return environment;
}

}  // namespace orelens::platform
