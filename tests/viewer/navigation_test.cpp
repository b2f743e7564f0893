#include "viewer/navigation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <glm/glm.hpp>

#include "fixtures/schematic_writer.h"
#include "platform/engine3d/scene.h"
#include "viewer/menu_commands.h"
#include "viewer/menu_ids.h"
#include "viewer/program_main.h"
#include "viewer/selection_cube.h"
#include "viewer/viewer_test_rig.h"

namespace orelens::viewer {
namespace {

using testing::ViewerRig;

// One pass of the devices, built step by step.
struct PassWith : platform::InputPass {
  PassWith& KeysHeld(std::vector<int> keys) { keysHeld = std::move(keys); return *this; }
  PassWith& LeftButton(bool down) { leftButton = down; return *this; }
  PassWith& MoveX(int counts) { moveX = counts; return *this; }
  PassWith& MoveY(int counts) { moveY = counts; return *this; }
  PassWith& Wheel(int steps) { wheel = steps; return *this; }
  PassWith& Pointer(std::pair<int, int> at) { pointer = at; return *this; }
};

class NavigationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.MakeWorld("Alpha", 5);
    rig.WritePreferences("Alpha");
    ASSERT_TRUE(rig.StartPaused());
    centreX = rig.gui.WindowInnerWidth(0) / 2;
    centreY = rig.gui.WindowInnerHeight(0) / 2;
  }
  void TearDown() override { ShutDown(rig.ctx()); }

  platform::Engine3D& engine() { return rig.engine(); }
  float NodeX() { return engine().PBO_NodeX(1001); }
  float NodeY() { return engine().PBO_NodeY(1001); }
  float NodeZ() { return engine().PBO_NodeZ(1001); }

  // Puts the camera `distance` units in front of the box's -X face, looking at the box.
  void LookAtMinusXFace(float distance) {
    engine().PBO_MoveCamera2(0, NodeX() - distance, NodeY(), NodeZ(), 0);
    engine().PBO_CameraLookAt(0, NodeX(), NodeY(), NodeZ());
  }
  // Presses the left button on the middle of the view and keeps it held.
  void PressAtCentre() {
    rig.input.QueuePass(PassWith().LeftButton(true).Pointer(std::make_pair(centreX, centreY)));
    rig.Pass();
  }
  void DragBy(int dx, int dy, std::vector<int> keys = {}) {
    rig.input.QueuePass(PassWith().KeysHeld(std::move(keys)).LeftButton(true).MoveX(dx).MoveY(dy));
    rig.Pass();
  }
  // Holds keys for one pass, lets them go in the next: a key acts when it is released.
  void Tap(std::vector<int> keys) {
    rig.input.QueuePass(PassWith().KeysHeld(std::move(keys)));
    rig.input.QueuePass(PassWith());
    rig.Pass(2);
  }
  void Release() {
    rig.input.QueuePass(PassWith());
    rig.Pass();
  }

  ViewerRig rig;
  int centreX = 0, centreY = 0;
};

TEST_F(NavigationTest, BrowsingDragTurnsTheCameraAndThePointerReturnsOnRelease) {
  const float before = engine().PBO_CameraDirectionZ(0);
  rig.input.QueuePass(PassWith().LeftButton(true).Pointer(std::make_pair(200, 150)));
  rig.Pass();
  EXPECT_TRUE(rig.input.IsCaptured());
  DragBy(100, 0);
  EXPECT_GT(std::fabs(engine().PBO_CameraDirectionZ(0) - before), 0.3f);  // 20 degrees
  Release();
  EXPECT_FALSE(rig.input.IsCaptured());
  ASSERT_FALSE(rig.input.Warps().empty());
  EXPECT_EQ(rig.input.Warps().back(), std::make_pair(200, 150));
}

TEST_F(NavigationTest, PressOnTheFirstPixelRowOrColumnDoesNotCapture) {
  for (const auto& at : {std::make_pair(0, 150), std::make_pair(150, 0), std::make_pair(-1, -1)}) {
    rig.input.QueuePass(PassWith().LeftButton(true).Pointer(at));
    rig.Pass();
    EXPECT_FALSE(rig.input.IsCaptured()) << at.first << "," << at.second;
    Release();
  }
  rig.input.QueuePass(PassWith().LeftButton(true).Pointer(std::make_pair(1, 1)));
  rig.Pass();
  EXPECT_TRUE(rig.input.IsCaptured());
}

