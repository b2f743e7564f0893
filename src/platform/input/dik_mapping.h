#pragma once

#include <SDL2/SDL_scancode.h>

namespace orelens::platform {

// The DIK scan code of an SDL scancode, 0 for keys the program has no code for.
int DikFromSdlScancode(SDL_Scancode scancode);

}  // namespace orelens::platform
