#pragma once

#include <cstdint>
#include <string_view>

namespace orelens::platform {

// Reads an integer from the start of a text, the one way every reader of integer text in the
// program does it: leading blanks and tabs are skipped, then an optional "+" or "-", then
// decimal digits, or "$" and hexadecimal digits, or "%" and binary digits, up to the first
// other character. No digits give 0. Values beyond 64 bits wrap around.
int64_t ParseIntegerText(std::string_view text);

// The same with decimal digits only: "$" and "%" are no digits here, so "$1F" reads as 0.
int64_t ParseDecimalIntegerText(std::string_view text);

}  // namespace orelens::platform