TEST_F(NavigationTest, HeldSideFaceMovesTheBoxInWholeStepsAndDropsTheRemainder) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  ASSERT_EQ(rig.ctx().nav.InteractionMode, kModeSaveBox);
  LookAtMinusXFace(4.0f);
  PressAtCentre();
  auto& nav = rig.ctx().nav;
  ASSERT_GT(nav.PickedEntity, 0);
  EXPECT_EQ(nav.DragAxisX, -1);
  EXPECT_EQ(nav.DragAxisZ, 0);
  EXPECT_EQ(nav.DragSpeed, 50);  // distance 4, halved 2

  const float x = NodeX(), y = NodeY(), z = NodeZ();
  DragBy(120, 0);  // 2 steps of 50; 20 counts dropped
  EXPECT_FLOAT_EQ(NodeZ(), z + 1.0f);
  EXPECT_FLOAT_EQ(NodeX(), x);
  DragBy(40, 0);  // below one step: nothing yet
  EXPECT_FLOAT_EQ(NodeZ(), z + 1.0f);
  DragBy(0, 110);  // down by two blocks
  EXPECT_FLOAT_EQ(NodeY(), y - 1.0f);

  rig.input.QueuePass(PassWith().LeftButton(true).Wheel(1));
  rig.Pass();
  EXPECT_FLOAT_EQ(NodeX(), x + 0.5f);  // along the held face's normal, away from it
}

// A held +Z face: a horizontal drag moves the box along X, the wheel along Z.
TEST_F(NavigationTest, AHeldZFaceMovesTheBoxAlongX) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  engine().PBO_MoveCamera2(0, NodeX(), NodeY(), NodeZ() + 4.0f, 0);
  engine().PBO_CameraLookAt(0, NodeX(), NodeY(), NodeZ());
  PressAtCentre();
  EXPECT_EQ(rig.ctx().nav.DragAxisX, 0);
  EXPECT_EQ(rig.ctx().nav.DragAxisZ, 1);
  const float x = NodeX(), z = NodeZ();
  DragBy(120, 0);
  EXPECT_FLOAT_EQ(NodeX(), x + 1.0f);
  EXPECT_FLOAT_EQ(NodeZ(), z);
  rig.input.QueuePass(PassWith().LeftButton(true).Wheel(1));
  rig.Pass();
  EXPECT_FLOAT_EQ(NodeZ(), z - 0.5f);
}

// Slow drags move the box too: the counts of several passes gather until they make a whole
// step. A press on nothing starts the next drag of a face from zero again.
TEST_F(NavigationTest, SmallMovesGatherIntoStepsUntilAPressOnNothing) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  LookAtMinusXFace(4.0f);
  PressAtCentre();
  ASSERT_EQ(rig.ctx().nav.DragSpeed, 50);
  const float z = NodeZ();
  DragBy(20, 0);
  DragBy(20, 0);
  EXPECT_FLOAT_EQ(NodeZ(), z);
  DragBy(20, 0);  // 60 counts: one step, the rest dropped
  EXPECT_FLOAT_EQ(NodeZ(), z + 0.5f);
  DragBy(50, 0);  // a step takes more than DragSpeed counts
  EXPECT_FLOAT_EQ(NodeZ(), z + 0.5f);
  DragBy(1, 0);
  EXPECT_FLOAT_EQ(NodeZ(), z + 1.0f);
  const float y = NodeY();
  DragBy(0, -50);
  EXPECT_FLOAT_EQ(NodeY(), y);
  DragBy(0, -1);
  EXPECT_FLOAT_EQ(NodeY(), y + 0.5f);
  DragBy(40, 0);  // 40 counts left over
  Release();

  rig.input.QueuePass(PassWith().LeftButton(true).Pointer(std::make_pair(5, 5)));  // beside the box
  rig.Pass();
  EXPECT_EQ(rig.ctx().nav.PickedEntity, 0);
  const glm::vec3 camera(engine().PBO_CameraX(0), engine().PBO_CameraY(0), engine().PBO_CameraZ(0));
  DragBy(100, 0);  // shifts the camera: the face held before is let go
  const glm::vec3 shifted(engine().PBO_CameraX(0), engine().PBO_CameraY(0), engine().PBO_CameraZ(0));
  EXPECT_GT(glm::length(shifted - camera), 10.0f);
  EXPECT_FLOAT_EQ(NodeZ(), z + 1.0f);
  Release();
  LookAtMinusXFace(4.0f);
  PressAtCentre();
  ASSERT_GT(rig.ctx().nav.PickedEntity, 0);
  ASSERT_EQ(rig.ctx().nav.DragSpeed, 50);
  DragBy(20, 0);  // 20, not 60: no step
  DragBy(30, 0);  // 50 counts from zero: no step yet either
  EXPECT_FLOAT_EQ(NodeZ(), z + 1.0f);
  DragBy(1, 0);
  EXPECT_FLOAT_EQ(NodeZ(), z + 1.5f);
}

