#pragma once

#include <functional>

namespace orelens::viewer {

class ProgramContext;

// The calls the viewer makes into the schematic and custom-block subsystems. The viewer does not
// reach into them itself: the program's composition (app/subsystem_wiring.h) binds these calls,
// and tests bind the real ones or their own. An unbound call does nothing.
struct SubsystemCalls {
  std::function<void(ProgramContext&)> openImportProgressWindow;
  // Imports the custom blocks of the workshop folder, then those of the mods folder.
  std::function<void(ProgramContext&)> importCustomBlocks;
  std::function<void(ProgramContext&)> readSchematicSize;
  std::function<int(ProgramContext&)> loadSchematicFile;
  std::function<int(ProgramContext&, float x, float y, float z, int sizeX, int sizeY, int sizeZ)> saveSelectionAsSchematic;
  std::function<void(ProgramContext&, float centreX, float centreY, float centreZ)> injectSchematic;
};

}  // namespace orelens::viewer
