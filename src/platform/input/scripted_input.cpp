#include "platform/input/scripted_input.h"

namespace orelens::platform {

void ScriptedInput::HoldKey(int dik) {
  if (dik >= 0 && dik < KeyboardState::kKeyCount) liveKeys_.set(dik);
}

void ScriptedInput::LiftKey(int dik) {
  if (dik >= 0 && dik < KeyboardState::kKeyCount) liveKeys_.reset(dik);
}

void ScriptedInput::MoveMouse(int dx, int dy) {
  pendingX_ += dx;
  pendingY_ += dy;
}

void ScriptedInput::TurnWheel(int steps) { pendingWheel_ += steps; }

void ScriptedInput::SetMouseButton(int button, bool down) {
  if (button >= 1 && button <= 3) buttons_[button - 1] = down;
}

void ScriptedInput::SetPointer(int x, int y) {
  pointerX_ = x;
  pointerY_ = y;
}

bool ScriptedInput::AdvancePass() {
  if (passes_.empty()) return false;
  const InputPass pass = std::move(passes_.front());
  passes_.pop_front();
  LiftAllKeys();
  for (int dik : pass.keysHeld) HoldKey(dik);
  buttons_[0] = pass.leftButton;
  buttons_[1] = pass.rightButton;
  buttons_[2] = pass.middleButton;
  MoveMouse(pass.moveX, pass.moveY);
  TurnWheel(pass.wheel);
  if (pass.pointer) SetPointer(pass.pointer->first, pass.pointer->second);
  return true;
}

bool ScriptedInput::ExamineKeyboard() {
  ++keyboardExamines_;
  if (!keyboardAcquired_) {
    keyboard_.Clear();
    return false;
  }
  keyboard_.Examine(liveKeys_);
  return true;
}

void ScriptedInput::CaptureMouse(bool captured) {
  if (captured && !captured_) ++captureCount_;
  captured_ = captured;
  pendingX_ = pendingY_ = pendingWheel_ = 0;
}

bool ScriptedInput::ExamineMouse() {
  if (!captured_) {
    deltaX_ = deltaY_ = wheelSteps_ = 0;
    pendingX_ = pendingY_ = pendingWheel_ = 0;
    return false;
  }
  deltaX_ = pendingX_;
  deltaY_ = pendingY_;
  wheelSteps_ = pendingWheel_;
  pendingX_ = pendingY_ = pendingWheel_ = 0;
  return true;
}

int ScriptedInput::IsMouseButtonDown(int button) {
  return button >= 1 && button <= 3 && buttons_[button - 1] ? 1 : 0;
}

void ScriptedInput::WarpPointerToClient(int x, int y) {
  warps_.emplace_back(x, y);
  pointerX_ = x;
  pointerY_ = y;
}

}  // namespace orelens::platform
