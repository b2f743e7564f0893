// The OpenGL renderer on a real window (Xvfb and Mesa in CI): a small scene of textured blocks
// under fog and sky with an overlay sprite, read back and saved as a screenshot.
#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "engine3d_test_scene.h"
#include "platform/display/screen_host.h"
#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/renderer.h"
#include "platform/engine3d/scene.h"
#include "platform/image/png_writer.h"

namespace orelens::platform {
namespace {

namespace fs = std::filesystem;
using engine3d_test::MakeColourMaterial;
using engine3d_test::MakeFaceQuads;
using engine3d_test::TempFolder;

constexpr int kWidth = 320, kHeight = 240, kMenuHeight = 20;

// Stands in for the GUI's main window: an SDL window with a menu bar's worth of rows on top.
class TestScreenHost final : public ScreenHost {
 public:
  TestScreenHost() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    window_ = SDL_CreateWindow("engine display test", 0, 0, kWidth, kHeight + kMenuHeight, SDL_WINDOW_OPENGL);
  }
  ~TestScreenHost() override {
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  SDL_Window* NativeWindow() override { return window_; }
  int ClientTop() override { return kMenuHeight; }
  int ClientWidth() override { return kWidth; }
  int ClientHeight() override { return kHeight; }
  void DrawGuiLayer() override { ++guiLayers; }
  void SetSceneRedraw(std::function<void()> redraw) override { sceneRedraw = std::move(redraw); }

  int guiLayers = 0;
  std::function<void()> sceneRedraw;

 private:
  SDL_Window* window_ = nullptr;
};

bool Near(uint32_t pixel, int r, int g, int b) {
  constexpr int tolerance = 6;
  return std::abs(int(RedOf(pixel)) - r) <= tolerance && std::abs(int(GreenOf(pixel)) - g) <= tolerance &&
         std::abs(int(BlueOf(pixel)) - b) <= tolerance;
}

class EngineDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!host.NativeWindow()) GTEST_SKIP() << "no display: " << SDL_GetError();
    ASSERT_NE(engine->PBO_InitEngine3D(2), 0);
    ASSERT_EQ(engine->OpenWindowedScreen(&host, 0, 0, kWidth, kHeight, 0, 0, 0, 2), 1);
  }
  TestScreenHost host;
  std::unique_ptr<Engine3D> engine = MakeOpenGlEngine();
};

