#include "viewer/navigation.h"

#include <cmath>
#include <cstdlib>

#include "platform/input/input.h"
#include "viewer/hud_overlay.h"
#include "viewer/navigation_math.h"
#include "viewer/program_context.h"
#include "viewer/selection_cube.h"

namespace orelens::viewer {

namespace {

using namespace platform;  // DIK_ key names

constexpr int kPickMask = objects::kSelectionPickMask;
constexpr float kSlowSpeed = 0.15f;
constexpr float kFastSpeed = 1.0f;
constexpr float kLookFactor = -0.2f;

struct NodePosition {
  float x, y, z;
};

NodePosition SelectionNodePosition(Engine3D& engine) {
  return {engine.PBO_NodeX(objects::kSelectionNode), engine.PBO_NodeY(objects::kSelectionNode),
          engine.PBO_NodeZ(objects::kSelectionNode)};
}

void MoveSelectionNode(Engine3D& engine, double x, double y, double z) {
  engine.PBO_MoveNode2(objects::kSelectionNode, static_cast<float>(x), static_cast<float>(y),
                       static_cast<float>(z), 1);
}

int64_t CameraToSelectionDistance(Engine3D& engine) {
  const NodePosition node = SelectionNodePosition(engine);
  return DistanceToPoint(engine.PBO_CameraX(objects::kCamera), engine.PBO_CameraY(objects::kCamera),
                         engine.PBO_CameraZ(objects::kCamera), static_cast<double>(NearestEven(node.x)),
                         static_cast<double>(NearestEven(node.y)), static_cast<double>(NearestEven(node.z)));
}

bool InRange(double value, double low, double high) { return value >= low && value <= high; }

// A held side face of the box follows the mouse: whole steps of DragSpeed counts move or (with
// left Shift) resize the box; the wheel moves it along the face's normal.
void DragSelectionCube(ProgramContext& ctx) {
  NavigationState& nav = ctx.nav;
  Engine3D& engine = ctx.engine();
  const bool shift = ctx.input().KeyDown(DIK_LSHIFT);
  const double s = nav.BoxDragStep, h = nav.DragSnapToBlocks;
  const double aX = static_cast<double>(nav.DragAxisX), aZ = static_cast<double>(nav.DragAxisZ);
  const bool resizable = nav.InteractionMode == kModeSaveBox || nav.InteractionMode == kModeMarker;

  nav.DragAccumY = NearestEven(static_cast<double>(nav.DragAccumY) + nav.MouseMoveY);
  nav.DragAccumX = NearestEven(static_cast<double>(nav.DragAccumX) + nav.MouseMoveX);
  nav.DragWheelSteps = nav.MouseWheelSteps;

  if (nav.DragSpeed > 0 && (std::llabs(nav.DragAccumX) > nav.DragSpeed || std::llabs(nav.DragAccumY) > nav.DragSpeed)) {
    const double n = static_cast<double>(nav.DragAccumX / nav.DragSpeed);
    const double m = static_cast<double>(nav.DragAccumY / nav.DragSpeed);
    if (shift) {
      if (resizable) {
        CubeSize size = SelectionCubeSize(engine);
        const double newX = size.x - std::fabs(aZ) * s * n, newZ = size.z - std::fabs(aX) * s * n;
        if (InRange(newX, s, 255 * s) && InRange(newZ, s, 255 * s)) {
          ScaleSelectionCube(engine, static_cast<float>(newX), size.y, static_cast<float>(newZ), 0);
          MoveSelectionNode(engine, aZ * 0.25 * s * n, 0, -aX * 0.25 * s * n);
        }
        size = SelectionCubeSize(engine);
        const double newY = size.y - h * m;
        if (newY >= h) {
          ScaleSelectionCube(engine, size.x, static_cast<float>(newY), size.z, 0);
          MoveSelectionNode(engine, 0, -0.25 * h * m, 0);
        }
      }
    } else {
      MoveSelectionNode(engine, aZ * 0.5 * s * n, 0, -aX * 0.5 * s * n);
      const CubeSize size = SelectionCubeSize(engine);
      const double bottom = engine.PBO_NodeY(objects::kSelectionNode) - size.y / 4.0 - h * 0.5 * m;
      if (bottom >= 0 && bottom <= 800) MoveSelectionNode(engine, 0, -0.5 * h * m, 0);
    }
    nav.DragAccumX = nav.DragAccumY = 0;
  }

  const double w = nav.DragWheelSteps;
  if (w != 0) {
    if (shift) {
      if (resizable) {
        const CubeSize size = SelectionCubeSize(engine);
        const double newX = size.x - aX * s * w, newZ = size.z + aZ * s * w;
        if (InRange(newX, s, 255 * s) && InRange(newZ, s, 255 * s)) {
          ScaleSelectionCube(engine, static_cast<float>(newX), size.y, static_cast<float>(newZ), 0);
          MoveSelectionNode(engine, -0.25 * s * w * aX, 0, -0.25 * s * w * aZ);
        }
      }
    } else {
      MoveSelectionNode(engine, -0.5 * s * w * aX, 0, -0.5 * s * w * aZ);
    }
  }
}

void HoverHighlight(ProgramContext& ctx) {
  NavigationState& nav = ctx.nav;
  Engine3D& engine = ctx.engine();
  Input& input = ctx.input();
  const int hit = engine.PBO_MouseRayCast(objects::kCamera, input.WindowMouseX(), input.WindowMouseY(), kPickMask);
  const int tool = engine.PBO_MaterialID(objects::kToolMaterial);
  if (hit > 0) {
    const int index = HoverIndexForNormal(NearestEven(engine.PBO_NormalX()), NearestEven(engine.PBO_NormalZ()));
    if (index != nav.CubeHoverShown) {
      engine.PBO_SetEntityMaterial(objects::kHoverFirstEntity + nav.CubeHoverShown, tool);
      nav.CubeHoverShown = index;
      engine.PBO_SetEntityMaterial(objects::kHoverFirstEntity + index,
                                   engine.PBO_MaterialID(objects::kToolActiveMaterial));
    }
  } else {
    if (nav.CubeHoverShown != 0) engine.PBO_SetEntityMaterial(objects::kHoverFirstEntity + nav.CubeHoverShown, tool);
    nav.CubeHoverShown = 0;
  }
}

void LeaveEditingMode(ProgramContext& ctx) {
  ctx.nav.InteractionMode = kModeBrowse;
  HideSelectionCube(ctx.engine(), 1);
}

void SaveSelectedBox(ProgramContext& ctx) {
  ctx.gui().HandlePendingEvents();  // drops them: a menu choice now would act on a half-saved box
  const NodePosition node = SelectionNodePosition(ctx.engine());
  const CubeSize size = SelectionCubeSize(ctx.engine());
  const bool saved = ctx.SaveSelectionAsSchematic(node.x, node.y, node.z, static_cast<int>(std::floor(size.x)),
                                                  static_cast<int>(std::floor(size.y)),
                                                  static_cast<int>(std::floor(size.z)));
  if (saved) LeaveEditingMode(ctx);
}

void MovePreviewToSelection(ProgramContext& ctx) {
  const NodePosition node = SelectionNodePosition(ctx.engine());
  auto& placement = ctx.InsertPlacement();
  placement.originX = node.x - (placement.sizeX - 1) / 4.0f;
  placement.originY = node.y - (placement.sizeHeight - 1) / 4.0f;
  placement.originZ = node.z - (placement.sizeZ - 1) / 4.0f;
  ctx.loop.PreviewRebuildPending = 1;
}

void ConfirmMarker(ProgramContext& ctx) {
  Engine3D& engine = ctx.engine();
  const NodePosition node = SelectionNodePosition(engine);
  const CubeSize size = SelectionCubeSize(engine);
  MarkerArea marker;
  marker.sizeX = static_cast<int32_t>(NearestEven(size.x));
  marker.sizeY = static_cast<int32_t>(NearestEven(size.y));
  marker.sizeZ = static_cast<int32_t>(NearestEven(size.z));
  marker.x = node.x;
  marker.y = node.y;
  marker.z = node.z;
  marker.entity = engine.PBO_CreateEntity3(-1, engine.PBO_MeshID(objects::kMarkerMesh),
                                           engine.PBO_MaterialID(objects::kMarkerMaterial), node.x, 200.0f, node.z);
  if (marker.entity != 0)
    engine.PBO_ScaleEntity2(marker.entity, static_cast<float>(marker.sizeX), 800.0f,
                            static_cast<float>(marker.sizeZ), 0);
  ctx.nav.MarkerList.push_back(marker);
  LeaveEditingMode(ctx);
}

void InjectPlacedSchematic(ProgramContext& ctx) {
  const auto& placement = ctx.InsertPlacement();
  ctx.InjectSchematic(placement.originX + (placement.sizeX - 1) / 4.0f,
                      placement.originY + (placement.sizeHeight - 1) / 4.0f,
                      placement.originZ + (placement.sizeZ - 1) / 4.0f);
  LeaveEditingMode(ctx);
  DropSchematicPreview(ctx);
}

void HandleKeys(ProgramContext& ctx) {
  NavigationState& nav = ctx.nav;
  Engine3D& engine = ctx.engine();
  Input& input = ctx.input();
  const bool fast = input.KeyDown(DIK_LSHIFT);
  const float speed = fast ? kFastSpeed : kSlowSpeed;

  if (input.KeyDown(DIK_A) || input.KeyDown(DIK_LEFT)) nav.MoveSpeedX = -speed;
  else if (input.KeyDown(DIK_D) || input.KeyDown(DIK_RIGHT)) nav.MoveSpeedX = speed;

  if (input.KeyDown(DIK_W)) {
    nav.MoveSpeedZ = -speed;
  } else if (input.KeyDown(DIK_S)) {
    if (fast) {
      nav.MoveSpeedZ = kFastSpeed;
    } else if (nav.InteractionMode == kModeInsertSchematic && input.KeyDown(DIK_LCONTROL)) {
      nav.MoveSpeedZ = 0;
      InjectPlacedSchematic(ctx);
    } else {
      nav.MoveSpeedZ = kSlowSpeed;
    }
  }

  if (input.KeyDown(DIK_UP) || input.KeyDown(DIK_R) || input.KeyDown(DIK_E)) nav.LookPanY = speed;
  else if (input.KeyDown(DIK_DOWN) || input.KeyDown(DIK_F)) nav.LookPanY = -speed;

  engine.PBO_RotateCamera2(objects::kCamera, nav.LookTurnY, nav.LookTurnX, 0, 1);

  if (nav.InteractionMode == kModeSaveBox && (nav.MoveSpeedZ != 0 || nav.WheelMove != 0)) {
    // Once nearer than 5 units the camera gets no nearer to the box along its own z axis.
    nav.CubeDistance = CameraToSelectionDistance(engine);
    const float step = nav.MoveSpeedZ + nav.WheelMove;
    engine.PBO_MoveCamera(objects::kCamera, 0, 0, step);
    if (nav.CubeDistance < 5 && CameraToSelectionDistance(engine) < nav.CubeDistance)
      engine.PBO_MoveCamera(objects::kCamera, 0, 0, -step);
    nav.MoveSpeedZ = nav.WheelMove = 0;
  }
  engine.PBO_MoveCamera(objects::kCamera, nav.MoveSpeedX + nav.LookPanX, nav.LookPanY, nav.MoveSpeedZ + nav.WheelMove);

  switch (nav.InteractionMode) {
    case kModeSaveBox:
      engine.PBO_CameraFollow(objects::kCamera, engine.PBO_NodeID(objects::kSelectionNode), 0, 0, 0.01f, 0.01f, 0);
      if (input.KeyReleased(DIK_RETURN)) SaveSelectedBox(ctx);
      break;
    case kModeInsertSchematic:
      if (input.KeyReleased(DIK_RETURN)) MovePreviewToSelection(ctx);
      break;
    case kModeMarker:
      if (input.KeyReleased(DIK_RETURN)) ConfirmMarker(ctx);
      break;
    default:
      break;
  }

  if (input.KeyReleased(DIK_ESCAPE)) {
    if (nav.InteractionMode != kModeBrowse) {
      LeaveEditingMode(ctx);
      DropSchematicPreview(ctx);
    }
    input.KeepReleaseForNextPass(DIK_P);  // P is not looked at in this pass: its release counts next pass
  } else if (input.KeyReleased(DIK_P)) {
    ctx.SetChunkLoadingPaused(!ctx.ChunkLoadingPaused());
    DrawHudText(ctx, nav.InteractionMode, ctx.loop.CameraChunk.chunkId);
  }
}

}  // namespace

void DropSchematicPreview(ProgramContext& ctx) {
  Engine3D& engine = ctx.engine();
  if (engine.PBO_IsStaticGeometry(ctx.loop.PreviewGeometry)) {
    engine.PBO_WorldShadows(ctx.settings.ShadowMode);
    engine.PBO_FreeStaticGeometry(ctx.loop.PreviewGeometry);
  }
}

void HandleMousePress(ProgramContext& ctx) {
  NavigationState& nav = ctx.nav;
  Input& input = ctx.input();
  Engine3D& engine = ctx.engine();
  if (!input.IsMouseButtonDown(1) || nav.MouseCaptured) return;

  nav.ClickMouseX = input.WindowMouseX();
  nav.ClickMouseY = input.WindowMouseY();
  if (nav.ClickMouseX <= 0 || nav.ClickMouseY <= 0) return;
  input.CaptureMouse(true);
  nav.MouseCaptured = true;
  if (!input.ExamineMouse()) return;
  (void)input.MouseDeltaX();  // movement and wheel of the press itself are dropped
  (void)input.MouseDeltaY();
  (void)input.MouseWheel();

  nav.PickedEntity = engine.PBO_MouseRayCast(objects::kCamera, nav.ClickMouseX, nav.ClickMouseY, kPickMask);
  if (nav.PickedEntity > 0 && nav.InteractionMode != kModeBrowse) {
    nav.PickNormalX = NearestEven(engine.PBO_NormalX());
    nav.PickNormalZ = NearestEven(engine.PBO_NormalZ());
    const int halved = static_cast<int>(CameraToSelectionDistance(engine) / 2);
    nav.DragSpeed = DragSpeedForDistance(halved);
    nav.DragAxisX = nav.PickNormalX;
    nav.DragAxisZ = nav.PickNormalZ;
    if (nav.InteractionMode == kModeSaveBox || nav.InteractionMode == kModeInsertSchematic) {
      nav.BoxDragStep = 1;
      nav.DragSnapToBlocks = 1;
    } else if (nav.InteractionMode == kModeMarker) {
      nav.BoxDragStep = 32;
      nav.DragSnapToBlocks = 0;
      nav.DragSpeed = nav.DragSpeed * 32 / 2;
    } else {
      nav.BoxDragStep = 0;
    }
  } else {
    nav.DragAxisX = nav.DragAxisZ = 0;
    nav.DragAccumX = nav.DragAccumY = 0;
  }
}

void HandleMouseAndKeys(ProgramContext& ctx) {
  NavigationState& nav = ctx.nav;
  Input& input = ctx.input();
  if (input.ExamineMouse()) {
    nav.MouseMoveX = static_cast<float>(input.MouseDeltaX());
    nav.MouseMoveY = static_cast<float>(input.MouseDeltaY());
    nav.MouseWheelSteps = input.MouseWheel();
    if (!input.IsMouseButtonDown(1)) {
      input.CaptureMouse(false);
      nav.MouseCaptured = false;
      input.WarpPointerToClient(nav.ClickMouseX, nav.ClickMouseY);
    } else if (nav.DragAxisX != 0 || nav.DragAxisZ != 0) {
      DragSelectionCube(ctx);
    } else {
      nav.WheelMove = static_cast<float>(nav.MouseWheelSteps);
      if (nav.InteractionMode == kModeSaveBox) {
        nav.LookPanX = kLookFactor * nav.MouseMoveX;
        nav.LookPanY = kLookFactor * nav.MouseMoveY;
      } else {
        nav.LookTurnX = kLookFactor * nav.MouseMoveX;
        nav.LookTurnY = kLookFactor * nav.MouseMoveY;
      }
    }
  } else {
    HoverHighlight(ctx);
  }
  HandleKeys(ctx);
}

}  // namespace orelens::viewer