// While browsing, a drag turns the camera even when it starts on the box (shown here, as no
// menu command leaves it shown in browse mode).
TEST_F(NavigationTest, ABrowsingPressOnTheBoxTurnsTheCamera) {
  HideSelectionCube(engine(), 0);
  LookAtMinusXFace(4.0f);
  PressAtCentre();
  EXPECT_GT(rig.ctx().nav.PickedEntity, 0);
  EXPECT_EQ(rig.ctx().nav.DragAxisX, 0);
  const float direction = engine().PBO_CameraDirectionZ(0), z = NodeZ();
  DragBy(100, 0);
  EXPECT_GT(std::fabs(engine().PBO_CameraDirectionZ(0) - direction), 0.3f);
  EXPECT_FLOAT_EQ(NodeZ(), z);
}

TEST_F(NavigationTest, ShiftDragResizesWithinOneTo255Steps) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  LookAtMinusXFace(4.0f);
  PressAtCentre();
  const float z = NodeZ();
  DragBy(120, 0, {platform::DIK_LSHIFT});  // depth 3.01 - 2 = 1.01
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).z, 1.01f);
  EXPECT_FLOAT_EQ(NodeZ(), z + 0.5f);
  DragBy(120, 0, {platform::DIK_LSHIFT});  // -0.99: refused
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).z, 1.01f);
  EXPECT_FLOAT_EQ(NodeZ(), z + 0.5f);
}

TEST_F(NavigationTest, HoveringASideFaceHighlightsIt) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  LookAtMinusXFace(4.0f);
  rig.input.QueuePass(PassWith().Pointer(std::make_pair(centreX, centreY)));
  rig.Pass();
  const auto& scene = engine().GetScene();
  EXPECT_EQ(rig.ctx().nav.CubeHoverShown, 1);
  EXPECT_NE(scene.entities.Find(1005)->materialKey, scene.entities.Find(1006)->materialKey);
  // Off the box: the face goes back to the plain tool material.
  rig.input.QueuePass(PassWith().Pointer(std::make_pair(5, 5)));
  rig.Pass();
  EXPECT_EQ(rig.ctx().nav.CubeHoverShown, 0);
  EXPECT_EQ(scene.entities.Find(1005)->materialKey, scene.entities.Find(1006)->materialKey);
}

TEST_F(NavigationTest, KeysFlyAtSlowAndFastSpeedsPerPass) {
  const float y = engine().PBO_CameraY(0);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_E}));
  rig.Pass();
  EXPECT_NEAR(engine().PBO_CameraY(0), y + 0.15f, 1e-4);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_E, platform::DIK_LSHIFT}));
  rig.Pass();
  EXPECT_NEAR(engine().PBO_CameraY(0), y + 1.15f, 1e-4);

  // Without the keyboard nothing moves.
  rig.input.SetKeyboardAcquired(false);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_E}));
  rig.Pass();
  EXPECT_NEAR(engine().PBO_CameraY(0), y + 1.15f, 1e-4);
}

// Where one pass holding `keys` moves the camera, from where it stands.
glm::vec3 CameraStep(ViewerRig& rig, std::vector<int> keys) {
  auto& engine = rig.engine();
  const glm::vec3 before(engine.PBO_CameraX(0), engine.PBO_CameraY(0), engine.PBO_CameraZ(0));
  rig.input.QueuePass(PassWith().KeysHeld(std::move(keys)));
  rig.Pass();
  return glm::vec3(engine.PBO_CameraX(0), engine.PBO_CameraY(0), engine.PBO_CameraZ(0)) - before;
}

