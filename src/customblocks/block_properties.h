#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orelens::customblocks {

// What the import takes from a block's "properties.json". The file is read line by line and
// never parsed as JSON: the game's files are not always valid JSON.
struct BlockProperties {
  std::string Name;
  std::string CreatorName;
  int64_t Mode = 0;
  int64_t UniqueID = 0;  // the map key keeps all its digits; the block id keeps 32 bits
};

// Applies one line: the first of "Name":, "Mode", "UniqueID", "CreatorName" that the line holds
// (any letter case) sets its value; a line without any of them changes nothing.
void ApplyPropertiesLine(std::string_view line, BlockProperties& properties);

// The characters between the last and the second-to-last double quote ("" when fewer than two).
std::string_view TextBetweenLastQuotes(std::string_view line);

// The integer after the last colon: blanks and tabs skipped, an optional sign, then decimal
// digits up to the first other character. No colon or no digits give 0; values beyond
// 64 bits stop at the limit.
int64_t IntegerAfterLastColon(std::string_view line);

// The longest line that is read for a key, in bytes without its line end. The keys and their
// values are short; a longer line is skipped as a line without a key, so that a huge line
// cannot take the memory.
inline constexpr size_t kLongestPropertiesLine = 4096;

// Reads the file line by line (LF, CR or CR LF end a line); afterLine runs after every line,
// skipped ones included. nullopt when the file cannot be opened.
std::optional<BlockProperties> ReadBlockProperties(const std::string& path,
                                                   const std::function<void()>& afterLine);

}  // namespace orelens::customblocks
