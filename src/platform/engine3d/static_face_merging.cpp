#include "platform/engine3d/static_face_merging.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orelens::platform {
namespace {

using Corners = std::array<const GeometryVertex*, 4>;

float Coordinate(const GeometryVertex& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

void SetCoordinate(GeometryVertex& v, int axis, float value) { (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = value; }

// The two axes across a plane, in the order that makes (p, q, axis) right-handed.
int AxisP(int axis) { return (axis + 1) % 3; }
int AxisQ(int axis) { return (axis + 2) % 3; }

// Where a coordinate sits within its block step: the lattice of the faces it can merge with.
float Phase(float value) { return value - kMergedFaceSize * std::floor(value / kMergedFaceSize); }

bool SameAttributes(const GeometryVertex& a, const GeometryVertex& b) {
  return a.nx == b.nx && a.ny == b.ny && a.nz == b.nz && a.rgba == b.rgba;
}

// +1 or -1 as the triangle turns about the axis, 0 when it is degenerate.
int Winding(const GeometryVertex& a, const GeometryVertex& b, const GeometryVertex& c, int axis) {
  const int p = AxisP(axis), q = AxisQ(axis);
  const float turn = (Coordinate(b, p) - Coordinate(a, p)) * (Coordinate(c, q) - Coordinate(a, q)) -
                     (Coordinate(b, q) - Coordinate(a, q)) * (Coordinate(c, p) - Coordinate(a, p));
  return turn > 0.0f ? 1 : turn < 0.0f ? -1 : 0;
}

// A texture step of exactly one along one texture axis.
bool UnitStep(float du, float dv, int8_t out[2]) {
  const bool alongU = (du == 1.0f || du == -1.0f) && dv == 0.0f;
  const bool alongV = du == 0.0f && (dv == 1.0f || dv == -1.0f);
  if (!alongU && !alongV) return false;
  out[0] = static_cast<int8_t>(du);
  out[1] = static_cast<int8_t>(dv);
  return true;
}

// The two triangles t and t + 1 as one block face: a square of the block size across an axis
// plane, split along a diagonal, both halves facing the same way, one normal and colour, and a
// texture laid on once, turned or mirrored but not stretched.
bool ReadUnitFace(const GeometryVertex* vertices, const uint32_t* first, const uint32_t* second,
                  StaticFaceMerger::UnitFace& face) {
  // The shared edge must be a diagonal: two corners in common, one of each triangle apart.
  int sharedInFirst[2] = {0, 0}, shared = 0, onlyFirst = -1, onlyInSecond = -1;
  for (int i = 0; i < 3; ++i) {
    const bool inSecond = first[i] == second[0] || first[i] == second[1] || first[i] == second[2];
    if (inSecond) {
      if (shared == 2) return false;
      sharedInFirst[shared++] = i;
    } else {
      onlyFirst = i;
    }
  }
  if (shared != 2) return false;
  for (int i = 0; i < 3; ++i)
    if (second[i] != first[sharedInFirst[0]] && second[i] != first[sharedInFirst[1]]) onlyInSecond = i;
  if (onlyInSecond < 0) return false;
  const Corners corners = {&vertices[first[sharedInFirst[0]]], &vertices[first[sharedInFirst[1]]],
                           &vertices[first[onlyFirst]], &vertices[second[onlyInSecond]]};

  int axis = -1;
  for (int a = 0; a < 3; ++a) {
    const float value = Coordinate(*corners[0], a);
    if (Coordinate(*corners[1], a) == value && Coordinate(*corners[2], a) == value && Coordinate(*corners[3], a) == value) {
      if (axis >= 0) return false;  // flat in two axes: not a face
      axis = a;
    }
  }
  if (axis < 0) return false;
  for (int i = 1; i < 4; ++i)
    if (!SameAttributes(*corners[0], *corners[i])) return false;

  const int p = AxisP(axis), q = AxisQ(axis);
  float lowP = Coordinate(*corners[0], p), highP = lowP, lowQ = Coordinate(*corners[0], q), highQ = lowQ;
  for (const GeometryVertex* corner : corners) {
    lowP = std::min(lowP, Coordinate(*corner, p));
    highP = std::max(highP, Coordinate(*corner, p));
    lowQ = std::min(lowQ, Coordinate(*corner, q));
    highQ = std::max(highQ, Coordinate(*corner, q));
  }
  if (highP - lowP != kMergedFaceSize || highQ - lowQ != kMergedFaceSize) return false;
  // Each corner of the square exactly once; the shared pair lies on opposite corners.
  const GeometryVertex* at[2][2] = {};
  for (const GeometryVertex* corner : corners) {
    const float cp = Coordinate(*corner, p), cq = Coordinate(*corner, q);
    if ((cp != lowP && cp != highP) || (cq != lowQ && cq != highQ)) return false;
    const GeometryVertex*& slot = at[cp == highP][cq == highQ];
    if (slot) return false;
    slot = corner;
  }
  if (Coordinate(*corners[0], p) == Coordinate(*corners[1], p) || Coordinate(*corners[0], q) == Coordinate(*corners[1], q))
    return false;
  const int winding = Winding(vertices[first[0]], vertices[first[1]], vertices[first[2]], axis);
  if (winding == 0 || winding != Winding(vertices[second[0]], vertices[second[1]], vertices[second[2]], axis)) return false;

  // The texture runs straight along the plane's axes, one picture per face.
  StaticFaceMerger::FaceKey& key = face.key;
  const GeometryVertex& low = *at[0][0];
  if (!UnitStep(at[1][0]->u - low.u, at[1][0]->v - low.v, key.uvAlongP)) return false;
  if (!UnitStep(at[0][1]->u - low.u, at[0][1]->v - low.v, key.uvAlongQ)) return false;
  if (key.uvAlongP[0] == 0) {
    if (key.uvAlongQ[0] == 0) return false;
  } else if (key.uvAlongQ[1] == 0) {
    return false;
  }
  if (at[1][1]->u != at[1][0]->u + at[0][1]->u - low.u || at[1][1]->v != at[1][0]->v + at[0][1]->v - low.v) return false;

  key.axis = static_cast<int8_t>(axis);
  key.winding = static_cast<int8_t>(winding);
  key.normal[0] = low.nx;
  key.normal[1] = low.ny;
  key.normal[2] = low.nz;
  key.rgba = low.rgba;
  key.plane = Coordinate(low, axis);
  key.uvOrigin[0] = low.u;
  key.uvOrigin[1] = low.v;
  key.phaseP = Phase(lowP);
  key.phaseQ = Phase(lowQ);
  const float cellP = std::floor(lowP / kMergedFaceSize), cellQ = std::floor(lowQ / kMergedFaceSize);
  if (!(std::fabs(cellP) < 1e6f) || !(std::fabs(cellQ) < 1e6f)) return false;
  face.cellP = static_cast<int32_t>(cellP);
  face.cellQ = static_cast<int32_t>(cellQ);
  face.lowP = lowP;
  face.lowQ = lowQ;
  face.highP = highP;
  face.highQ = highQ;
  face.corner = low;
  return true;
}

}  // namespace

void StaticFaceMerger::MergeNewFaces(GeometryBatch& batch, bool seeThrough) {
  const size_t vertexBase = batch.mergedVertexCount, indexBase = batch.mergedIndexCount;
  batch.mergedVertexCount = batch.vertices.size();
  batch.mergedIndexCount = batch.indices.size();
  if (indexBase >= batch.indices.size() || vertexBase > batch.vertices.size()) return;
  const size_t triangleCount = (batch.indices.size() - indexBase) / 3;
  const uint32_t* indices = batch.indices.data() + indexBase;
  const GeometryVertex* vertices = batch.vertices.data();

  faces_.clear();
  triangleTaken_.assign(triangleCount, 0);
  for (size_t t = 0; t + 1 < triangleCount; ++t) {
    UnitFace face;
    if (!ReadUnitFace(vertices, indices + 3 * t, indices + 3 * t + 3, face)) continue;
    face.firstTriangle = static_cast<uint32_t>(t);
    faces_.push_back(face);
    triangleTaken_[t] = triangleTaken_[t + 1] = 1;
    ++t;
  }
  if (faces_.size() < 2) return;
  if (seeThrough && !OnePlaneAlone(triangleCount)) return;

  // By plane, then row, then column; the faces are large, so their numbers are sorted.
  order_.resize(faces_.size());
  for (size_t f = 0; f < faces_.size(); ++f) order_[f] = static_cast<uint32_t>(f);
  std::sort(order_.begin(), order_.end(), [this](uint32_t i, uint32_t j) {
    const UnitFace &a = faces_[i], &b = faces_[j];
    if (a.key != b.key) return a.key < b.key;
    return a.cellQ != b.cellQ ? a.cellQ < b.cellQ : a.cellP < b.cellP;
  });
  sortedFaces_.clear();
  for (uint32_t f : order_) sortedFaces_.push_back(faces_[f]);
  faces_.swap(sortedFaces_);
  used_.assign(faces_.size(), 0);
  rectangleVertices_.clear();
  rectangleFirstTriangle_.clear();
  for (size_t begin = 0; begin < faces_.size();) {
    size_t end = begin + 1;
    while (end < faces_.size() && faces_[end].key == faces_[begin].key) ++end;
    MergeGroup(begin, end);
    begin = end;
  }

  if (rectangleFirstTriangle_.empty()) return;  // nothing joined: the tail stays as added

  // A face that joined no other is kept as it came.
  for (size_t f = 0; f < faces_.size(); ++f)
    if (!used_[f]) triangleTaken_[faces_[f].firstTriangle] = triangleTaken_[faces_[f].firstTriangle + 1] = 0;

  // The new tail: kept triangles and rectangles in the order of their first triangle, so that
  // see-through faces are still drawn in the order they were added.
  orderSlot_.assign(triangleCount, -1);
  for (size_t r = 0; r < rectangleFirstTriangle_.size(); ++r) orderSlot_[rectangleFirstTriangle_[r]] = static_cast<int32_t>(r);
  vertexRemap_.assign(batch.vertices.size() - vertexBase, -1);
  outVertices_.clear();
  outIndices_.clear();
  const auto tailBase = static_cast<uint32_t>(vertexBase);
  for (size_t t = 0; t < triangleCount; ++t) {
    if (orderSlot_[t] >= 0) {
      const auto base = static_cast<uint32_t>(outVertices_.size()) + tailBase;
      const GeometryVertex* rectangle = &rectangleVertices_[4 * static_cast<size_t>(orderSlot_[t])];
      outVertices_.insert(outVertices_.end(), rectangle, rectangle + 4);
      for (uint32_t corner : {0u, 1u, 2u, 2u, 3u, 0u}) outIndices_.push_back(base + corner);
    }
    if (triangleTaken_[t]) continue;
    for (int i = 0; i < 3; ++i) {
      const uint32_t index = indices[3 * t + i];
      if (index < vertexBase || index >= batch.vertices.size()) {
        outIndices_.push_back(index);  // points before the tail: not this build's to move
        continue;
      }
      int32_t& moved = vertexRemap_[index - vertexBase];
      if (moved < 0) {
        moved = static_cast<int32_t>(outVertices_.size());
        outVertices_.push_back(vertices[index]);
      }
      outIndices_.push_back(tailBase + static_cast<uint32_t>(moved));
    }
  }
  batch.vertices.resize(vertexBase);
  batch.vertices.insert(batch.vertices.end(), outVertices_.begin(), outVertices_.end());
  batch.indices.resize(indexBase);
  batch.indices.insert(batch.indices.end(), outIndices_.begin(), outIndices_.end());
  batch.mergedVertexCount = batch.vertices.size();
  batch.mergedIndexCount = batch.indices.size();
}

// See-through faces are blended in the order they were added, and a rectangle is drawn where its
// first face was: only faces that cannot lie in front of one another, all in one plane facing one
// way with nothing else beside them, may be drawn in another order.
bool StaticFaceMerger::OnePlaneAlone(size_t triangleCount) const {
  if (faces_.size() * 2 != triangleCount) return false;
  const FaceKey& first = faces_.front().key;
  return std::all_of(faces_.begin(), faces_.end(), [&first](const UnitFace& face) {
    return face.key.axis == first.axis && face.key.plane == first.plane && face.key.winding == first.winding;
  });
}

// Greedy rectangles over one plane's faces (sorted by row, then column): from each face not yet
// used, as far as the row goes, then as many rows up as are whole under it.
void StaticFaceMerger::MergeGroup(size_t begin, size_t end) {
  int32_t minP = faces_[begin].cellP, maxP = minP, minQ = faces_[begin].cellQ, maxQ = faces_[end - 1].cellQ;
  for (size_t f = begin; f < end; ++f) {
    minP = std::min(minP, faces_[f].cellP);
    maxP = std::max(maxP, faces_[f].cellP);
  }
  const size_t width = static_cast<size_t>(maxP - minP) + 1, height = static_cast<size_t>(maxQ - minQ) + 1;
  if (width * height > 16 * (end - begin) + 4096) {
    // Scattered faces far apart: rows alone, without a grid.
    for (size_t f = begin; f < end;) {
      size_t last = f;
      while (last + 1 < end && faces_[last + 1].cellQ == faces_[f].cellQ && faces_[last + 1].cellP == faces_[last].cellP + 1)
        ++last;
      if (last > f) {
        uint32_t firstTriangle = faces_[f].firstTriangle;
        for (size_t g = f; g <= last; ++g) {
          used_[g] = 1;
          firstTriangle = std::min(firstTriangle, faces_[g].firstTriangle);
        }
        EmitRectangle(faces_[f], faces_[last].highP, faces_[f].highQ, static_cast<int32_t>(last - f + 1), 1, firstTriangle);
      }
      f = last + 1;
    }
    return;
  }
  grid_.assign(width * height, -1);
  for (size_t f = begin; f < end; ++f) {
    int32_t& slot = grid_[static_cast<size_t>(faces_[f].cellQ - minQ) * width + static_cast<size_t>(faces_[f].cellP - minP)];
    if (slot < 0) slot = static_cast<int32_t>(f);  // a second face on the same spot stays as added
  }
  // Rectangles grown first along one axis of the plane, then along the other; both ways are
  // counted and the one with fewer rectangles is kept (terraces run either way).
  auto sweep = [&](bool qFirst, bool emit) {
    taken_.assign(grid_.size(), 0);
    const size_t extentA = qFirst ? height : width, extentB = qFirst ? width : height;
    auto index = [&](size_t a, size_t b) { return qFirst ? a * width + b : b * width + a; };
    auto available = [&](size_t a, size_t b) { return grid_[index(a, b)] >= 0 && !taken_[index(a, b)]; };
    size_t rectangles = 0;
    for (size_t b = 0; b < extentB; ++b)
      for (size_t a = 0; a < extentA; ++a) {
        if (!available(a, b)) continue;
        ++rectangles;
        size_t along = 1, over = 1;
        while (a + along < extentA && available(a + along, b)) ++along;
        for (bool whole = true; whole && b + over < extentB;) {
          for (size_t i = 0; i < along && whole; ++i) whole = available(a + i, b + over);
          if (whole) ++over;
        }
        if (along * over == 1) continue;  // a face alone stays as added
        for (size_t j = 0; j < over; ++j)
          for (size_t i = 0; i < along; ++i) taken_[index(a + i, b + j)] = 1;
        if (!emit) continue;
        const size_t blocksP = qFirst ? over : along, blocksQ = qFirst ? along : over;
        const size_t lowP = qFirst ? b : a, lowQ = qFirst ? a : b;
        auto face = [&](size_t p, size_t q) -> const UnitFace& { return faces_[static_cast<size_t>(grid_[q * width + p])]; };
        uint32_t firstTriangle = face(lowP, lowQ).firstTriangle;  // drawn where its first face was
        for (size_t q = lowQ; q < lowQ + blocksQ; ++q)
          for (size_t p = lowP; p < lowP + blocksP; ++p) {
            used_[static_cast<size_t>(grid_[q * width + p])] = 1;
            firstTriangle = std::min(firstTriangle, face(p, q).firstTriangle);
          }
        EmitRectangle(face(lowP, lowQ), face(lowP + blocksP - 1, lowQ).highP, face(lowP, lowQ + blocksQ - 1).highQ,
                      static_cast<int32_t>(blocksP), static_cast<int32_t>(blocksQ), firstTriangle);
      }
    return rectangles;
  };
  const bool qFirst = sweep(true, false) < sweep(false, false);
  sweep(qFirst, true);
}

void StaticFaceMerger::EmitRectangle(const UnitFace& low, float highP, float highQ, int32_t blocksP, int32_t blocksQ,
                                     uint32_t firstTriangle) {
  const FaceKey& key = low.key;
  const int p = AxisP(key.axis), q = AxisQ(key.axis);
  // Corners counter-clockwise about the axis: (low, low), (high, low), (high, high), (low, high).
  const float cornerP[4] = {low.lowP, highP, highP, low.lowP};
  const float cornerQ[4] = {low.lowQ, low.lowQ, highQ, highQ};
  const int32_t stepsP[4] = {0, blocksP, blocksP, 0};
  const int32_t stepsQ[4] = {0, 0, blocksQ, blocksQ};
  GeometryVertex corners[4];
  for (int c = 0; c < 4; ++c) {
    GeometryVertex& v = corners[c];
    v = low.corner;
    SetCoordinate(v, key.axis, key.plane);
    SetCoordinate(v, p, cornerP[c]);
    SetCoordinate(v, q, cornerQ[c]);
    v.u = key.uvOrigin[0] + float(key.uvAlongP[0] * stepsP[c] + key.uvAlongQ[0] * stepsQ[c]);
    v.v = key.uvOrigin[1] + float(key.uvAlongP[1] * stepsP[c] + key.uvAlongQ[1] * stepsQ[c]);
  }
  // Facing the other way: the same corners walked clockwise.
  if (key.winding < 0) std::swap(corners[1], corners[3]);
  rectangleVertices_.insert(rectangleVertices_.end(), corners, corners + 4);
  rectangleFirstTriangle_.push_back(firstTriangle);
}

}  // namespace orelens::platform
