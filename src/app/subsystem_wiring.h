#pragma once

// The program's composition: binds the viewer's calls into the schematic and custom-block
// subsystems, which stand beside and above the viewer. The program's main and the tests that run
// the start-up as the program does bind with it.

#include "viewer/subsystem_calls.h"

namespace orelens::app {

viewer::SubsystemCalls BindSubsystemCalls();

}  // namespace orelens::app
