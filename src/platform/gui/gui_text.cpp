#include "platform/gui/gui_text.h"

namespace orelens::platform {

std::string DisplayText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      shown.push_back('\n');
      const bool pairFollows = i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r') &&
                               text[i + 1] != c;
      if (pairFollows) ++i;
    } else {
      shown.push_back(c);
    }
  }
  return shown;
}

}  // namespace orelens::platform
