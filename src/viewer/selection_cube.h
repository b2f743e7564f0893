#pragma once

#include "platform/engine3d/engine3d.h"

namespace orelens::viewer {

// The selection cube: node 1001 with the six face entities 1003..1008 (+Y, -Y, -X, +X, +Z, -Z).
// Its size in blocks is the scale of entity 1003; the node position is the box centre.

// Makes the six face entities from the face meshes 10..15 with the tool material and attaches
// them to node 1001; the cube starts hidden at a scale of 1.01.
void CreateSelectionCube(platform::Engine3D& engine);
// 1 hides, 0 shows entities 1003..1008.
void HideSelectionCube(platform::Engine3D& engine, int state);
void ScaleSelectionCube(platform::Engine3D& engine, float x, float y, float z, int mode);

struct CubeSize {
  float x = 0, y = 0, z = 0;
};
CubeSize SelectionCubeSize(platform::Engine3D& engine);

}  // namespace orelens::viewer
