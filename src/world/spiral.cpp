#include "world/spiral.h"

#include <cmath>

namespace orelens::world {
namespace {

// Ring number of index n: ceil((sqrt(n) - 1) / 2), in double precision as the order is defined.
int64_t RingOf(int64_t n) {
  return static_cast<int64_t>(std::ceil((std::sqrt(static_cast<double>(n)) - 1.0) / 2.0));
}

}  // namespace

int32_t SpiralIndexToX(int64_t n) {
  const int64_t k = RingOf(n);
  const int64_t t = 2 * k;
  int64_t m = (2 * k + 1) * (2 * k + 1);
  if (n >= m - t) return static_cast<int32_t>(k - (m - n));
  m -= t;
  if (n >= m - t) return static_cast<int32_t>(-k);
  m -= t;
  if (n >= m - t) return static_cast<int32_t>(-k + (m - n));
  return static_cast<int32_t>(k);
}

int32_t SpiralIndexToZ(int64_t n) {
  const int64_t k = RingOf(n);
  const int64_t t = 2 * k;
  int64_t m = (2 * k + 1) * (2 * k + 1);
  if (n >= m - t) return static_cast<int32_t>(-k);
  m -= t;
  if (n >= m - t) return static_cast<int32_t>(-k + (m - n));
  m -= t;
  if (n >= m - t) return static_cast<int32_t>(k);
  return static_cast<int32_t>(k - (m - n - t));
}

}  // namespace orelens::world
