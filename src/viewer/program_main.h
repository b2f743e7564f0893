#pragma once

namespace orelens::viewer {

class ProgramContext;
struct PlatformBundle;

// The whole life of the program on a platform: start-up, the main loop until the quit flag is
// set, and shutdown. Always returns the exit code 0.
int ProgramMain(PlatformBundle& platform);

// The start-up in its order. False when a fatal step failed: its message has been shown and the
// program ends without saving anything.
bool StartUp(ProgramContext& ctx);
// Saves the preferences, stops the loaders and closes the screen and the main window.
void ShutDown(ProgramContext& ctx);

}  // namespace orelens::viewer
