#pragma once

#include <array>
#include <bitset>

namespace orelens::platform {

// The keyboard as seen by the passes of the main loop, indexed by DIK scan code.
// A key is released once, on the first pass that finds it up after a pass that found it down.
// A release belongs to that pass: one that the pass does not ask about is gone when the next
// pass examines the keyboard (a Return let go in browse mode never confirms a later marker).
// The one way to keep a release for the next pass is KeepReleaseForNextPass.
class KeyboardState {
 public:
  static constexpr int kKeyCount = 256;
  using Keys = std::bitset<kKeyCount>;

  // Takes the state of one pass; the releases of the pass before are dropped.
  void Examine(const Keys& held);
  // Forgets everything (keyboard lost): no key held, no release noted.
  void Clear();

  bool KeyDown(int dik) const;
  // True once per release, in the pass that found it.
  bool KeyReleased(int dik);
  // A release of this pass that this pass does not look at is reported on the next pass
  // instead (unless the key is down again by then).
  void KeepReleaseForNextPass(int dik);

 private:
  static bool Valid(int dik) { return dik >= 0 && dik < kKeyCount; }

  Keys held_;
  Keys released_;  // releases of the current pass not reported yet
  Keys kept_;      // releases handed on to the next pass
};

}  // namespace orelens::platform