TEST_F(EngineDisplay, DrawsTexturedBlocksUnderFogAndSkyWithTheOverlaySprite) {
  TempFolder folder("orelens-engine-display");
  Image clouds(8, 8, PackRgba(255, 255, 255));
  ASSERT_TRUE(WritePngFile((folder.path() / "clouds.png").string(), clouds));
  ASSERT_EQ(engine->PBO_Add3DArchive(folder.path().string(), 0), 1);

  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_CameraFOV(0, 50);
  engine->PBO_CameraBackColor(0, PackRgb(100, 156, 251));
  engine->PBO_AmbientColor(PackRgb(200, 200, 220));
  engine->PBO_Sun(10, 800, 10, PackRgb(255, 200, 150));
  engine->PBO_CreateLight2(0, PackRgb(250, 250, 230), -100, 100, -100);
  engine->PBO_WorldShadows4(2, 25.0f, PackRgb(10, 10, 30), 256);
  engine->PBO_MaterialFilteringMode2(-1, 3, 4);
  ASSERT_EQ(engine->PBO_SkyDome("CLOUDS.png", 10), 1);
  engine->PBO_Fog(PackRgb(30, 40, 40), 2, 32, 512);

  // A wall of red blocks in front of the camera, a green block in its middle, and a far
  // block deep in the fog.
  MakeFaceQuads(*engine);
  const int red = MakeColourMaterial(*engine, 1, PackRgba(220, 30, 30));
  const int green = MakeColourMaterial(*engine, 2, PackRgba(30, 220, 30));
  for (int k = 0; k < 6; ++k) engine->PBO_CreateEntity2(10 + k, engine->PBO_MeshID(10 + k), red);
  const int geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
  for (int x = -4; x <= 4; ++x) {
    for (int y = 0; y < 4; ++y) {
      const bool middle = x == 0 && y == 1;
      engine->PBO_SetEntityMaterial(14, middle ? green : red);
      engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(14), x * 0.5f, y * 0.5f, -5.0f, 1,
                                           1, 1);
      engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(10), x * 0.5f, y * 0.5f, -5.0f, 1,
                                           1, 1);
    }
  }
  engine->PBO_SetEntityMaterial(14, red);
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(14), -60.0f, 0.5f, -600.0f, 40, 40, 1);
  engine->PBO_BuildStaticGeometry(geometry);
  for (int k = 0; k < 6; ++k) engine->PBO_HideEntity(10 + k, 1);
  engine->PBO_MoveCamera2(0, 0, 0.5f, 0, 0);
  engine->PBO_CameraLookAt(0, 0, 0.5f, -10);

  engine->CreateSprite(0, 60, 30, 8);
  Image* overlay = engine->SpriteImage(0);
  for (uint32_t& pixel : overlay->pixels) pixel = PackRgba(255, 255, 0, 255);
  overlay->at(0, 0) = PackRgba(0, 0, 0, 0);
  engine->MarkSpriteChanged(0);

  engine->PBO_RenderWorld();
  EXPECT_EQ(engine->GetRenderer().LastDrawCalls(), 2);  // one per material of the geometry
  // The GPU holds the faces now; the CPU lists are handed back.
  EXPECT_TRUE(engine->FindStaticGeometry(geometry)->batches.empty());
  EXPECT_EQ(engine->FindStaticGeometry(geometry)->faceCount, 9u * 4 * 2 * 2 + 2);
  engine->DisplaySprite(0, 10, 10, 255);
  engine->PBO_FlipBuffers();
  EXPECT_EQ(host.guiLayers, 1);
  const Image frame = engine->GrabScreenRegion(0, 0, kWidth, kHeight);
  ASSERT_TRUE(WritePngFile(std::string(ORELENS_BINARY_DIR) + "/engine3d_display_screenshot.png", frame));

  // Below the horizon and beside the blocks: the plain background colour, untouched by fog.
  EXPECT_PRED4(Near, frame.at(5, kHeight - 5), 100, 156, 251);
  // High up: the white cloud dome.
  EXPECT_PRED4(Near, frame.at(kWidth / 2, 2), 255, 255, 255);
  // The green block in the middle of the view, lit and barely fogged (its face is turned away
  // from the light, so it shows the ambient share and a little of the light).
  const uint32_t block = frame.at(kWidth / 2, kHeight / 2);
  EXPECT_GT(GreenOf(block), 80u);
  EXPECT_LT(RedOf(block), GreenOf(block) / 2);
  // Its red neighbours.
  const uint32_t wall = frame.at(kWidth / 2 + 40, kHeight / 2);
  EXPECT_GT(RedOf(wall), 80u);
  EXPECT_LT(GreenOf(wall), RedOf(wall) / 2);
  // The sprite over everything, its transparent corner showing the sky behind.
  EXPECT_PRED4(Near, frame.at(30, 20), 255, 255, 0);
  EXPECT_FALSE(Near(frame.at(10, 10), 255, 255, 0));
  EXPECT_EQ(AlphaOf(frame.at(30, 20)), 255u);
}

TEST_F(EngineDisplay, FarBlocksFadeIntoTheFogColour) {
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_CameraBackColor(0, PackRgb(0, 0, 255));
  engine->PBO_AmbientColor(PackRgb(255, 255, 255));
  engine->PBO_Fog(PackRgb(30, 40, 40), 2, 32, 512);
  MakeFaceQuads(*engine);
  const int white = MakeColourMaterial(*engine, 1, PackRgba(255, 255, 255));
  engine->PBO_CreateEntity2(14, engine->PBO_MeshID(14), white);
  const int geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 0);
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(14), 0, 0, -700, 4000, 4000, 1);
  engine->PBO_BuildStaticGeometry(geometry);
  engine->PBO_HideEntity(14, 1);
  engine->PBO_RenderWorld();
  engine->PBO_FlipBuffers();
  EXPECT_PRED4(Near, engine->GrabScreenRegion(kWidth / 2, kHeight / 2, 1, 1).at(0, 0), 30, 40, 40);
}

TEST_F(EngineDisplay, TheSunCastsShadowsOfTheChosenQuality) {
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_AmbientColor(PackRgb(200, 200, 220));
  engine->PBO_Sun(10, 800, 10, PackRgb(255, 200, 150));
  MakeFaceQuads(*engine);
  const int white = MakeColourMaterial(*engine, 1, PackRgba(255, 255, 255));
  engine->PBO_CreateEntity2(10, engine->PBO_MeshID(10), white);
  const int geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(10), 0, -0.25f, 0, 100, 1,
                                       100);                                                        // ground
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(10), 0, 1.75f, -4, 8, 1, 8);  // roof
  engine->PBO_BuildStaticGeometry(geometry);
  engine->PBO_HideEntity(10, 1);
  engine->PBO_MoveCamera2(0, 0, 6, 8, 0);
  engine->PBO_CameraLookAt(0, 0, 0, 0);

  // Where a ground point shows on the screen.
  const Camera& camera = engine->GetScene().cameras[0];
  auto brightnessAt = [&](glm::vec3 world) {
    const glm::vec4 clip =
        CameraProjection(camera, float(kWidth) / kHeight) * CameraView(camera) * glm::vec4(world, 1);
    const int x = int((clip.x / clip.w + 1) / 2 * kWidth), y = int((1 - clip.y / clip.w) / 2 * kHeight);
    return int(GreenOf(engine->GrabScreenRegion(x, y, 1, 1).at(0, 0)));
  };
  for (int mode : {1, 2}) {
    engine->PBO_WorldShadows3(mode, 30.0f, PackRgb(10, 10, 30));
    engine->PBO_RenderWorld();
    engine->PBO_FlipBuffers();
    EXPECT_LT(brightnessAt({0, 0, -4}), brightnessAt({6, 0, -4}) - 40) << "mode " << mode;
  }
  engine->PBO_WorldShadows(0);
  engine->PBO_RenderWorld();
  engine->PBO_FlipBuffers();
  EXPECT_NEAR(brightnessAt({0, 0, -4}), brightnessAt({6, 0, -4}), 3);
}

