#include "app/subsystem_wiring.h"

#include <memory>
#include <string>

#include "app/custom_block_server.h"
#include "customblocks/custom_block_import.h"
#include "customblocks/import_progress_window.h"
#include "platform/database/mysql_driver.h"
#include "platform/files/file.h"
#include "schematic/schematic_inject.h"
#include "schematic/schematic_load.h"
#include "schematic/schematic_save.h"
#include "schematic/schematic_services.h"
#include "viewer/program_context.h"

namespace orelens::app {

namespace {

using viewer::ProgramContext;

schematic::SchematicServices SchematicServicesOf(ProgramContext& ctx) {
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

// Start-up's import: the workshop folder (always shared), then the mods folder (shared unless
// the user said not to).
void ImportCustomBlocks(ProgramContext& ctx) {
  customblocks::CustomBlockImportSettings importSettings;
  importSettings.preview.previewFolder = ctx.PathInWorkingFolder("Textures/Block_prev/");
  CustomBlockServerChoice server = ReadCustomBlockServer(
      ctx.platformBundle().environment, ctx.PathInWorkingFolder(std::string(kCustomBlockServerFile)));
  importSettings.database = std::move(server.server);
  importSettings.databaseSettingsProblem = std::move(server.problem);
  // The client library is only needed, and loaded, when there is a server to publish to.
  std::shared_ptr<const platform::MySqlDriver> driver;
  if (importSettings.database) driver = platform::LoadMySqlDriver(ctx.platformBundle().libraries);
  customblocks::CustomBlockImporter importer(ctx.gui(), ctx.engine(), ctx.customBlocks, std::move(driver),
                                             importSettings);
  // A folder that is not there has no blocks to import or share: it is passed over.
  const std::string& steam = ctx.settings.SteamAppsDir;
  const std::string workshop = steam + "workshop\\content\\731042\\";
  const std::string mods = steam + "common\\Kelvane\\Kelvane\\Mods\\Blocks\\";
  if (platform::FileSize(workshop) == -2) importer.ImportCustomBlocksFromFolder(workshop, 0);
  if (platform::FileSize(mods) == -2)
    importer.ImportCustomBlocksFromFolder(mods, ctx.settings.DoNotShareModsBlocks);
}

}  // namespace

viewer::SubsystemCalls BindSubsystemCalls() {
  viewer::SubsystemCalls calls;
  calls.openImportProgressWindow = [](ProgramContext& ctx) {
    customblocks::OpenImportProgressWindow(ctx.gui());
  };
  calls.importCustomBlocks = ImportCustomBlocks;
  calls.readSchematicSize = [](ProgramContext& ctx) {
    schematic::ReadSchematicSize(ctx.schematic.InsertPlacement, ctx.schematic.SchematicPath);
  };
  calls.loadSchematicFile = [](ProgramContext& ctx) {
    return schematic::LoadSchematicFile(ctx.gui(), ctx.platformBundle().libraries,
                                        ctx.schematic.SchematicPath, ctx.schematic.PreviewBlockList);
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

}  // namespace orelens::app
