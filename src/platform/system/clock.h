#pragma once

#include <cstdint>

namespace orelens::platform {

// Milliseconds on a monotonic clock; only differences between two readings mean anything.
int64_t ElapsedMilliseconds();

}  // namespace orelens::platform