void ExpectStep(glm::vec3 step, glm::vec3 expected, const char* keys) {
  EXPECT_NEAR(step.x, expected.x, 1e-4) << keys;
  EXPECT_NEAR(step.y, expected.y, 1e-4) << keys;
  EXPECT_NEAR(step.z, expected.z, 1e-4) << keys;
}

TEST_F(NavigationTest, EveryFlyingKeyMovesAlongTheCamerasOwnAxes) {
  using namespace platform;
  // The start view looks along +X: the camera's right is +Z, its up is +Y.
  ExpectStep(CameraStep(rig, {DIK_W}), {0.15f, 0, 0}, "W");
  ExpectStep(CameraStep(rig, {DIK_S}), {-0.15f, 0, 0}, "S");
  ExpectStep(CameraStep(rig, {DIK_A}), {0, 0, -0.15f}, "A");
  ExpectStep(CameraStep(rig, {DIK_LEFT}), {0, 0, -0.15f}, "Left");
  ExpectStep(CameraStep(rig, {DIK_D}), {0, 0, 0.15f}, "D");
  ExpectStep(CameraStep(rig, {DIK_RIGHT}), {0, 0, 0.15f}, "Right");
  ExpectStep(CameraStep(rig, {DIK_R}), {0, 0.15f, 0}, "R");
  ExpectStep(CameraStep(rig, {DIK_UP}), {0, 0.15f, 0}, "Up");
  ExpectStep(CameraStep(rig, {DIK_E}), {0, 0.15f, 0}, "E");
  ExpectStep(CameraStep(rig, {DIK_F}), {0, -0.15f, 0}, "F");
  ExpectStep(CameraStep(rig, {DIK_DOWN}), {0, -0.15f, 0}, "Down");
  ExpectStep(CameraStep(rig, {DIK_A, DIK_LSHIFT}), {0, 0, -1.0f}, "Shift+A");
  ExpectStep(CameraStep(rig, {DIK_RIGHT, DIK_LSHIFT}), {0, 0, 1.0f}, "Shift+Right");
  ExpectStep(CameraStep(rig, {DIK_DOWN, DIK_LSHIFT}), {0, -1.0f, 0}, "Shift+Down");
  // One direction per axis: A wins over D, W over S, the up keys over the down keys.
  ExpectStep(CameraStep(rig, {DIK_A, DIK_D, DIK_W, DIK_S, DIK_R, DIK_F}), {0.15f, 0.15f, -0.15f}, "all");
}

TEST_F(NavigationTest, CtrlSOutsideInsertionBacksOffSlowlyAndShiftCtrlSNeverInjects) {
  using namespace platform;
  ExpectStep(CameraStep(rig, {DIK_LCONTROL, DIK_S}), {-0.15f, 0, 0}, "Ctrl+S, browsing");
  HandleMenuEvent(rig.ctx(), kMenuAddMarker);
  ExpectStep(CameraStep(rig, {DIK_LCONTROL, DIK_S}), {-0.15f, 0, 0}, "Ctrl+S, marker mode");
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeMarker);
  Release();

  const std::string file = rig.workingFolder + "one.kvSch";
  fixtures::WriteSchematicFile(file, fixtures::SchematicSpec::Filled(1, 1, 1, 1));
  rig.gui.QueueFileAnswer(file);
  HandleMenuEvent(rig.ctx(), kMenuLoadSchematic);
  ASSERT_EQ(rig.ctx().nav.InteractionMode, kModeInsertSchematic);
  rig.Pass();
  const auto database = fixtures::ReadFileBytes(rig.saveFolder + "Alpha/chunkdata.sqlite");
  ExpectStep(CameraStep(rig, {DIK_LSHIFT, DIK_LCONTROL, DIK_S}), {-1.0f, 0, 0}, "Shift+Ctrl+S, inserting");
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeInsertSchematic);
  EXPECT_TRUE(engine().PBO_IsStaticGeometry(rig.ctx().loop.PreviewGeometry));
  EXPECT_EQ(fixtures::ReadFileBytes(rig.saveFolder + "Alpha/chunkdata.sqlite"), database);
}

