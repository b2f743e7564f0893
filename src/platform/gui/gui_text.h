#pragma once

#include <string>
#include <string_view>

namespace orelens::platform {

// Message and label texts end their lines with "\n\r" (and a few with "\r\n"); either pair,
// or a lone "\r", shows as one line break.
std::string DisplayText(std::string_view text);

}  // namespace orelens::platform
