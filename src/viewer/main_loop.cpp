#include "viewer/main_loop.h"

#include <mutex>

#include "viewer/hud_overlay.h"
#include "viewer/menu_commands.h"
#include "viewer/navigation.h"
#include "viewer/preview_geometry.h"
#include "viewer/program_context.h"

namespace orelens::viewer {

namespace {

constexpr int kHudRefreshMilliseconds = 500;

void DispatchMesher(ProgramContext& ctx) {
  MainLoopState& loop = ctx.loop;
  world::LoaderSlot& slot = ctx.Streaming().Slot(loop.MeshSlot);
  bool advance = true;
  if (slot.ready.load() == 1) {
    const int finished = ctx.Mesher().BuildChunkMeshStep(slot.chunkId, loop.MeshSlot, slot.faceLists, slot.chunkX,
                                                         slot.chunkZ, loop.MeshCacheReset);
    if (finished != 0) slot.ready.store(0);  // hands the slot back to its loader
    else advance = false;                    // the same chunk goes on in the next pass
    loop.MeshCacheReset = 1;
  }
  if (advance) loop.MeshSlot = (loop.MeshSlot + 1) % world::kLoaderSlotCount;
}

void RefreshOverlay(ProgramContext& ctx) {
  const int64_t now = ctx.ElapsedMilliseconds();
  if (now - ctx.loop.HudRefreshTime <= kHudRefreshMilliseconds) return;
  ctx.loop.HudRefreshTime = now;
  platform::Engine3D& engine = ctx.engine();
  ctx.store.LocateChunk(ctx.loop.CameraChunk, engine.PBO_CameraX(objects::kCamera), engine.PBO_CameraZ(objects::kCamera));
  DrawHudText(ctx, ctx.nav.InteractionMode, ctx.loop.CameraChunk.chunkId);
}

void HandleOneWindowEvent(ProgramContext& ctx) {
  const platform::WindowEvent event = ctx.gui().WindowEventNoWait();
  if (event.type == platform::kEventCloseWindow) ctx.SetQuitFlag();
  else if (event.type == platform::kEventMenu) HandleMenuEvent(ctx, event.item);
  // A termination signal ends the program as Quit does, whatever the events were.
  if (ctx.gui().TerminationRequested()) ctx.SetQuitFlag();
}

// A box or requester has closed since the last look (a menu command's, a loader's, one that a key
// opened): the key that answered it is still down and must not act in the mode underneath when
// it is let go.
void SetAsideKeysThatAnsweredABox(ProgramContext& ctx) {
  const uint64_t closed = ctx.gui().ModalsClosed();
  if (closed == ctx.loop.ModalsClosedSeen) return;
  ctx.loop.ModalsClosedSeen = closed;
  ctx.input().IgnoreKeysDownNow();
}

}  // namespace

void RunMainLoopPass(ProgramContext& ctx) {
  DispatchMesher(ctx);
  RefreshOverlay(ctx);
  if (ctx.loop.PreviewRebuildPending != 0) RebuildSchematicPreview(ctx);
  ctx.Streaming().FreePendingUnloadChunk();
  HandleOneWindowEvent(ctx);
  HandleMousePress(ctx);
  SetAsideKeysThatAnsweredABox(ctx);
  if (ctx.input().ExamineKeyboard()) HandleMouseAndKeys(ctx);
  SetAsideKeysThatAnsweredABox(ctx);
  ctx.nav.ResetPassMovement();

  platform::Engine3D& engine = ctx.engine();
  engine.PBO_RenderWorld();
  DrawSlotStatusBoxes(ctx);
  engine.DisplaySprite(objects::kHudSprite, 10, 10, 255);
  engine.PBO_FlipBuffers();
}

}  // namespace orelens::viewer
