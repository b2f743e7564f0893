#pragma once

#include <string>

#include "platform/gui/gui.h"
#include "world/settings.h"
#include "world/world_metadata.h"

namespace orelens::viewer {

// Check marks of the two radio-like sub-menus, from the settings as they stand.
void SetDrawDistanceMarks(platform::Gui& gui, int viewDistance);
void SetShadowMarks(platform::Gui& gui, int shadowMode);

// Refreshes the world list (falling back to the game's default save folders when the stored one
// holds no world) and builds the menu bar of the main window as menu 0.
// localAppDataFolder ends with a separator, or is empty when the system has none.
int CreateMainMenu(platform::Gui& gui, world::Settings& settings, world::WorldList& worlds,
                   const std::string& localAppDataFolder);

}  // namespace orelens::viewer
