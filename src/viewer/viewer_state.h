#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "world/world_store.h"

namespace orelens::viewer {

enum InteractionMode : int {
  kModeBrowse = 0,
  kModeSaveBox = 1,
  kModeInsertSchematic = 2,
  kModeMarker = 3,
};

// Engine object numbers the viewer chooses itself.
namespace objects {
constexpr int kCamera = 0;
constexpr int kHudSprite = 0;
constexpr int kSelectionNode = 1001;
constexpr int kSelectionFirstEntity = 1003;  // 1003..1008: +Y, -Y, -X, +X, +Z, -Z
constexpr int kHoverFirstEntity = 1004;      // hover index 0..4 -> entity 1004 + index
constexpr int kSelectionPickMask = 2;        // the ray casts of the navigation find only the cube's faces
constexpr int kToolMaterial = 1001;
constexpr int kToolActiveMaterial = 1002;
constexpr int kBorderTexture = 999;
constexpr int kMarkerMaterial = 1010;
constexpr int kMarkerMesh = 306;
constexpr int kImportProgressWindow = 10;
}  // namespace objects

// A confirmed marker area: a column over the whole world height that the chunk count reads.
struct MarkerArea {
  float x = 0, y = 0, z = 0;  // box centre
  int32_t sizeX = 0, sizeY = 0, sizeZ = 0;  // blocks
  int32_t entity = 0;  // the engine entity that shows it
};

// Mouse, drag and per-pass movement state of the navigation (main thread only).
struct NavigationState {
  int InteractionMode = kModeBrowse;
  bool MouseCaptured = false;
  int ClickMouseX = 0, ClickMouseY = 0;
  int PickedEntity = 0;
  int64_t PickNormalX = 0, PickNormalZ = 0;
  int64_t DragAxisX = 0, DragAxisZ = 0;
  int DragSpeed = 0;
  int BoxDragStep = 0;
  int DragSnapToBlocks = 0;
  int64_t DragAccumX = 0, DragAccumY = 0;
  int DragWheelSteps = 0;
  int CubeHoverShown = 0;
  int64_t CubeDistance = 0;
  // Per-pass movement values, reset at the end of every pass.
  float MouseMoveX = 0, MouseMoveY = 0, WheelMove = 0;
  float LookTurnX = 0, LookTurnY = 0, LookPanX = 0, LookPanY = 0;
  float MoveSpeedX = 0, MoveSpeedZ = 0;
  int MouseWheelSteps = 0;

  std::vector<MarkerArea> MarkerList;

  void ResetPassMovement() {
    MouseMoveX = MouseMoveY = WheelMove = 0;
    LookTurnX = LookTurnY = LookPanX = LookPanY = 0;
    MoveSpeedX = MoveSpeedZ = 0;
  }
};

// State of the main loop's passes (main thread only).
struct MainLoopState {
  int MeshSlot = 0;
  int MeshCacheReset = 1;
  int64_t HudRefreshTime = 0;
  world::ChunkLocation CameraChunk;
  int PreviewRebuildPending = 0;
  int PreviewGeometry = 0;
  int PreviewLastType = -1;
  int64_t PreviewLastCustomId = -1;
  uint64_t ModalsClosedSeen = 0;  // the GUI's count of closed boxes and requesters at the last pass
};

}  // namespace orelens::viewer
