#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orelens::platform {

// One choice of a file requester's pattern text "Label|*.a;*.b|Label 2|*.*".
struct FilePatternChoice {
  std::string label;
  std::vector<std::string> globs;  // "*.KvSch", "*.gz", "*.*"; trimmed, never empty strings
};

// Splits a pattern text into its choices. A label without a pattern part gets "*"; an empty
// text gives one choice that shows every file.
std::vector<FilePatternChoice> ParseFilePattern(std::string_view pattern);

// True when the file name matches one of the globs ('*' and '?', letters compared without
// regard to case, as the game's files come from a case-insensitive file system).
// "*.*" also matches names without a dot.
bool MatchesFilePattern(std::string_view fileName, const FilePatternChoice& choice);

}  // namespace orelens::platform
