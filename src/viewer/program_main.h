#pragma once

#include <atomic>

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

// The last step of a run. A loader that shutdown had to abandon may still be running; the process
// must not run its exit clean-up (static destructors, library unloading) under such a thread.
// Waits up to `waitMs` for abandoned loaders to end; when one still runs, ends the process at
// once with exit code 0 (everything worth keeping, the preferences, is written by then).
void EndProcessIfLoadersRemain(const std::atomic<int>& abandonedLoadersRunning, int waitMs = 1000);

}  // namespace orelens::viewer
