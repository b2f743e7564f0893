#pragma once

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "platform/input/input.h"
#include "platform/input/keyboard_state.h"

namespace orelens::platform {

// What the devices do during one main-loop pass.
struct InputPass {
  std::vector<int> keysHeld;                    // DIK codes held during the pass (all others up)
  bool leftButton = false, rightButton = false, middleButton = false;
  int moveX = 0, moveY = 0, wheel = 0;          // counts added to the mouse's pending movement
  std::optional<std::pair<int, int>> pointer;  // client position; unset keeps the last one
};

// Keyboard and mouse for tests, without a display. The test sets the devices' state directly
// (HoldKey, MoveMouse, ...) or queues whole passes and steps through them with AdvancePass
// (ScriptedGui::SetPollHook can do that once per main-loop pass).
//
// Like the real devices: keys are read by ExamineKeyboard (false and nothing held while the
// keyboard is not acquired); movement and wheel steps gather until ExamineMouse takes them,
// and only while the mouse is captured (movement made while it is free is lost). Main thread
// only.
class ScriptedInput : public Input {
 public:
  // ---- the devices ----
  void SetKeyboardAcquired(bool acquired) { keyboardAcquired_ = acquired; }
  void HoldKey(int dik);
  void LiftKey(int dik);
  void LiftAllKeys() { liveKeys_.reset(); }
  void MoveMouse(int dx, int dy);
  void TurnWheel(int steps);
  void SetMouseButton(int button, bool down);
  void SetPointer(int x, int y);  // client position, -1 outside

  // ---- script ----
  void QueuePass(InputPass pass) { passes_.push_back(std::move(pass)); }
  // Applies the next queued pass; false (nothing changed) when none is left.
  bool AdvancePass();
  size_t PassesLeft() const { return passes_.size(); }

  // ---- records ----
  bool IsCaptured() const { return captured_; }
  int CaptureCount() const { return captureCount_; }
  const std::vector<std::pair<int, int>>& Warps() const { return warps_; }
  int KeyboardExamineCount() const { return keyboardExamines_; }

  // ---- Input ----
  bool ExamineKeyboard() override;
  bool KeyDown(int dik) override { return keyboard_.KeyDown(dik); }
  bool KeyReleased(int dik) override { return keyboard_.KeyReleased(dik); }
  void KeepReleaseForNextPass(int dik) override { keyboard_.KeepReleaseForNextPass(dik); }
  void IgnoreKeysDownNow() override { keyboard_.IgnoreUntilReleased(liveKeys_); }
  void CaptureMouse(bool captured) override;
  bool ExamineMouse() override;
  int MouseDeltaX() override { return deltaX_; }
  int MouseDeltaY() override { return deltaY_; }
  int MouseWheel() override { return wheelSteps_; }
  int IsMouseButtonDown(int button) override;
  int WindowMouseX() override { return pointerX_; }
  int WindowMouseY() override { return pointerY_; }
  void WarpPointerToClient(int x, int y) override;

 private:
  bool keyboardAcquired_ = true;
  KeyboardState::Keys liveKeys_;
  KeyboardState keyboard_;
  bool buttons_[3] = {false, false, false};  // left, right, middle
  int pointerX_ = -1, pointerY_ = -1;
  int pendingX_ = 0, pendingY_ = 0, pendingWheel_ = 0;
  int deltaX_ = 0, deltaY_ = 0, wheelSteps_ = 0;
  bool captured_ = false;
  int captureCount_ = 0;
  int keyboardExamines_ = 0;
  std::vector<std::pair<int, int>> warps_;
  std::deque<InputPass> passes_;
};

}  // namespace orelens::platform
