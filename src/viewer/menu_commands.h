#pragma once

namespace orelens::viewer {

class ProgramContext;

// Carries out the menu item the user chose (item ids of menu_ids.h; 100 + n the n-th world).
int HandleMenuEvent(ProgramContext& ctx, int itemId);

}  // namespace orelens::viewer
