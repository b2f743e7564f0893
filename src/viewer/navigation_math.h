#pragma once

#include <cmath>
#include <cstdint>

namespace orelens::viewer {

// Nearest integer, a value exactly halfway going to the even neighbour.
inline int64_t NearestEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

// Mouse counts per drag step for a camera-to-box distance d (already halved): near boxes move
// slowly, far ones quickly.
inline int DragSpeedForDistance(int halvedDistance) {
  if (halvedDistance == 0) return 80;
  const int speed = 10 * (10 / halvedDistance);
  return speed < 5 ? 5 : speed;
}

// Which face of the selection cube a picked normal names, as entity 1004 + index:
// 0 bottom (also every top or missing normal), 1 -X, 2 +X, 3 +Z, 4 -Z.
inline int HoverIndexForNormal(int64_t normalX, int64_t normalZ) {
  if (normalZ > 0) return 3;
  if (normalZ < 0) return 4;
  if (normalX > 0) return 2;
  if (normalX < 0) return 1;
  return 0;
}

// Integer nearest to the distance between a camera position and a point, in double precision.
inline int64_t DistanceToPoint(float cameraX, float cameraY, float cameraZ, double x, double y,
                               double z) {
  const double dx = cameraX - x, dy = cameraY - y, dz = cameraZ - z;
  return NearestEven(std::sqrt(dx * dx + dy * dy + dz * dz));
}

}  // namespace orelens::viewer
