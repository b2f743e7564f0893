#pragma once

#include <array>
#include <bitset>

namespace orelens::platform {

// The keyboard as seen by the passes of the main loop, indexed by DIK scan code.
// A release is noted when a pass finds a key up that the previous pass found down, and stays
// noted until KeyReleased reports it (once) or the key goes down again: a key that is not
// asked about on the pass of its release is reported on a later pass.
class KeyboardState {
 public:
  static constexpr int kKeyCount = 256;
  using Keys = std::bitset<kKeyCount>;

  // Takes the state of one pass.
  void Examine(const Keys& held);
  // Forgets everything (keyboard lost): no key held, no release pending.
  void Clear();

  bool KeyDown(int dik) const;
  bool KeyReleased(int dik);

 private:
  static bool Valid(int dik) { return dik >= 0 && dik < kKeyCount; }

  Keys held_;
  Keys releasePending_;
};

}  // namespace orelens::platform
