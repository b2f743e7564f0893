#include "platform/engine3d/tile_shape.h"

#include <cmath>

namespace orelens::platform {
namespace {

bool WholeRepeats(glm::vec2 step) {
  return std::isfinite(step.x) && std::isfinite(step.y) && std::floor(step.x) == step.x && std::floor(step.y) == step.y;
}

}  // namespace

TileShape ReadTileShape(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices) {
  TileShape shape;
  if (vertices.size() != 4 || indices.size() != 6) return shape;
  glm::vec3 low = vertices[0].position, high = low;
  for (const MeshVertex& vertex : vertices) {
    low = glm::min(low, vertex.position);
    high = glm::max(high, vertex.position);
  }
  int flat = -1;
  for (int axis = 0; axis < 3; ++axis) {
    if (!(high[axis] > low[axis])) {
      if (flat >= 0) return shape;  // flat across two axes, or not a number
      flat = axis;
    }
  }
  if (flat < 0) return shape;
  const int p = (flat + 1) % 3, q = (flat + 2) % 3;

  // Corner c of the rectangle: bit 0 high along p, bit 1 high along q; each held by one vertex.
  int vertexAt[4] = {-1, -1, -1, -1};
  for (int i = 0; i < 4; ++i) {
    const MeshVertex& vertex = vertices[i];
    const glm::vec3& at = vertex.position;
    if ((at[p] != low[p] && at[p] != high[p]) || (at[q] != low[q] && at[q] != high[q])) return shape;
    if (vertex.normal != vertices[0].normal || vertex.rgba != vertices[0].rgba) return shape;
    const int corner = (at[p] == high[p] ? 1 : 0) | (at[q] == high[q] ? 2 : 0);
    if (vertexAt[corner] >= 0) return shape;
    vertexAt[corner] = i;
  }

  // Two triangles cover the rectangle once, facing one way, when each names three different
  // corners and the corners they leave out lie opposite each other.
  int leftOut[2] = {0, 0}, turn[2] = {0, 0};
  for (int t = 0; t < 2; ++t) {
    const uint32_t* triangle = &indices[3 * t];
    bool named[4] = {};
    for (int i = 0; i < 3; ++i) {
      if (triangle[i] >= 4 || named[triangle[i]]) return shape;
      named[triangle[i]] = true;
    }
    for (int v = 0; v < 4; ++v)
      if (!named[v]) leftOut[t] = v;
    const glm::vec3 &a = vertices[triangle[0]].position, &b = vertices[triangle[1]].position,
                    &c = vertices[triangle[2]].position;
    const float area = (b[p] - a[p]) * (c[q] - a[q]) - (b[q] - a[q]) * (c[p] - a[p]);
    turn[t] = area > 0.0f ? 1 : -1;
  }
  int leftOutCorner[2] = {0, 0};
  for (int corner = 0; corner < 4; ++corner)
    for (int t = 0; t < 2; ++t)
      if (vertexAt[corner] == leftOut[t]) leftOutCorner[t] = corner;
  if ((leftOutCorner[0] ^ leftOutCorner[1]) != 3 || turn[0] != turn[1]) return shape;

  const glm::vec2 uvLow = vertices[vertexAt[0]].uv;
  const glm::vec2 stepP = vertices[vertexAt[1]].uv - uvLow, stepQ = vertices[vertexAt[2]].uv - uvLow;
  if (vertices[vertexAt[3]].uv != uvLow + stepP + stepQ || !WholeRepeats(stepP) || !WholeRepeats(stepQ)) return shape;

  shape.uvStep[p] = stepP;
  shape.uvStep[q] = stepQ;
  for (int corner = 0; corner < 4; ++corner) {
    shape.atHigh[vertexAt[corner]][p] = (corner & 1) != 0;
    shape.atHigh[vertexAt[corner]][q] = (corner & 2) != 0;
  }
  shape.tileable = true;
  return shape;
}

}  // namespace orelens::platform
