#pragma once

#include <string>
#include <string_view>

namespace orelens::platform {

// Turns a path as the program builds it into one the operating system opens. "\" and "/" both
// separate parts. The game's files come from a case-insensitive file system, so a part that
// does not exist under its exact name is matched against the folder's real entries without
// regard to case; parts that match nothing are kept as written. A trailing separator is kept.
std::string ResolvePath(std::string_view path);

// True when the two names are equal without regard to ASCII case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace orelens::platform
