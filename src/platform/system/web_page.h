#pragma once

#include <string>

namespace orelens::platform {

// Opens a web page in the user's browser through the desktop's opener and returns at once:
// nothing waits for the browser, and a missing opener or browser only means nothing opens.
// False when the opener could not be started or the address is refused (empty, or one that
// the opener would read as an option).
bool OpenWebPage(const std::string& url, const std::string& opener = "xdg-open");

}  // namespace orelens::platform
