#include "platform/input/keyboard_state.h"

namespace orelens::platform {

void KeyboardState::Examine(const Keys& held) {
  releasePending_ |= held_ & ~held;
  releasePending_ &= ~held;
  held_ = held;
}

void KeyboardState::Clear() {
  held_.reset();
  releasePending_.reset();
}

bool KeyboardState::KeyDown(int dik) const { return Valid(dik) && held_.test(dik); }

bool KeyboardState::KeyReleased(int dik) {
  if (!Valid(dik) || !releasePending_.test(dik)) return false;
  releasePending_.reset(dik);
  return true;
}

}  // namespace orelens::platform
