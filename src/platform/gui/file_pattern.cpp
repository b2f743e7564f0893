#include "platform/gui/file_pattern.h"

#include <cctype>

namespace orelens::platform {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Iterative glob match with one backtrack point: linear in practice, no recursion depth.
bool GlobMatches(std::string_view name, std::string_view glob) {
  size_t n = 0, g = 0;
  size_t starGlob = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (g < glob.size() && (glob[g] == '?' || (glob[g] != '*' && SameLetter(glob[g], name[n])))) {
      ++n;
      ++g;
    } else if (g < glob.size() && glob[g] == '*') {
      starGlob = g++;
      starName = n;
    } else if (starGlob != std::string_view::npos) {
      g = starGlob + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (g < glob.size() && glob[g] == '*') ++g;
  return g == glob.size();
}

}  // namespace

std::vector<FilePatternChoice> ParseFilePattern(std::string_view pattern) {
  std::vector<FilePatternChoice> choices;
  const std::vector<std::string_view> parts = Split(pattern, '|');
  for (size_t i = 0; i < parts.size(); i += 2) {
    FilePatternChoice choice;
    choice.label = std::string(Trim(parts[i]));
    if (i + 1 < parts.size()) {
      for (std::string_view glob : Split(parts[i + 1], ';')) {
        glob = Trim(glob);
        if (!glob.empty()) choice.globs.emplace_back(glob);
      }
    }
    if (choice.globs.empty()) choice.globs.emplace_back("*");
    if (choice.label.empty()) choice.label = choice.globs.front();
    choices.push_back(std::move(choice));
  }
  return choices;
}

bool MatchesFilePattern(std::string_view fileName, const FilePatternChoice& choice) {
  for (const std::string& glob : choice.globs) {
    if (glob == "*.*" || glob == "*") return true;
    if (GlobMatches(fileName, glob)) return true;
  }
  return false;
}

}  // namespace orelens::platform
