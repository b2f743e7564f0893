#include "platform/engine3d/resource_folders.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace orelens::platform {
namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

}  // namespace

std::optional<std::filesystem::path> ResolvePathLoosely(const std::string& path,
                                                        const std::filesystem::path& base) {
  namespace fs = std::filesystem;
  if (path.empty()) return std::nullopt;
  std::error_code error;
  fs::path current = (path[0] == '/' || path[0] == '\\') ? fs::path("/") : base;
  for (const std::string& part : SplitPath(path)) {
    if (part == ".") continue;
    if (part == "..") {
      current /= "..";
      continue;
    }
    fs::path exact = current / part;
    if (fs::exists(exact, error)) {
      current = std::move(exact);
      continue;
    }
    std::optional<fs::path> match;
    for (fs::directory_iterator it(current, error), end; !error && it != end; it.increment(error)) {
      if (SameNameIgnoringCase(it->path().filename().string(), part)) {
        match = it->path();
        break;
      }
    }
    if (!match) return std::nullopt;
    current = std::move(*match);
  }
  if (!fs::exists(current, error)) return std::nullopt;
  return current;
}

std::optional<std::filesystem::path> FindResourceFile(const std::vector<std::filesystem::path>& folders,
                                                      const std::string& file) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const fs::path& folder : folders) {
    if (auto found = ResolvePathLoosely(file, folder); found && fs::is_regular_file(*found, error)) return found;
  }
  if (auto found = ResolvePathLoosely(file, fs::current_path(error)); found && fs::is_regular_file(*found, error)) {
    return found;
  }
  return std::nullopt;
}

}  // namespace orelens::platform
