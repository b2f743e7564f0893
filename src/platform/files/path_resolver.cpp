#include "platform/files/path_resolver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>

namespace orelens::platform {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The entry of the folder whose name equals the part without regard to case, or "".
std::string FindEntryIgnoringCase(const std::string& folder, std::string_view part) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()), closedir);
  if (!dir) return {};
  while (dirent* entry = readdir(dir.get())) {
    if (EqualsIgnoringCase(entry->d_name, part)) return entry->d_name;
  }
  return {};
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string ResolvePath(std::string_view path) {
  std::string resolved;
  bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\');
  if (absolute) resolved = "/";
  bool trailingSeparator = !path.empty() && (path.back() == '/' || path.back() == '\\');
  // Once one part matches nothing, no part below it can exist either.
  bool stillResolving = true;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    std::string folder = resolved;
    if (!resolved.empty() && resolved.back() != '/') resolved += '/';
    std::string candidate = resolved + std::string(part);
    if (stillResolving && part != "." && part != ".." && !Exists(candidate)) {
      std::string match = FindEntryIgnoringCase(folder, part);
      if (match.empty()) {
        stillResolving = false;
      } else {
        candidate = resolved + match;
      }
    }
    resolved = std::move(candidate);
  }
  if (trailingSeparator && !resolved.empty() && resolved.back() != '/') resolved += '/';
  return resolved;
}

}  // namespace orelens::platform
