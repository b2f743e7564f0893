#pragma once

namespace orelens::viewer {

class ProgramContext;

// Carries the "surface visible from inside blocks" option over to every block material: with it,
// both sides of every face are drawn; without it, back faces are culled except on double-sided
// blocks. Shadows are off during the change and come back as chosen.
int ApplyMaterialCulling(ProgramContext& ctx);

}  // namespace orelens::viewer