// Alpha-blended surfaces cast shadows where their texels are nearly opaque (leaves) and let the
// sun through where they are see-through (water).
TEST_F(EngineDisplay, BlendedSurfacesCastShadowsWhereTheyAreNearlyOpaque) {
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_AmbientColor(PackRgb(200, 200, 220));
  engine->PBO_Sun(10, 800, 10, PackRgb(255, 200, 150));
  MakeFaceQuads(*engine);
  const int white = MakeColourMaterial(*engine, 1, PackRgba(255, 255, 255));
  // The roof's picture: its -z half solid, its +z half at the water's alpha.
  const int texture = engine->PBO_CreateTexture(-1, 4, 4);
  Image* picture = engine->PBO_LockTexture(texture);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) picture->at(x, y) = PackRgba(40, 120, 40, x < 2 ? 255 : 160);
  engine->PBO_UnlockTexture(texture);
  const int leaves = engine->PBO_CreateMaterial(2, texture);
  engine->PBO_MaterialBlendingMode(leaves, kBlendAlpha);
  engine->PBO_CreateEntity2(10, engine->PBO_MeshID(10), white);
  engine->PBO_CreateEntity2(11, engine->PBO_MeshID(10), leaves);
  const int geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(10), 0, -0.25f, 0, 100, 1,
                                       100);                                                        // ground
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(11), 0, 1.75f, -4, 8, 1, 8);  // roof
  engine->PBO_BuildStaticGeometry(geometry);
  engine->PBO_HideEntity(10, 1);
  engine->PBO_HideEntity(11, 1);
  engine->PBO_MoveCamera2(0, 0, 6, 8, 0);
  engine->PBO_CameraLookAt(0, 0, 0, 0);

  const Camera& camera = engine->GetScene().cameras[0];
  auto greenAt = [&](glm::vec3 world) {
    const glm::vec4 clip =
        CameraProjection(camera, float(kWidth) / kHeight) * CameraView(camera) * glm::vec4(world, 1);
    const int x = int((clip.x / clip.w + 1) / 2 * kWidth), y = int((1 - clip.y / clip.w) / 2 * kHeight);
    return int(GreenOf(engine->GrabScreenRegion(x, y, 1, 1).at(0, 0)));
  };
  for (int mode : {1, 2}) {
    engine->PBO_WorldShadows3(mode, 30.0f, PackRgb(10, 10, 30));
    engine->PBO_RenderWorld();
    engine->PBO_FlipBuffers();
    const int open = greenAt({6, 0, -4});
    EXPECT_LT(greenAt({0, 0, -5}), open - 40) << "under the solid half, mode " << mode;
    EXPECT_NEAR(greenAt({0, 0, -3}), open, 6) << "under the see-through half, mode " << mode;
  }
}

