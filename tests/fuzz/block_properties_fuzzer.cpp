// A custom block's "properties.json", read line by line.
//
// Input: the file. Properties:
//  - the file, read in pieces from disk, gives what its lines give one by one: lines end at LF,
//    CR or CR LF wherever the pieces break, the hook runs once per line, and a line longer than
//    the bound counts as a line without a key;
//  - integers after the last colon read as the decimal number they spell, held at the 64-bit
//    limits when they spell a larger one;
//  - round trip: a properties file written by the fixture writer, with a name and creator taken
//    from the input, reads back as what was written.

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "customblocks/block_properties.h"
#include "fixtures/custom_block_folder.h"
#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace orelens;
using customblocks::BlockProperties;

struct PropertiesRig {
  fixtures::TempFolder temp;
  std::string file = temp.path() + "properties.json";
};

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The number after the last colon, by long hand: blanks and tabs, a sign, then decimal digits.
int64_t ExpectedInteger(std::string_view line) {
  const size_t colon = line.rfind(':');
  if (colon == std::string_view::npos) return 0;
  std::string_view rest = line.substr(colon + 1);
  while (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) rest.remove_prefix(1);
  const bool negative = !rest.empty() && rest[0] == '-';
  if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) rest.remove_prefix(1);
  __int128 value = 0;
  constexpr __int128 kBeyond = static_cast<__int128>(std::numeric_limits<uint64_t>::max());
  for (const char c : rest) {
    if (c < '0' || c > '9') break;
    value = std::min(value * 10 + (c - '0'), kBeyond);
  }
  if (negative) value = -value;
  return static_cast<int64_t>(
      std::clamp<__int128>(value, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()));
}

bool NamesAKey(std::string_view text) {
  const auto lower = [](std::string_view t) {
    std::string out(t);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  };
  return lower(text) == "mode" || lower(text) == "uniqueid";
}

bool SameProperties(const BlockProperties& a, const BlockProperties& b) {
  return a.Name == b.Name && a.CreatorName == b.CreatorName && a.Mode == b.Mode && a.UniqueID == b.UniqueID;
}

// Text for a quoted value: the input's bytes without quotes and line ends.
std::string QuotableText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    if (c != '"' && c != '\r' && c != '\n') text += c;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PropertiesRig rig;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  fixtures::WriteBytesToFile(rig.file, fuzz::InputBytes(data, size));

  size_t linesSeen = 0;
  const std::optional<BlockProperties> read =
      customblocks::ReadBlockProperties(rig.file, [&] { ++linesSeen; });
  FUZZ_CHECK(read.has_value());
  const std::vector<std::string_view> lines = SplitLines(text);
  FUZZ_CHECK_MSG(linesSeen == lines.size(), "the hook ran " + std::to_string(linesSeen) + " times for " +
                                                std::to_string(lines.size()) + " lines");
  BlockProperties lineByLine;
  for (const std::string_view line : lines) {
    if (line.size() <= customblocks::kLongestPropertiesLine)
      customblocks::ApplyPropertiesLine(line, lineByLine);
    FUZZ_CHECK(customblocks::IntegerAfterLastColon(line) == ExpectedInteger(line));
    FUZZ_CHECK(customblocks::TextBetweenLastQuotes(line).find('"') == std::string_view::npos);
  }
  FUZZ_CHECK_MSG(SameProperties(*read, lineByLine), "the file reads otherwise than its lines");

  // Round trip through the fixture writer: name and creator from the two halves of the input,
  // short enough for their lines to be read.
  const size_t longestValue = customblocks::kLongestPropertiesLine - 32;
  BlockProperties written;
  written.Name = QuotableText(text.substr(0, std::min(size / 2, longestValue)));
  written.CreatorName = QuotableText(text.substr(size / 2, longestValue));
  // A creator named like a key ("Mode", "UniqueID", any case) makes its quoted value that key's
  // text, and the line then counts as that key: the file is not read as JSON. Such a name does not
  // come back, so it gets a word in front.
  if (NamesAKey(written.CreatorName)) written.CreatorName.insert(0, "by ");
  written.Mode = size % 7;
  written.UniqueID = lineByLine.UniqueID;
  fixtures::WriteBytesToFile(rig.file, [&] {
    const std::string file = fixtures::MakeBlockPropertiesText(written.Name, static_cast<int>(written.Mode),
                                                               written.UniqueID, written.CreatorName);
    return std::vector<uint8_t>(file.begin(), file.end());
  }());
  const std::optional<BlockProperties> again = customblocks::ReadBlockProperties(rig.file, {});
  FUZZ_CHECK_MSG(again && SameProperties(*again, written), "a written properties file reads back otherwise");
  return 0;
}
