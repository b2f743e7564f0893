#pragma once

#include <string>
#include <vector>

namespace orelens::customblocks {

// Runs the PNG optimiser hidden (no input, output discarded) with an argument vector, never
// through a shell; waits at most timeoutMs for it and ends it, with whatever it started, when
// it is still running then. A program that cannot be started is not waited for.
void RunOptimiser(const std::string& program, const std::vector<std::string>& arguments, int timeoutMs);

}  // namespace orelens::customblocks
