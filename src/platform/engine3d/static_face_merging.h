#pragma once

// The build step of static geometry: block faces that lie side by side in one plane, with the
// same material, normal, colour, winding and texture orientation, become one rectangle whose
// texture coordinates run on across it, so the texture repeats once per block (the samplers
// wrap). Faces of any other shape or size stay exactly as they were added.

#include <cstdint>
#include <vector>

#include "platform/engine3d/scene.h"

namespace orelens::platform {

// The edge length of a block face: the only faces merged.
constexpr float kMergedFaceSize = 0.5f;

class StaticFaceMerger {
 public:
  // Merges the faces added to the batch since its last build and marks them built. Faces that
  // an earlier build settled are left alone. `seeThrough`: the batch's material is blended, so
  // the order of overlapping faces shows.
  void MergeNewFaces(GeometryBatch& batch, bool seeThrough);

  struct FaceKey {
    int8_t axis = 0;        // the coordinate (0 x, 1 y, 2 z) that is the same at every corner
    int8_t winding = 0;     // +1 or -1: which side of the plane the triangles face
    int8_t uvAlongP[2]{}, uvAlongQ[2]{};  // texture step per block along the plane's two axes
    int8_t normal[3]{};
    uint32_t rgba = 0;
    float plane = 0;              // the constant coordinate
    float uvOrigin[2]{};          // the texture coordinates at the face's low corner
    float phaseP = 0, phaseQ = 0;  // where the block lattice sits on the plane

    auto operator<=>(const FaceKey&) const = default;
  };

  struct UnitFace {
    FaceKey key;
    int32_t cellP = 0, cellQ = 0;  // the face's place on the block lattice of its plane
    float lowP = 0, lowQ = 0, highP = 0, highQ = 0;  // the face's corners along the plane's axes
    uint32_t firstTriangle = 0;    // of the tail, for the drawing order
    GeometryVertex corner{};       // attributes the merged rectangle takes over
  };

 private:
  bool OnePlaneAlone(size_t triangleCount) const;
  void MergeGroup(size_t begin, size_t end);
  void EmitRectangle(const UnitFace& low, float highP, float highQ, int32_t blocksP, int32_t blocksQ,
                     uint32_t firstTriangle);

  // Scratch lists, kept between builds so that building does not allocate.
  std::vector<UnitFace> faces_;
  std::vector<UnitFace> sortedFaces_;
  std::vector<uint32_t> order_;
  std::vector<uint8_t> triangleTaken_;     // per tail triangle: 1 when part of a unit face
  std::vector<int32_t> grid_;              // per lattice cell of a group: index into faces_, or -1
  std::vector<uint8_t> used_;              // per face: already in a rectangle
  std::vector<uint8_t> taken_;             // per lattice cell of a group: in a rectangle of this sweep
  std::vector<GeometryVertex> rectangleVertices_;
  std::vector<uint32_t> rectangleFirstTriangle_;  // per rectangle: where it is drawn in order
  std::vector<int32_t> orderSlot_;         // per tail triangle: the rectangle drawn there, or -1
  std::vector<int32_t> vertexRemap_;
  std::vector<GeometryVertex> outVertices_;
  std::vector<uint32_t> outIndices_;
};

}  // namespace orelens::platform
