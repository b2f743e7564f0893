#pragma once

// Binds the viewer's calls into the schematic and custom-block subsystems. Header only on
// purpose: it is compiled into the program's main and into tests, which link those libraries
// ahead of the viewer's.

#include <mutex>
#include <string>

#include "customblocks/custom_block_import.h"
#include "customblocks/import_progress_window.h"
#include "platform/database/mysql_driver.h"
#include "schematic/schematic_inject.h"
#include "schematic/schematic_load.h"
#include "schematic/schematic_save.h"
#include "schematic/schematic_services.h"
#include "viewer/program_context.h"
#include "viewer/subsystem_calls.h"

namespace orelens::viewer {

inline schematic::SchematicServices SchematicServicesOf(ProgramContext& ctx) {
  return schematic::SchematicServices{
      ctx.gui(),
      ctx.platformBundle().libraries,
      ctx.store,
      ctx.settings,
      ctx.blocks.kinds,
      ctx.Reader(),
      ctx.Writer(),
      [&ctx] { return ctx.ElapsedMilliseconds(); },
      [&ctx](const world::ChunkLocation& chunk) { ctx.ReleaseLoadedChunk(chunk); }};
}

inline SubsystemCalls BindSubsystemCalls() {
  SubsystemCalls calls;
  calls.openImportProgressWindow = [](ProgramContext& ctx) { customblocks::OpenImportProgressWindow(ctx.gui()); };
  calls.importCustomBlocks = [](ProgramContext& ctx) {
    customblocks::CustomBlockImportSettings importSettings;
    importSettings.preview.previewFolder = ctx.PathInWorkingFolder("Textures/Block_prev/");
    customblocks::CustomBlockImporter importer(ctx.gui(), ctx.engine(), ctx.customBlocks,
                                               platform::LoadMySqlDriver(ctx.platformBundle().libraries),
                                               importSettings);
    const std::string& steam = ctx.settings.SteamAppsDir;
    importer.ImportCustomBlocksFromFolder(steam + "workshop\\content\\731042\\", 0);
    importer.ImportCustomBlocksFromFolder(steam + "common\\Kelvane\\Kelvane\\Mods\\Blocks\\",
                                          ctx.settings.DoNotShareModsBlocks);
  };
  calls.readSchematicSize = [](ProgramContext& ctx) {
    schematic::ReadSchematicSize(ctx.schematic.InsertPlacement, ctx.schematic.SchematicPath);
  };
  calls.loadSchematicFile = [](ProgramContext& ctx) {
    return schematic::LoadSchematicFile(ctx.gui(), ctx.platformBundle().libraries, ctx.schematic.SchematicPath,
                                        ctx.schematic.PreviewBlockList);
  };
  calls.saveSelectionAsSchematic = [](ProgramContext& ctx, float x, float y, float z, int sizeX, int sizeY,
                                      int sizeZ) {
    auto services = SchematicServicesOf(ctx);
    return schematic::SaveSelectionAsSchematic(services, x, y, z, sizeX, sizeY, sizeZ);
  };
  calls.injectSchematic = [](ProgramContext& ctx, float x, float y, float z) {
    auto services = SchematicServicesOf(ctx);
    schematic::InjectSchematic(services, ctx.schematic.SchematicPath, x, y, z);
  };
  return calls;
}

}  // namespace orelens::viewer
