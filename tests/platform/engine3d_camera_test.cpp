// Camera maths: moving along its own axes, turning, looking at and following; reads from other threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include <glm/glm.hpp>

#include "platform/engine3d/engine3d.h"

namespace orelens::platform {
namespace {

class CameraMaths : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(engine->PBO_CreateCamera(0, 0, 0, 100, 100), 0); }
  void ExpectDirection(float x, float y, float z) {
    EXPECT_NEAR(engine->PBO_CameraDirectionX(0), x, 1e-5f);
    EXPECT_NEAR(engine->PBO_CameraDirectionY(0), y, 1e-5f);
    EXPECT_NEAR(engine->PBO_CameraDirectionZ(0), z, 1e-5f);
  }
  void ExpectPosition(float x, float y, float z) {
    EXPECT_NEAR(engine->PBO_CameraX(0), x, 1e-4f);
    EXPECT_NEAR(engine->PBO_CameraY(0), y, 1e-4f);
    EXPECT_NEAR(engine->PBO_CameraZ(0), z, 1e-4f);
  }
  std::unique_ptr<Engine3D> engine = MakeHeadlessEngine();
};

TEST_F(CameraMaths, MovesAlongItsOwnAxesWithNegativeZForward) {
  ExpectDirection(0, 0, -1);
  engine->PBO_MoveCamera(0, 0, 0, -2);
  ExpectPosition(0, 0, -2);
  engine->PBO_RotateCamera2(0, 0, 90, 0, 1);  // a quarter turn left about the up axis
  ExpectDirection(-1, 0, 0);
  engine->PBO_MoveCamera(0, 1, 0.5f, -3);  // right is now -z, forward -x
  ExpectPosition(-3, 0.5f, -3);
}

TEST_F(CameraMaths, MovesToAndByWorldPositions) {
  engine->PBO_MoveCamera2(0, 1, 2, 3, 0);
  engine->PBO_MoveCamera2(0, 1, 2, 3, 1);
  ExpectPosition(2, 4, 6);
}

TEST_F(CameraMaths, TurnsRelativelyAndAbsolutely) {
  engine->PBO_RotateCamera2(0, 30, 0, 0, 1);  // look up 30 degrees
  engine->PBO_RotateCamera2(0, 15, 0, 0, 1);
  ExpectDirection(0, std::sin(glm::radians(45.0f)), -std::cos(glm::radians(45.0f)));
  engine->PBO_RotateCamera2(0, 0, 180, 0, 0);
  ExpectDirection(0, 0, 1);
  // Turning about the world's up axis keeps the horizon level after looking up.
  engine->PBO_RotateCamera2(0, 20, 0, 0, 0);
  engine->PBO_RotateCamera2(0, 0, 90, 0, 1);
  EXPECT_NEAR(engine->PBO_CameraDirectionY(0), std::sin(glm::radians(20.0f)), 1e-5f);
}

TEST_F(CameraMaths, LooksAtAPoint) {
  engine->PBO_MoveCamera2(0, 5, 10, 5, 0);
  engine->PBO_CameraLookAt(0, 15, 10, 5);  // the start-up look: +x
  ExpectDirection(1, 0, 0);
  engine->PBO_CameraLookAt(0, 5, 0, 5 + 10);  // down and toward +z
  ExpectDirection(0, -std::sqrt(0.5f), std::sqrt(0.5f));
  engine->PBO_CameraLookAt(0, 5, 10, 5);  // its own position: the view stays
  ExpectDirection(0, -std::sqrt(0.5f), std::sqrt(0.5f));
}

TEST_F(CameraMaths, FollowsANodeAtOnceOrGently) {
  engine->PBO_CreateNode(1001);
  engine->PBO_MoveNode2(1001, 10, 0, 0, 0);
  EXPECT_EQ(engine->PBO_CameraFollow(0, engine->PBO_NodeID(1001), 0, 0, 1, 1, 0), 1);
  ExpectDirection(1, 0, 0);
  ExpectPosition(0, 0, 0);  // following turns, it does not move

  engine->PBO_MoveNode2(1001, 0, 0, -10, 0);  // 90 degrees away
  engine->PBO_CameraFollow(0, engine->PBO_NodeID(1001), 0, 0, 0.01f, 0.01f, 0);
  const float turned = glm::degrees(std::atan2(-engine->PBO_CameraDirectionX(0), -engine->PBO_CameraDirectionZ(0)));
  EXPECT_NEAR(turned, -90.0f + 0.9f, 1e-3f);  // one hundredth of the way
  EXPECT_EQ(engine->PBO_CameraFollow(0, 4242, 0, 0, 1, 1, 0), 0);
}

TEST_F(CameraMaths, UnknownCamerasReadAsZero) {
  EXPECT_EQ(engine->PBO_CameraX(3), 0.0f);
  EXPECT_EQ(engine->PBO_CameraDirectionZ(3), 0.0f);
  EXPECT_EQ(engine->PBO_MoveCamera(3, 1, 1, 1), 0);
  EXPECT_EQ(engine->PBO_CameraX(-1), 0.0f);
  EXPECT_EQ(engine->PBO_CameraFOV(0, 0), 0);
}

TEST(CameraThreaded, LoaderThreadsReadThePositionWhileTheMainThreadMovesIt) {
  auto engine = MakeHeadlessEngine();
  std::atomic<bool> stop{false};
  std::atomic<int> outOfRange{0};
  std::vector<std::thread> loaders;
  for (int i = 0; i < 4; ++i) {
    loaders.emplace_back([&] {
      while (!stop.load()) {
        const float x = engine->PBO_CameraX(0), z = engine->PBO_CameraZ(0);
        if (!(x >= 0.0f && x <= 1000.0f && z >= -1000.0f && z <= 0.0f)) outOfRange.fetch_add(1);
      }
    });
  }
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  for (int step = 0; step < 20000; ++step) {
    engine->PBO_MoveCamera2(0, static_cast<float>(step % 1000), 1, -static_cast<float>(step % 1000), 0);
    engine->PBO_RotateCamera2(0, 0, 1, 0, 1);
  }
  stop.store(true);
  for (std::thread& loader : loaders) loader.join();
  EXPECT_EQ(outOfRange.load(), 0);
}

}  // namespace
}  // namespace orelens::platform
