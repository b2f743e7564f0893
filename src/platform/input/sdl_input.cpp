#include "platform/input/sdl_input.h"

#include <SDL2/SDL.h>

#include "platform/gui/sdl_gui.h"
#include "platform/input/dik_mapping.h"

namespace orelens::platform {

namespace {
int ButtonIndex(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return -1;
  }
}
}  // namespace

SdlInput::SdlInput(SdlGui& gui) : gui_(gui) { SDL_AddEventWatch(&SdlInput::WatchEvent, this); }

SdlInput::~SdlInput() {
  SDL_DelEventWatch(&SdlInput::WatchEvent, this);
  if (captured_) SDL_SetRelativeMouseMode(SDL_FALSE);
}

int SdlInput::WatchEvent(void* self, SDL_Event* event) {
  auto* input = static_cast<SdlInput*>(self);
  switch (event->type) {
    case SDL_MOUSEWHEEL: {
      const int steps = event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y;
      input->pendingWheel_ += steps;
      break;
    }
    case SDL_MOUSEBUTTONDOWN: {
      const int index = ButtonIndex(event->button.button);
      if (index >= 0 && !input->captured_) input->pressOwnedByGui_[index] = input->gui_.GuiWantsMouse();
      break;
    }
    case SDL_MOUSEBUTTONUP: {
      const int index = ButtonIndex(event->button.button);
      if (index >= 0) input->pressOwnedByGui_[index] = false;
      break;
    }
    default:
      break;
  }
  return 1;
}

bool SdlInput::ExamineKeyboard() {
  SDL_Window* window = gui_.NativeWindow();
  if (window == nullptr || SDL_GetKeyboardFocus() != window) {
    keyboard_.Clear();
    return false;
  }
  keyboard_.Examine(KeysDownNow());
  return true;
}

KeyboardState::Keys SdlInput::KeysDownNow() {
  SDL_PumpEvents();
  int count = 0;
  const Uint8* sdlKeys = SDL_GetKeyboardState(&count);
  KeyboardState::Keys down;
  for (int scancode = 0; scancode < count; ++scancode) {
    if (sdlKeys[scancode] == 0) continue;
    const int dik = DikFromSdlScancode(static_cast<SDL_Scancode>(scancode));
    if (dik > 0) down.set(dik);
  }
  return down;
}

void SdlInput::CaptureMouse(bool captured) {
  if (gui_.NativeWindow() == nullptr) return;
  if (captured != captured_) {
    if (SDL_SetRelativeMouseMode(captured ? SDL_TRUE : SDL_FALSE) != 0 && captured) return;
    captured_ = captured;
  }
  SDL_GetRelativeMouseState(nullptr, nullptr);  // movement before the capture does not count
  pendingWheel_ = 0;
}

bool SdlInput::ExamineMouse() {
  if (!captured_) {
    deltaX_ = deltaY_ = wheelSteps_ = 0;
    return false;
  }
  SDL_PumpEvents();
  SDL_GetRelativeMouseState(&deltaX_, &deltaY_);
  wheelSteps_ = pendingWheel_.exchange(0);
  return true;
}

int SdlInput::IsMouseButtonDown(int button) {
  if (button < 1 || button > 3 || gui_.NativeWindow() == nullptr) return 0;
  SDL_PumpEvents();
  const Uint32 state = SDL_GetMouseState(nullptr, nullptr);
  // The X server already applies a swapped-buttons setting to the button numbers it reports.
  static constexpr Uint32 kMasks[3] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK};
  if ((state & kMasks[button - 1]) == 0) return 0;
  if (!captured_ && (pressOwnedByGui_[button - 1] || gui_.GuiWantsMouse())) return 0;
  return 1;
}

bool SdlInput::ClientPointer(int& x, int& y) {
  SDL_Window* window = gui_.NativeWindow();
  if (window == nullptr || SDL_GetMouseFocus() != window) return false;
  SDL_GetMouseState(&x, &y);
  y -= gui_.ClientTop();
  return x >= 0 && y >= 0 && x < gui_.ClientWidth() && y < gui_.ClientHeight();
}

int SdlInput::WindowMouseX() {
  int x = -1, y = -1;
  return ClientPointer(x, y) ? x : -1;
}

int SdlInput::WindowMouseY() {
  int x = -1, y = -1;
  return ClientPointer(x, y) ? y : -1;
}

void SdlInput::WarpPointerToClient(int x, int y) {
  if (SDL_Window* window = gui_.NativeWindow()) SDL_WarpMouseInWindow(window, x, y + gui_.ClientTop());
}

}  // namespace orelens::platform