TEST_F(NavigationTest, SaveBoxDragOffTheBoxShiftsTheCameraInsteadOfTurningIt) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  engine().PBO_MoveNode2(1001, 500, 500, 500, 0);  // the box far out of sight
  engine().PBO_MoveCamera2(0, 0, 20, 0, 0);
  engine().PBO_CameraLookAt(0, 10, 20, 0);
  PressAtCentre();
  ASSERT_EQ(rig.ctx().nav.DragAxisX, 0);
  DragBy(100, 0);
  // 0.2 units per count to the left (the camera's right is +Z); the view turns only by the
  // camera's slow follow of the box.
  EXPECT_NEAR(engine().PBO_CameraX(0), 0.0f, 0.5f);
  EXPECT_NEAR(engine().PBO_CameraZ(0), -20.0f, 0.05f);
  EXPECT_NEAR(engine().PBO_CameraY(0), 20.0f, 0.5f);
  EXPECT_GT(engine().PBO_CameraDirectionX(0), 0.99f);
}

TEST_F(NavigationTest, MarkerBoxMovesIn32BlockStepsAndIgnoresVerticalDrags) {
  HandleMenuEvent(rig.ctx(), kMenuAddMarker);
  LookAtMinusXFace(12.0f);  // 12 units from the centre, halved 6: 10 counts, times 32 / 2
  PressAtCentre();
  auto& nav = rig.ctx().nav;
  ASSERT_GT(nav.PickedEntity, 0);
  EXPECT_EQ(nav.DragSpeed, 160);
  EXPECT_EQ(nav.BoxDragStep, 32);
  EXPECT_EQ(nav.DragSnapToBlocks, 0);
  const float x = NodeX(), y = NodeY(), z = NodeZ();
  DragBy(330, 0);  // two steps of 32 blocks, 16 units each
  EXPECT_FLOAT_EQ(NodeZ(), z + 32.0f);
  EXPECT_FLOAT_EQ(NodeX(), x);
  DragBy(0, 400);  // vertical: neither moves nor resizes
  EXPECT_FLOAT_EQ(NodeY(), y);
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).y, 200.01f);
  DragBy(0, -400, {platform::DIK_LSHIFT});
  EXPECT_FLOAT_EQ(NodeY(), y);
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).y, 200.01f);
  DragBy(-170, 0, {platform::DIK_LSHIFT});  // Shift: one step wider, 32 blocks
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).z, 64.01f);
}

TEST_F(NavigationTest, ShiftWheelResizesAlongTheHeldFacesNormal) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  LookAtMinusXFace(4.0f);
  PressAtCentre();
  const float x = NodeX(), y = NodeY(), z = NodeZ();
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_LSHIFT}).LeftButton(true).Wheel(1));
  rig.Pass();
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).x, 4.01f);
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).z, 3.01f);
  EXPECT_FLOAT_EQ(NodeX(), x + 0.25f);  // the -X face stays where it was
  EXPECT_FLOAT_EQ(NodeY(), y);
  EXPECT_FLOAT_EQ(NodeZ(), z);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_LSHIFT}).LeftButton(true).Wheel(-3));
  rig.Pass();
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine()).x, 1.01f);
  EXPECT_FLOAT_EQ(NodeX(), x - 0.5f);
}

TEST_F(NavigationTest, TheBoxBottomStaysWithinHeights0To800) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  const float halfHeight = 3.01f / 4;
  // Each drag is one block (0.5 units) up or down; `allowed` says whether the box may go.
  struct Case {
    float bottom;
    int dragY;
    bool allowed;
  };
  for (const Case& move :
       {Case{0.25f, 60, false}, Case{0.75f, 60, true}, Case{799.25f, -60, true}, Case{799.75f, -60, false}}) {
    engine().PBO_MoveNode2(1001, 4, move.bottom + halfHeight, 4, 0);
    LookAtMinusXFace(4.0f);
    PressAtCentre();
    ASSERT_EQ(rig.ctx().nav.DragSpeed, 50);
    DragBy(0, move.dragY);
    const float expected = move.bottom + halfHeight + (move.allowed ? (move.dragY > 0 ? -0.5f : 0.5f) : 0.0f);
    EXPECT_FLOAT_EQ(NodeY(), expected) << move.bottom;
    Release();
  }
}

