#include "customblocks/block_properties.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>

#include "platform/files/file.h"

namespace orelens::customblocks {

namespace {

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view key) {
  const auto found = std::search(text.begin(), text.end(), key.begin(), key.end(),
                                 [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
  return found != text.end();
}

enum class PropertyKey { kName, kMode, kUniqueId, kCreatorName };

struct KeyText {
  std::string_view text;
  PropertyKey key;
};

// Tested in this order; "Name": keeps its colon so that "CreatorName" lines are not taken for it.
constexpr std::array<KeyText, 4> kKeys{{
    {"\"Name\":", PropertyKey::kName},
    {"\"Mode\"", PropertyKey::kMode},
    {"\"UniqueID\"", PropertyKey::kUniqueId},
    {"\"CreatorName\"", PropertyKey::kCreatorName},
}};

}  // namespace

std::string_view TextBetweenLastQuotes(std::string_view line) {
  const size_t last = line.rfind('"');
  if (last == std::string_view::npos || last == 0) return {};
  const size_t before = line.rfind('"', last - 1);
  if (before == std::string_view::npos) return {};
  return line.substr(before + 1, last - before - 1);
}

int64_t IntegerAfterLastColon(std::string_view line) {
  const size_t colon = line.rfind(':');
  if (colon == std::string_view::npos) return 0;
  std::string_view rest = line.substr(colon + 1);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  bool negative = false;
  if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  // Accumulated as a negative number so that the lowest 64-bit value fits too.
  constexpr int64_t kLowest = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    if (value < (kLowest + digit) / 10) {
      value = kLowest;
      break;
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == kLowest ? std::numeric_limits<int64_t>::max() : -value;
}

void ApplyPropertiesLine(std::string_view line, BlockProperties& properties) {
  for (const KeyText& key : kKeys) {
    if (!ContainsIgnoringCase(line, key.text)) continue;
    switch (key.key) {
      case PropertyKey::kName:
        properties.Name = TextBetweenLastQuotes(line);
        break;
      case PropertyKey::kMode:
        properties.Mode = IntegerAfterLastColon(line);
        break;
      case PropertyKey::kUniqueId:
        properties.UniqueID = IntegerAfterLastColon(line);
        break;
      case PropertyKey::kCreatorName:
        properties.CreatorName = TextBetweenLastQuotes(line);
        break;
    }
    return;
  }
}

std::optional<BlockProperties> ReadBlockProperties(const std::string& path,
                                                   const std::function<void()>& afterLine) {
  platform::File file = platform::File::Open(path, platform::FileMode::kRead);
  if (!file.IsOpen()) return std::nullopt;

  BlockProperties properties;
  std::string line;
  bool lineOpen = false;  // characters read since the last line end
  bool tooLong = false;   // the line outgrew kLongestPropertiesLine: its characters are dropped
  bool afterCr = false;   // a CR ended the last line: a LF right after it belongs to it
  const auto endLine = [&] {
    if (!tooLong) ApplyPropertiesLine(line, properties);
    line.clear();
    lineOpen = false;
    tooLong = false;
    if (afterLine) afterLine();
  };
  std::array<uint8_t, 4096> chunk{};
  for (size_t got; (got = file.Read(chunk)) > 0;) {
    for (uint8_t byte : std::span(chunk).first(got)) {
      const char c = static_cast<char>(byte);
      if (c == '\n' && afterCr) {
        afterCr = false;
        continue;
      }
      afterCr = c == '\r';
      if (c == '\n' || c == '\r') {
        endLine();
      } else {
        lineOpen = true;
        if (line.size() < kLongestPropertiesLine)
          line.push_back(c);
        else
          tooLong = true;
      }
    }
  }
  if (lineOpen) endLine();
  return properties;
}

}  // namespace orelens::customblocks
