#include "platform/input/keyboard_state.h"

namespace orelens::platform {

void KeyboardState::Examine(const Keys& held) {
  released_ = (held_ | kept_) & ~held;
  kept_.reset();
  held_ = held;
}

void KeyboardState::Clear() {
  held_.reset();
  released_.reset();
  kept_.reset();
}

bool KeyboardState::KeyDown(int dik) const { return Valid(dik) && held_.test(dik); }

bool KeyboardState::KeyReleased(int dik) {
  if (!Valid(dik) || !released_.test(dik)) return false;
  released_.reset(dik);
  return true;
}

void KeyboardState::KeepReleaseForNextPass(int dik) {
  if (!Valid(dik) || !released_.test(dik)) return;
  released_.reset(dik);
  kept_.set(dik);
}

}  // namespace orelens::platform
