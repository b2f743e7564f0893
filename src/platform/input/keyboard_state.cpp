#include "platform/input/keyboard_state.h"

namespace orelens::platform {

void KeyboardState::Examine(const Keys& down) {
  ignored_ &= down;  // a key let go counts again from its next press
  const Keys held = down & ~ignored_;
  released_ = (held_ | kept_) & ~held;
  kept_.reset();
  held_ = held;
}

void KeyboardState::IgnoreUntilReleased(const Keys& downNow) {
  ignored_ |= downNow;
  held_.reset();
  released_.reset();
  kept_.reset();
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
