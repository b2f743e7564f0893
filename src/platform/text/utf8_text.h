#pragma once

#include <string>
#include <string_view>

namespace orelens::platform {

// The text as valid UTF-8: every byte that does not belong to a valid sequence (a stray
// continuation byte, a lead byte without its continuations, an overlong form, a surrogate, a code
// point above U+10FFFF) becomes U+FFFD. Valid text comes back unchanged.
std::string ValidUtf8(std::string_view text);

}  // namespace orelens::platform