// The world's light as the program sets it at start-up (ambient, sun, and the two lights placed
// around the player at the origin) on a white block seen from above and from below.
TEST_F(EngineDisplay, TheStartUpLightsShadeTopsSidesAndBottomsApart) {
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_CameraBackColor(0, PackRgb(0, 0, 0));
  engine->PBO_AmbientColor(PackRgb(200, 200, 220));
  engine->PBO_Sun(10, 800, 10, PackRgb(255, 200, 150));
  engine->PBO_CreateLight2(0, PackRgb(255, 255, 255), -100, 300, -200);
  engine->PBO_CreateLight2(1, PackRgb(205, 200, 155), 300, 400, 200);
  MakeFaceQuads(*engine);
  const int white = MakeColourMaterial(*engine, 1, PackRgba(255, 255, 255));
  const int geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
  for (int k = 0; k < 6; ++k) {
    engine->PBO_CreateEntity2(10 + k, engine->PBO_MeshID(10 + k), white);
    engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(10 + k), 0, 0, 0, 8, 8, 8);
    engine->PBO_HideEntity(10 + k, 1);
  }
  engine->PBO_BuildStaticGeometry(geometry);

  const Camera& camera = engine->GetScene().cameras[0];
  auto brightnessAt = [&](glm::vec3 world) {
    const glm::vec4 clip =
        CameraProjection(camera, float(kWidth) / kHeight) * CameraView(camera) * glm::vec4(world, 1);
    const int x = int((clip.x / clip.w + 1) / 2 * kWidth), y = int((1 - clip.y / clip.w) / 2 * kHeight);
    const uint32_t pixel = engine->GrabScreenRegion(x, y, 1, 1).at(0, 0);
    return int(RedOf(pixel) + GreenOf(pixel) + BlueOf(pixel));
  };
  auto lookFrom = [&](float height) {
    engine->PBO_MoveCamera2(0, -10, height, -10, 0);
    engine->PBO_CameraLookAt(0, 0, 0, 0);
    engine->PBO_RenderWorld();
    engine->PBO_FlipBuffers();
  };
  lookFrom(8);
  const int top = brightnessAt({0, 2, 0}), minusX = brightnessAt({-2, 0, 0}),
            minusZ = brightnessAt({0, 0, -2});
  lookFrom(-8);
  const int bottom = brightnessAt({0, -2, 0});
  // Each step down is a fifth darker at least; a lit top is not washed out to white.
  for (const int side : {minusX, minusZ}) {
    EXPECT_GT(top, side * 6 / 5) << top << " " << side;
    EXPECT_GT(side, bottom * 6 / 5) << side << " " << bottom;
  }
  EXPECT_LT(top, 3 * 255);
}

// Mesa's software rasteriser gets no anisotropic filtering: its anisotropic sampling could keep
// one rasteriser thread busy for minutes, with the main thread waiting inside the flip.
TEST_F(EngineDisplay, SoftwareRasteriserSamplesWithoutAnisotropy) {
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (renderer == nullptr || std::strstr(renderer, "llvmpipe") == nullptr) GTEST_SKIP() << "not llvmpipe";
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_MaterialFilteringMode2(-1, 3, 4);  // as the program asks at start-up
  MakeFaceQuads(*engine);
  const int white = MakeColourMaterial(*engine, 1, PackRgba(255, 255, 255));
  engine->PBO_CreateEntity2(14, engine->PBO_MeshID(14), white);
  const int geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 0);
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(14), 0, 0, -20, 40, 40, 1);
  engine->PBO_BuildStaticGeometry(geometry);
  engine->PBO_HideEntity(14, 1);
  engine->PBO_RenderWorld();
  engine->PBO_FlipBuffers();
  int samplers = 0;
  for (GLuint name = 1; name < 256; ++name) {
    if (!glIsSampler(name)) continue;
    ++samplers;
    GLfloat anisotropy = 0;
    glGetSamplerParameterfv(name, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_LE(anisotropy, 1.0f) << "sampler " << name;
  }
  EXPECT_GT(samplers, 0);
}

TEST_F(EngineDisplay, ModalLoopsCanShowTheLastFrameAgainAndGrabsStayAfterTheFlip) {
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_CameraBackColor(0, PackRgb(255, 255, 255));
  engine->PBO_RenderWorld();
  engine->PBO_FlipBuffers();
  ASSERT_TRUE(host.sceneRedraw);
  host.sceneRedraw();  // draws the frame into the window without touching the engine's state
  SDL_GL_SwapWindow(host.NativeWindow());
  const Image square = engine->GrabScreenRegion(kWidth / 2 - 256, kHeight / 2 - 256, 512, 512);
  EXPECT_EQ(square.at(256, 256), PackRgba(255, 255, 255));
  EXPECT_EQ(square.at(0, 0), PackRgba(0, 0, 0));  // outside the view
  engine->CloseScreen();
  EXPECT_EQ(engine->IsScreenActive(), 0);
  EXPECT_FALSE(host.sceneRedraw);
}

TEST(EngineDisplayWithoutWindow, OpeningOnAHostWithoutWindowFails) {
  struct NoWindow final : ScreenHost {
    SDL_Window* NativeWindow() override { return nullptr; }
    int ClientTop() override { return 0; }
    int ClientWidth() override { return 10; }
    int ClientHeight() override { return 10; }
    void DrawGuiLayer() override {}
    void SetSceneRedraw(std::function<void()>) override {}
  } host;
  auto engine = MakeOpenGlEngine();
  EXPECT_EQ(engine->OpenWindowedScreen(&host, 0, 0, 10, 10, 0, 0, 0, 2), 0);
  EXPECT_EQ(engine->OpenWindowedScreen(nullptr, 0, 0, 10, 10, 0, 0, 0, 2), 0);
}

}  // namespace
}  // namespace orelens::platform
