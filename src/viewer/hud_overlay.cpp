#include "viewer/hud_overlay.h"

#include "platform/draw2d/drawing_session.h"
#include "viewer/hud_text.h"
#include "viewer/program_context.h"

namespace orelens::viewer {

namespace {

using platform::PackRgba;

constexpr int kHudWidth = 450;
constexpr int kHudHeight = 100;
constexpr int kAlphaChannelOnly = platform::kDrawAlphaChannel;
constexpr int kAlphaOutline = platform::kDrawAlphaChannel | platform::kDrawOutlined;
constexpr int kAlphaBlend = platform::kDrawAlphaBlend;
constexpr int kAlphaBlendTransparentText = platform::kDrawAlphaBlend | platform::kDrawTransparent;

}  // namespace

uint32_t SlotStatusColour(int64_t meshSlotState) {
  switch (meshSlotState) {
    case 1: return PackRgba(0, 200, 0, 255);      // building
    case 2: return PackRgba(200, 150, 0, 255);    // band complete, its build due next
    case 3: return PackRgba(255, 255, 255, 255);  // abandoned
    default: return PackRgba(200, 0, 0, 255);
  }
}

void CreateHudSprite(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  engine.CreateSprite(objects::kHudSprite, kHudWidth, kHudHeight, 8);
  platform::DrawingSession drawing(engine.SpriteImage(objects::kHudSprite), ctx.fonts,
                                   [&engine] { engine.MarkSpriteChanged(objects::kHudSprite); });
  drawing.DrawingMode(kAlphaChannelOnly);
  drawing.Box(0, 0, kHudWidth, kHudHeight, PackRgba(0, 0, 0, 0));
  drawing.DrawingMode(kAlphaOutline);
  drawing.RoundBox(0, 0, kHudWidth, kHudHeight, 10, 10, PackRgba(0, 0, 0, 255));
}

int DrawHudText(ProgramContext& ctx, int mode, int chunkId) {
  platform::Engine3D& engine = ctx.engine();
  HudFacts facts;
  facts.mode = mode;
  facts.chunkId = chunkId;
  facts.loadingPaused = ctx.ChunkLoadingPaused();
  facts.chunksDisplayed = ctx.ChunksDisplayed();
  facts.worldName = ctx.settings.CurrentWorldName;
  facts.cameraX = engine.PBO_CameraX(objects::kCamera);
  facts.cameraY = engine.PBO_CameraY(objects::kCamera);
  facts.cameraZ = engine.PBO_CameraZ(objects::kCamera);

  platform::DrawingSession drawing(engine.SpriteImage(objects::kHudSprite), ctx.fonts,
                                   [&engine] { engine.MarkSpriteChanged(objects::kHudSprite); });
  drawing.DrawingMode(kAlphaChannelOnly);
  drawing.RoundBox(1, 1, kHudWidth - 2, kHudHeight - 2, 10, 10, PackRgba(0, 0, 0, 0));
  drawing.DrawingMode(kAlphaBlendTransparentText);
  drawing.RoundBox(0, 0, kHudWidth, kHudHeight, 10, 10, PackRgba(0, 0, 0, 100));
  for (const HudLine& line : HudLinesFor(facts)) drawing.DrawText(10, line.y, line.text, line.rgba);
  return 0;
}

void DrawSlotStatusBoxes(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  platform::DrawingSession drawing(engine.SpriteImage(objects::kHudSprite), ctx.fonts,
                                   [&engine] { engine.MarkSpriteChanged(objects::kHudSprite); });
  drawing.DrawingMode(kAlphaBlend);
  for (int slot = 0; slot < 8; ++slot)
    drawing.RoundBox(10 + 30 * slot, 90, 24, 16, 4, 4, SlotStatusColour(ctx.MeshSlotState(slot)));
}

}  // namespace orelens::viewer
