#pragma once

#include <functional>

namespace orelens::viewer {

class ProgramContext;

// The calls the viewer makes into the schematic and custom-block subsystems. Those libraries are
// built on the viewer's, so the viewer reaches them through these calls, which the program (and
// each test) binds with BindSubsystemCalls() from subsystem_wiring.h. An unbound call does nothing.
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
