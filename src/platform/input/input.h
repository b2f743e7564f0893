#pragma once

namespace orelens::platform {

// DirectInput scan codes, the key numbers the program uses.
enum DikKey : int {
  DIK_ESCAPE = 0x01, DIK_1 = 0x02, DIK_2 = 0x03, DIK_3 = 0x04, DIK_4 = 0x05, DIK_5 = 0x06,
  DIK_6 = 0x07, DIK_7 = 0x08, DIK_8 = 0x09, DIK_9 = 0x0A, DIK_0 = 0x0B, DIK_MINUS = 0x0C,
  DIK_EQUALS = 0x0D, DIK_BACK = 0x0E, DIK_TAB = 0x0F, DIK_Q = 0x10, DIK_W = 0x11, DIK_E = 0x12,
  DIK_R = 0x13, DIK_T = 0x14, DIK_Y = 0x15, DIK_U = 0x16, DIK_I = 0x17, DIK_O = 0x18, DIK_P = 0x19,
  DIK_LBRACKET = 0x1A, DIK_RBRACKET = 0x1B, DIK_RETURN = 0x1C, DIK_LCONTROL = 0x1D, DIK_A = 0x1E,
  DIK_S = 0x1F, DIK_D = 0x20, DIK_F = 0x21, DIK_G = 0x22, DIK_H = 0x23, DIK_J = 0x24, DIK_K = 0x25,
  DIK_L = 0x26, DIK_SEMICOLON = 0x27, DIK_APOSTROPHE = 0x28, DIK_GRAVE = 0x29, DIK_LSHIFT = 0x2A,
  DIK_BACKSLASH = 0x2B, DIK_Z = 0x2C, DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30,
  DIK_N = 0x31, DIK_M = 0x32, DIK_COMMA = 0x33, DIK_PERIOD = 0x34, DIK_SLASH = 0x35,
  DIK_RSHIFT = 0x36, DIK_MULTIPLY = 0x37, DIK_LMENU = 0x38, DIK_SPACE = 0x39, DIK_CAPITAL = 0x3A,
  DIK_F1 = 0x3B, DIK_F2 = 0x3C, DIK_F3 = 0x3D, DIK_F4 = 0x3E, DIK_F5 = 0x3F, DIK_F6 = 0x40,
  DIK_F7 = 0x41, DIK_F8 = 0x42, DIK_F9 = 0x43, DIK_F10 = 0x44, DIK_RCONTROL = 0x9D,
  DIK_RMENU = 0xB8, DIK_HOME = 0xC7, DIK_UP = 0xC8, DIK_PRIOR = 0xC9, DIK_LEFT = 0xCB,
  DIK_RIGHT = 0xCD, DIK_END = 0xCF, DIK_DOWN = 0xD0, DIK_NEXT = 0xD1, DIK_INSERT = 0xD2,
  DIK_DELETE = 0xD3,
};

// Keyboard and mouse as the main loop reads them, once per pass.
class Input {
 public:
  virtual ~Input() = default;

  // Reads the keyboard state for this pass; false when the keyboard is not acquired
  // (the main window does not have the keyboard focus).
  virtual bool ExamineKeyboard() = 0;
  // Held in the state read by the last ExamineKeyboard.
  virtual bool KeyDown(int dik) = 0;
  // True once, on the first examined pass that finds the key up after a pass that found it down.
  // A release that its pass does not ask about is gone at the next ExamineKeyboard.
  virtual bool KeyReleased(int dik) = 0;
  // Hands a release of this pass, not looked at here, on to the next pass.
  virtual void KeepReleaseForNextPass(int dik) = 0;
  // A message box or requester has just closed: the keys down now count as neither held nor
  // released until they have been let go (KeyboardState::IgnoreUntilReleased).
  virtual void IgnoreKeysDownNow() = 0;

  // Captures (exclusive: hidden cursor, relative movement) or releases the mouse.
  virtual void CaptureMouse(bool captured) = 0;
  // Reads this pass's movement and wheel steps; false while the mouse is not captured.
  virtual bool ExamineMouse() = 0;
  virtual int MouseDeltaX() = 0;
  virtual int MouseDeltaY() = 0;
  virtual int MouseWheel() = 0;

  // 1 while the button is held (1 left, 2 right, 3 middle), else 0; swapped buttons honoured.
  virtual int IsMouseButtonDown(int button) = 0;
  // Pointer position in window 0's client area, -1 when outside.
  virtual int WindowMouseX() = 0;
  virtual int WindowMouseY() = 0;
  // Puts the pointer at a position of window 0's client area.
  virtual void WarpPointerToClient(int x, int y) = 0;
};

}  // namespace orelens::platform
