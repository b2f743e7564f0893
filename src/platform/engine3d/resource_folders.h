#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orelens::platform {

// Resolves a path whose separators may be "\" or "/" against the file system, matching each
// component case-insensitively when the exact name is missing (the game's files come from a
// case-insensitive file system). Relative paths start at `base`.
std::optional<std::filesystem::path> ResolvePathLoosely(const std::string& path,
                                                        const std::filesystem::path& base);

// Finds a resource file: in each registered folder in order, then as a path of its own.
std::optional<std::filesystem::path> FindResourceFile(const std::vector<std::filesystem::path>& folders,
                                                      const std::string& file);

}  // namespace orelens::platform
