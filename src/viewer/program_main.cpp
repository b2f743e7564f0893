#include "viewer/program_main.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "platform/draw2d/drawing_session.h"
#include "viewer/hud_overlay.h"
#include "viewer/main_loop.h"
#include "viewer/main_menu.h"
#include "viewer/material_culling.h"
#include "viewer/menu_ids.h"
#include "viewer/preferences.h"
#include "viewer/program_context.h"
#include "viewer/selection_cube.h"

namespace orelens::viewer {

namespace {

using platform::PackRgb;
using platform::PackRgba;

constexpr const char* kFontName = "Palatino Linotype";
constexpr int kBlendAlpha = 3;
constexpr int kCullNone = 1;

void LoadFont(ProgramContext& ctx, int number, int size) {
  ctx.gui().LoadFont(number, kFontName, size);  // gadget texts
  ctx.fonts.LoadFont(number, kFontName, size);  // 2D drawing into textures and sprites
}

void DrawIntoTexture(ProgramContext& ctx, int texture, const std::function<void(platform::DrawingSession&)>& draw) {
  platform::Engine3D& engine = ctx.engine();
  platform::DrawingSession drawing(engine.PBO_LockTexture(texture), ctx.fonts,
                                   [&engine, texture] { engine.PBO_UnlockTexture(texture); });
  draw(drawing);
}

// Materials 0..255 (but 66) show their block type's number: what a block without a texture of
// its own is drawn with.
void CreateNumberLabelMaterials(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  for (int type = 0; type < 256; ++type) {
    if (type == world::kBlockCustom) continue;
    engine.PBO_CreateTexture(type, 32, 32);
    DrawIntoTexture(ctx, type, [type](platform::DrawingSession& drawing) {
      drawing.DrawText(1, 1, std::to_string(type), PackRgba(255, 0, 0));
    });
    engine.PBO_CreateMaterial(type, engine.PBO_TextureID(type));
  }
}

void CreateMarkerMaterial(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  const int texture = objects::kMarkerMaterial;
  engine.PBO_CreateTexture(texture, 256, 256);
  DrawIntoTexture(ctx, texture, [](platform::DrawingSession& drawing) {
    // A new texture is opaque black: clear it first so the green fill stays translucent.
    drawing.DrawingMode(platform::kDrawAlphaChannel);
    drawing.Box(0, 0, 256, 256, PackRgba(0, 0, 0, 0));
    drawing.DrawingMode(platform::kDrawAlphaBlend);
    drawing.Box(0, 0, 256, 256, PackRgba(50, 200, 50, 70));
    drawing.DrawingMode(platform::kDrawOutlined);
    drawing.Box(0, 0, 256, 256, PackRgba(0, 200, 0));
  });
  engine.PBO_CreateMaterial(objects::kMarkerMaterial, engine.PBO_TextureID(texture));
  engine.PBO_MaterialBlendingMode(objects::kMarkerMaterial, kBlendAlpha);
  engine.PBO_MaterialCullingMode(objects::kMarkerMaterial, kCullNone);
}

void CreateToolMaterials(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  engine.PBO_LoadTexture(objects::kToolMaterial, "Toolblock.png");
  engine.PBO_LoadTexture(objects::kToolActiveMaterial, "Toolblock_act.png");
  engine.PBO_CreateTexture(objects::kBorderTexture, 1, 1);
  for (int material : {objects::kToolMaterial, objects::kToolActiveMaterial}) {
    engine.PBO_CreateMaterial(material, engine.PBO_TextureID(material));
    engine.PBO_MaterialBlendingMode(material, kBlendAlpha);
    engine.PBO_MaterialCullingMode(material, kCullNone);
  }
}

void ApplyStartupShadows(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  if (ctx.settings.ShadowMode == 1) engine.PBO_WorldShadows3(1, 30.0f, PackRgb(210, 205, 230));
  else engine.PBO_WorldShadows4(ctx.settings.ShadowMode, 25.0f, PackRgb(10, 10, 30), 256);
}

}  // namespace

bool StartUp(ProgramContext& ctx) {
  platform::Gui& gui = ctx.gui();
  platform::Engine3D& engine = ctx.engine();

  LoadFont(ctx, 10, 16);
  LoadFont(ctx, 11, 10);
  LoadFont(ctx, 12, 12);
  LoadFont(ctx, 0, 5);
  LoadFont(ctx, 1, 25);

  if (engine.PBO_GetVersion() != platform::Engine3D::kVersion || engine.PBO_InitEngine3D(2) == 0) {
    gui.MessageBox("Error", "Could not initialize the 3D Engine. Aborting.");
    return false;
  }

  PreferenceSources sources;
  sources.prefsPath = ctx.PathInWorkingFolder("prefs.ini");
  sources.environment = ctx.platformBundle().environment;
  if (!ReadStartupPreferences(ctx.settings, sources, gui)) return false;

  if (engine.PBO_Add3DArchive(ctx.PathInWorkingFolder("Textures\\"), 0) == 0) {
    gui.MessageBox("Missing ressources", "Meshes and textures could not be located!!");
    return false;
  }

  if (world::ReadWorldMetadata(ctx.store.WorldChunkMap, ctx.settings.CurrentWorldFolder(), ctx.StartPosition) == 0.0)
    gui.MessageBox("No current World", "There ist no current world selected. Please select a world from the list.");

  engine.PBO_AntialiasingMode(0);
  engine.PBO_MaterialFilteringMode2(-1, 3, 4);

  platform::WindowStyle mainStyle;
  mainStyle.centred = true;
  mainStyle.maximised = true;
  gui.OpenMainWindow(500, 500, "Orelens", mainStyle);
  gui.MoveWindowTo(kMainWindow, 0, 0);
  ctx.OpenImportProgressWindow();

  ctx.settings.NarrowRenderHeight = 0;
  CreateMainMenu(gui, ctx.settings, ctx.worlds, ctx.LocalAppDataFolder());

  const int width = gui.WindowInnerWidth(kMainWindow), height = gui.WindowInnerHeight(kMainWindow);
  engine.OpenWindowedScreen(ctx.platformBundle().screenHost, 0, 0, width, height, 0, 0, 0, 2);
  engine.PBO_CreateCamera(objects::kCamera, 0, 0, 100, 100);
  engine.PBO_CameraFOV(objects::kCamera, 50);
  engine.PBO_AmbientColor(PackRgb(200, 200, 220));
  engine.PBO_Sun(10, 800, 10, PackRgb(255, 200, 150));
  ApplyStartupShadows(ctx);
  engine.PBO_EnableWorldPhysics(0);
  engine.PBO_EnableWorldCollisions(0);

  ctx.LoadBlockDefinitions();
  ctx.Streaming().StartChunkUnloaderThread();
  ctx.StartChunkLoaderThreads();

  CreateHudSprite(ctx);
  CreateNumberLabelMaterials(ctx);
  CreateMarkerMaterial(ctx);
  CreateToolMaterials(ctx);
  ctx.CreateFaceTemplateMeshes();
  CreateSelectionCube(engine);

  // A provisional camera and lights for the preview pictures the custom-block import renders.
  const float s = static_cast<float>(gui.WindowInnerHeight(kMainWindow)) / 1000.0f * 1.1f;
  engine.PBO_MoveCamera2(objects::kCamera, s, s, s, 0);
  engine.PBO_CameraLookAt(objects::kCamera, 0.06f, 0, 0.06f);
  engine.PBO_CreateLight2(0, PackRgb(250, 250, 230), -100, 100, -100);
  engine.PBO_CreateLight2(1, PackRgb(250, 250, 230), -100, 100, 100);
  engine.PBO_CameraBackColor(objects::kCamera, PackRgb(255, 255, 255));
  ctx.ImportCustomBlocks();
  gui.HideWindow(objects::kImportProgressWindow, true);
  engine.PBO_CameraBackColor(objects::kCamera, PackRgb(100, 100, 255));

  ctx.PlaceCameraAndLights(ctx.StartPosition);
  ctx.Streaming().EnableUnloading();
  engine.PBO_CameraBackColor(objects::kCamera, PackRgb(100, 156, 251));
  if (ctx.input().ExamineMouse()) (void)ctx.input().MouseWheel();
  engine.PBO_SkyDome("clouds.jpg", 10);
  engine.PBO_Fog(PackRgb(30, 40, 40), 2, 32, 512);
  ctx.input().CaptureMouse(false);
  ctx.loop.MeshCacheReset = 1;
  ctx.loop.HudRefreshTime = ctx.ElapsedMilliseconds();
  DrawHudText(ctx, -1, 0);
  ApplyMaterialCulling(ctx);
  return true;
}

void ShutDown(ProgramContext& ctx) {
  ctx.SavePreferencesOrEnd();
  ctx.StopChunkLoaders();
  ctx.StopAllThreads();
  platform::Engine3D& engine = ctx.engine();
  if (engine.IsScreenActive()) engine.CloseScreen();
  ctx.gui().CloseWindow(kMainWindow);
}

void EndProcessIfLoadersRemain(const std::atomic<int>& abandonedLoadersRunning, int waitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (abandonedLoadersRunning.load() > 0) {
    if (std::chrono::steady_clock::now() >= end) {
      std::fflush(nullptr);
      std::_Exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int ProgramMain(PlatformBundle& platform) {
  std::shared_ptr<const std::atomic<int>> abandonedLoaders;
  try {
    ProgramContext ctx(platform);
    abandonedLoaders = ctx.Streaming().AbandonedLoadersRunning();
    if (StartUp(ctx)) {
      while (!ctx.QuitRequested()) RunMainLoopPass(ctx);
      ShutDown(ctx);
    }
  } catch (const ProgramEndRequested&) {
    // The preferences could not be written: the message is shown, the program ends as it stands.
  }
  if (abandonedLoaders) EndProcessIfLoadersRemain(*abandonedLoaders);
  return 0;
}

}  // namespace orelens::viewer