TEST_F(NavigationTest, AClickOnAMarkerOrTheFaceTemplatesNeverGrabsTheBox) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  engine().PBO_MoveNode2(1001, 500, 500, 500, 0);  // the box far out of sight
  // A confirmed marker column right in front of the camera, and the templates at the origin.
  const int marker =
      engine().PBO_CreateEntity3(-1, engine().PBO_MeshID(306), engine().PBO_MaterialID(1010), 6, 200, 0);
  ASSERT_NE(marker, 0);
  engine().PBO_ScaleEntity2(marker, 2, 800, 32, 0);
  engine().PBO_MoveCamera2(0, 2, 20, 0, 0);
  engine().PBO_CameraLookAt(0, 10, 20, 0);
  PressAtCentre();
  EXPECT_EQ(rig.ctx().nav.PickedEntity, 0);
  EXPECT_EQ(rig.ctx().nav.DragAxisX, 0);
  DragBy(200, 0);
  EXPECT_FLOAT_EQ(NodeZ(), 500.0f);
  Release();

  engine().PBO_MoveCamera2(0, -3, 0.1f, 0.1f, 0);
  engine().PBO_CameraLookAt(0, 0, 0.1f, 0.1f);
  rig.input.QueuePass(PassWith().Pointer(std::make_pair(centreX, centreY)));
  rig.Pass();
  EXPECT_EQ(rig.ctx().nav.CubeHoverShown, 0);
}

TEST_F(NavigationTest, TheSaveBoxKeepsTheCameraFromComingNearerThanFiveUnits) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  LookAtMinusXFace(3.55f);  // distance 4 (rounded)
  const float x = engine().PBO_CameraX(0);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_W}));
  rig.Pass();
  EXPECT_NEAR(engine().PBO_CameraX(0), x, 1e-3);  // 3.40 would round to 3: moved back

  // At Shift speed from 5.4 units: one step to 4.4 (5 is not nearer than 5), then no further.
  LookAtMinusXFace(5.4f);
  const float far = engine().PBO_CameraX(0);
  ExpectStep(CameraStep(rig, {platform::DIK_W, platform::DIK_LSHIFT}), {1.0f, 0, 0}, "Shift+W at 5.4");
  ExpectStep(CameraStep(rig, {platform::DIK_W, platform::DIK_LSHIFT}), {0, 0, 0}, "Shift+W at 4.4");
  // The wheel, with the button held beside the box, is held back the same way; away it goes.
  rig.input.QueuePass(PassWith().LeftButton(true).Pointer(std::make_pair(5, 5)));
  rig.Pass();
  rig.input.QueuePass(PassWith().LeftButton(true).Wheel(-1));
  rig.Pass();
  EXPECT_NEAR(engine().PBO_CameraX(0), far + 1.0f, 1e-3);
  rig.input.QueuePass(PassWith().LeftButton(true).Wheel(2));
  rig.Pass();
  EXPECT_NEAR(engine().PBO_CameraX(0), far - 1.0f, 1e-3);
  Release();

  // Facing away from the box, backwards is towards it: held back too, at Shift speed and by the wheel.
  LookAtMinusXFace(4.4f);
  engine().PBO_CameraLookAt(0, NodeX() - 20, NodeY(), NodeZ());
  ExpectStep(CameraStep(rig, {platform::DIK_S, platform::DIK_LSHIFT}), {0, 0, 0}, "Shift+S towards the box");
  const float near = engine().PBO_CameraX(0);
  rig.input.QueuePass(PassWith().LeftButton(true).Pointer(std::make_pair(5, 5)));
  rig.Pass();
  rig.input.QueuePass(PassWith().LeftButton(true).Wheel(1));
  rig.Pass();
  EXPECT_NEAR(engine().PBO_CameraX(0), near, 1e-3);
  Release();

  // Browsing, nothing holds the camera back from where the (hidden) box stands.
  Tap({platform::DIK_ESCAPE});
  LookAtMinusXFace(3.55f);
  ExpectStep(CameraStep(rig, {platform::DIK_W}), {0.15f, 0, 0}, "W while browsing");
}

TEST_F(NavigationTest, EscapeLeavesTheModeAndPTogglesLoading) {
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_ESCAPE, platform::DIK_P}));
  rig.Pass();
  rig.input.QueuePass(PassWith());
  rig.Pass();  // Escape released: P is not looked at in this pass
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  EXPECT_TRUE(engine().GetScene().entities.Find(1003)->hidden);
  EXPECT_TRUE(rig.ctx().ChunkLoadingPaused());
  rig.Pass();
  EXPECT_FALSE(rig.ctx().ChunkLoadingPaused());  // P's release reported one pass later
}

