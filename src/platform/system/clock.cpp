#include "platform/system/clock.h"

#include <chrono>

namespace orelens::platform {

int64_t ElapsedMilliseconds() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

}  // namespace orelens::platform
