#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orelens::platform {

struct DirectoryEntry {
  std::string name;
  bool isFolder = false;
};

// The entries of a folder whose names match the pattern, in the order the operating system
// delivers them ("." and ".." included, as the OS lists them). Patterns use "*" and "?" and
// match without regard to case; "*.*" matches every name, with or without a dot. A folder
// that cannot be listed gives no entries.
std::vector<DirectoryEntry> ListDirectory(std::string_view folder, std::string_view pattern);

// True when the name matches the pattern as ListDirectory matches it.
bool MatchesPattern(std::string_view name, std::string_view pattern);

}  // namespace orelens::platform