// Return in the insertion mode moves the preview to where the box now stands; Escape leaves the
// mode and drops the preview, giving the shadows back.
TEST_F(NavigationTest, ReturnMovesThePreviewToTheBoxAndEscapeDropsIt) {
  HandleMenuEvent(rig.ctx(), kMenuShadowsSimple);
  const std::string file = rig.workingFolder + "slab.kvSch";
  fixtures::WriteSchematicFile(file, fixtures::SchematicSpec::Filled(2, 5, 3, 1));  // x 2, z 5, height 3
  rig.gui.QueueFileAnswer(file);
  HandleMenuEvent(rig.ctx(), kMenuLoadSchematic);
  ASSERT_EQ(rig.ctx().nav.InteractionMode, kModeInsertSchematic);
  rig.Pass();
  ASSERT_TRUE(engine().PBO_IsStaticGeometry(rig.ctx().loop.PreviewGeometry));
  EXPECT_EQ(engine().GetScene().world.shadows.mode, 0);  // off while the preview shows

  engine().PBO_MoveNode2(1001, 1.5f, 2.0f, -3.5f, 1);  // as a drag would
  Tap({platform::DIK_RETURN});
  const auto& placement = rig.ctx().InsertPlacement();
  EXPECT_FLOAT_EQ(placement.originX, NodeX() - 0.25f);
  EXPECT_FLOAT_EQ(placement.originY, NodeY() - 0.5f);
  EXPECT_FLOAT_EQ(placement.originZ, NodeZ() - 1.0f);
  EXPECT_EQ(rig.ctx().loop.PreviewRebuildPending, 1);  // built anew there on the next pass
  rig.Pass();
  EXPECT_EQ(rig.ctx().loop.PreviewRebuildPending, 0);

  Tap({platform::DIK_ESCAPE});
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  EXPECT_FALSE(engine().PBO_IsStaticGeometry(rig.ctx().loop.PreviewGeometry));
  EXPECT_EQ(engine().GetScene().world.shadows.mode, 1);
  EXPECT_TRUE(engine().GetScene().entities.Find(1003)->hidden);
}

TEST_F(NavigationTest, AReturnLetGoWhileNobodyAsksIsNotKeptForLater) {
  // Return released in browse mode (as after the Enter that confirms a file requester).
  Tap({platform::DIK_RETURN});
  HandleMenuEvent(rig.ctx(), kMenuAddMarker);
  rig.Pass(3);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeMarker);
  EXPECT_TRUE(rig.ctx().nav.MarkerList.empty());
  Tap({platform::DIK_RETURN});
  EXPECT_EQ(rig.ctx().nav.MarkerList.size(), 1u);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);  // a confirmed marker ends the mode
  EXPECT_TRUE(engine().GetScene().entities.Find(1003)->hidden);

  // Return held while the mode is left with Escape, let go in browse mode.
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_RETURN, platform::DIK_ESCAPE}));
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_RETURN}));
  rig.input.QueuePass(PassWith());
  rig.Pass(3);
  ASSERT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  const size_t requesters = rig.gui.Requesters().size();
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  rig.Pass(3);
  EXPECT_EQ(rig.gui.Requesters().size(), requesters) << "a stale Return opened the save requester";
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeSaveBox);
}

