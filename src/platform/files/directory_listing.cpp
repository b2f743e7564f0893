#include "platform/files/directory_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>

#include "platform/files/path_resolver.h"

namespace orelens::platform {
namespace {

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Iterative wildcard match with one backtracking point per "*".
bool Match(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0, starPattern = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && SameLetter(pattern[p], name[n])))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*" || pattern.empty()) return true;
  return Match(name, pattern);
}

std::vector<DirectoryEntry> ListDirectory(std::string_view folder, std::string_view pattern) {
  std::vector<DirectoryEntry> entries;
  std::string path = ResolvePath(folder.empty() ? std::string_view(".") : folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
  if (!dir) return entries;
  if (path.back() != '/') path += '/';
  while (dirent* entry = readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (!MatchesPattern(name, pattern)) continue;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info;
      isFolder = stat((path + entry->d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    entries.push_back({std::string(name), isFolder});
  }
  return entries;
}

}  // namespace orelens::platform
