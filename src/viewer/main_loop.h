#pragma once

namespace orelens::viewer {

class ProgramContext;

// One pass of the main loop (one frame): a mesher time slice, the overlay every 500 ms, the
// schematic preview when asked, the unload hand-off, one window event, input, render and flip.
void RunMainLoopPass(ProgramContext& ctx);

}  // namespace orelens::viewer
