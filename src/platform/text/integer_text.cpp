#include "platform/text/integer_text.h"

namespace orelens::platform {
namespace {

int DigitValue(char c, int base) {
  int value = 99;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

int64_t ParseInteger(std::string_view text, bool otherBases) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (otherBases && i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (otherBases && i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  // Unsigned arithmetic so that an overlong number wraps instead of overflowing.
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i], base);
    if (digit < 0) break;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (negative) value = 0 - value;
  return static_cast<int64_t>(value);
}

}  // namespace

int64_t ParseIntegerText(std::string_view text) {
  return ParseInteger(text, true);
}

int64_t ParseDecimalIntegerText(std::string_view text) {
  return ParseInteger(text, false);
}

}  // namespace orelens::platform