// A box acts on a key's press, so the key that answered it is still down when it closes; let go
// in the mode underneath, it must not act there. Here the count box of "Delete all marked chunks"
// closes in a pass with Return down, held on for a pass as a real keypress is.
TEST_F(NavigationTest, AReturnThatAnsweredABoxDoesNotActInTheModeUnderneath) {
  using platform::DIK_RETURN;
  const auto answerCountBoxWithReturn = [&] {
    rig.gui.QueueMenuEvent(kMenuCountMarkedChunks);
    rig.input.QueuePass(PassWith().KeysHeld({DIK_RETURN}));
    rig.input.QueuePass(PassWith().KeysHeld({DIK_RETURN}));
    rig.input.QueuePass(PassWith());
    rig.Pass(3);
    ASSERT_EQ(rig.LastMessage().title, "AffectedChunk");
  };
  // W held as the box comes up and through it: the camera stands still from the box's pass on,
  // until W is pressed anew.
  rig.gui.QueueNoEvent();
  rig.gui.QueueMenuEvent(kMenuCountMarkedChunks);
  const float x = engine().PBO_CameraX(0);
  for (int pass = 0; pass < 3; ++pass) rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_W}));
  rig.Pass(3);
  EXPECT_NEAR(engine().PBO_CameraX(0), x + 0.15f, 1e-4) << "W flew on after the box";
  ExpectStep(CameraStep(rig, {}), {0, 0, 0}, "W let go");
  ExpectStep(CameraStep(rig, {platform::DIK_W}), {0.15f, 0, 0}, "W pressed anew");

  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  answerCountBoxWithReturn();
  EXPECT_TRUE(rig.gui.Requesters().empty()) << "the save requester opened by itself";
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeSaveBox);
  rig.gui.QueueFileAnswer("");
  Tap({DIK_RETURN});  // pressed anew, Return is the mode's again
  EXPECT_EQ(rig.gui.Requesters().size(), 1u);

  HandleMenuEvent(rig.ctx(), kMenuAddMarker);
  answerCountBoxWithReturn();
  EXPECT_TRUE(rig.ctx().nav.MarkerList.empty()) << "the marker was placed by the box's Return";
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeMarker);
  Tap({DIK_RETURN});
  EXPECT_EQ(rig.ctx().nav.MarkerList.size(), 1u);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
}

// The save requester, opened by Return in the save-box mode and cancelled with Escape: the
// Escape, still down when the requester has gone, does not leave the mode when it is let go.
TEST_F(NavigationTest, AnEscapeThatCancelledTheSaveRequesterKeepsTheMode) {
  using platform::DIK_ESCAPE;
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_RETURN}));
  rig.Pass();
  // Return let go: the save drops the pending events (the second poll of the pass) and opens the
  // requester, which the person cancels with Escape.
  int polls = 0;
  rig.gui.SetPollHook([&](platform::ScriptedGui&) {
    if (++polls == 2) rig.input.HoldKey(DIK_ESCAPE);
  });
  rig.input.QueuePass(PassWith());
  rig.Pass();
  rig.gui.SetPollHook(nullptr);
  ASSERT_EQ(rig.gui.Requesters().size(), 1u);
  rig.input.QueuePass(PassWith().KeysHeld({DIK_ESCAPE}));
  rig.input.QueuePass(PassWith());
  rig.Pass(2);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeSaveBox);
  EXPECT_FALSE(engine().GetScene().entities.Find(1003)->hidden);
  Tap({DIK_ESCAPE});
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
}

TEST_F(NavigationTest, SaveLoadPlaceAndInjectASchematic) {
  // Save a 3 x 3 x 3 box: Return, then the file requester.
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  const std::string file = rig.workingFolder + "box";
  rig.gui.QueueFileAnswer("");  // cancelled: the mode stays
  Tap({platform::DIK_RETURN});
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeSaveBox);
  rig.gui.QueueFileAnswer(file);
  Tap({platform::DIK_RETURN});
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  ASSERT_TRUE(std::filesystem::exists(file + ".kvSch"));

  // Load it: the preview is built on the next pass.
  rig.gui.QueueFileAnswer(file + ".kvSch");
  HandleMenuEvent(rig.ctx(), kMenuLoadSchematic);
  ASSERT_EQ(rig.ctx().nav.InteractionMode, kModeInsertSchematic);
  EXPECT_EQ(rig.ctx().InsertPlacement().sizeX, 3);
  rig.Pass();
  EXPECT_TRUE(engine().PBO_IsStaticGeometry(rig.ctx().loop.PreviewGeometry));

  // Return moves the preview to the box; Ctrl+S writes it and leaves the mode.
  Tap({platform::DIK_RETURN});
  EXPECT_FLOAT_EQ(rig.ctx().InsertPlacement().originX, NodeX() - 0.5f);
  rig.input.QueuePass(PassWith().KeysHeld({platform::DIK_LCONTROL, platform::DIK_S}));
  rig.Pass();
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  EXPECT_FALSE(engine().PBO_IsStaticGeometry(rig.ctx().loop.PreviewGeometry));
}

}  // namespace
}  // namespace orelens::viewer
