#pragma once

#include <atomic>

#include "platform/input/input.h"
#include "platform/input/keyboard_state.h"

union SDL_Event;

namespace orelens::platform {

class SdlGui;

// Keyboard and mouse of the main window through SDL. The keyboard counts as acquired while
// the main window has the keyboard focus; the captured mouse is SDL's relative mode (cursor
// hidden and held in the window). A press that begins over the GUI layer (menu bar, a window,
// an open menu) belongs to the GUI until it is let go: the 3D view never sees it.
// Main thread only.
class SdlInput : public Input {
 public:
  explicit SdlInput(SdlGui& gui);
  ~SdlInput() override;
  SdlInput(const SdlInput&) = delete;
  SdlInput& operator=(const SdlInput&) = delete;

  bool ExamineKeyboard() override;
  bool KeyDown(int dik) override { return keyboard_.KeyDown(dik); }
  bool KeyReleased(int dik) override { return keyboard_.KeyReleased(dik); }
  void KeepReleaseForNextPass(int dik) override { keyboard_.KeepReleaseForNextPass(dik); }
  void IgnoreKeysDownNow() override { keyboard_.IgnoreUntilReleased(KeysDownNow()); }

  void CaptureMouse(bool captured) override;
  bool ExamineMouse() override;
  int MouseDeltaX() override { return deltaX_; }
  int MouseDeltaY() override { return deltaY_; }
  int MouseWheel() override { return wheelSteps_; }

  int IsMouseButtonDown(int button) override;
  int WindowMouseX() override;
  int WindowMouseY() override;
  void WarpPointerToClient(int x, int y) override;

 private:
  static int WatchEvent(void* self, SDL_Event* event);
  bool ClientPointer(int& x, int& y);
  // The keys SDL holds down after taking the pending events, as DIK codes.
  KeyboardState::Keys KeysDownNow();

  SdlGui& gui_;
  KeyboardState keyboard_;
  bool captured_ = false;
  int deltaX_ = 0, deltaY_ = 0, wheelSteps_ = 0;
  // Filled by the SDL event watch, which runs on the thread that pumps SDL's events; atomics
  // because a user event pushed by another thread also passes through the watch.
  std::atomic<int> pendingWheel_{0};
  std::atomic<bool> pressOwnedByGui_[3] = {false, false, false};
};

}  // namespace orelens::platform
