#pragma once

#include "viewer/block_definitions.h"

namespace orelens::platform {
class Engine3D;
}

namespace orelens::viewer {

// The fixed meshes and entities every drawn block is assembled from; they exist once per run.
constexpr int kTopFaceMesh = 10;                // meshes 10..15: top, bottom, -X, +X, +Z, -Z face quads
constexpr int kCrossedQuadMesh = 16;            // two crossed vertical quads for plants
constexpr int kCubeMesh = 306;                  // marker boxes
constexpr int kBorderMaterial = 999;            // made from texture 999
constexpr int kFirstBorderFaceEntity = 0;       // entities 0..5 (`BorderFaceEntities`), hidden
constexpr int kFirstFaceTemplateEntity = 10;    // entities 10..15 (`FaceTemplateEntities`), visible
constexpr int kCrossedQuadEntity = 16;          // hidden; takes the materials of double-sided blocks

// Makes the face quads, the crossed quads, the cube, material 999 and the template entities.
// Called once at start-up, after the block definitions are loaded and texture 999 exists.
// Returns 0.
int CreateFaceTemplateMeshes(platform::Engine3D& engine, const BlockDefinitionTable& definitions);

}  // namespace orelens::viewer
