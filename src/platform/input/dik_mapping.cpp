#include "platform/input/dik_mapping.h"

#include "platform/input/input.h"

namespace orelens::platform {

int DikFromSdlScancode(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_ESCAPE: return DIK_ESCAPE;
    case SDL_SCANCODE_1: return DIK_1;
    case SDL_SCANCODE_2: return DIK_2;
    case SDL_SCANCODE_3: return DIK_3;
    case SDL_SCANCODE_4: return DIK_4;
    case SDL_SCANCODE_5: return DIK_5;
    case SDL_SCANCODE_6: return DIK_6;
    case SDL_SCANCODE_7: return DIK_7;
    case SDL_SCANCODE_8: return DIK_8;
    case SDL_SCANCODE_9: return DIK_9;
    case SDL_SCANCODE_0: return DIK_0;
    case SDL_SCANCODE_MINUS: return DIK_MINUS;
    case SDL_SCANCODE_EQUALS: return DIK_EQUALS;
    case SDL_SCANCODE_BACKSPACE: return DIK_BACK;
    case SDL_SCANCODE_TAB: return DIK_TAB;
    case SDL_SCANCODE_Q: return DIK_Q;
    case SDL_SCANCODE_W: return DIK_W;
    case SDL_SCANCODE_E: return DIK_E;
    case SDL_SCANCODE_R: return DIK_R;
    case SDL_SCANCODE_T: return DIK_T;
    case SDL_SCANCODE_Y: return DIK_Y;
    case SDL_SCANCODE_U: return DIK_U;
    case SDL_SCANCODE_I: return DIK_I;
    case SDL_SCANCODE_O: return DIK_O;
    case SDL_SCANCODE_P: return DIK_P;
    case SDL_SCANCODE_LEFTBRACKET: return DIK_LBRACKET;
    case SDL_SCANCODE_RIGHTBRACKET: return DIK_RBRACKET;
    case SDL_SCANCODE_RETURN: return DIK_RETURN;
    case SDL_SCANCODE_LCTRL: return DIK_LCONTROL;
    case SDL_SCANCODE_A: return DIK_A;
    case SDL_SCANCODE_S: return DIK_S;
    case SDL_SCANCODE_D: return DIK_D;
    case SDL_SCANCODE_F: return DIK_F;
    case SDL_SCANCODE_G: return DIK_G;
    case SDL_SCANCODE_H: return DIK_H;
    case SDL_SCANCODE_J: return DIK_J;
    case SDL_SCANCODE_K: return DIK_K;
    case SDL_SCANCODE_L: return DIK_L;
    case SDL_SCANCODE_SEMICOLON: return DIK_SEMICOLON;
    case SDL_SCANCODE_APOSTROPHE: return DIK_APOSTROPHE;
    case SDL_SCANCODE_GRAVE: return DIK_GRAVE;
    case SDL_SCANCODE_LSHIFT: return DIK_LSHIFT;
    case SDL_SCANCODE_BACKSLASH: return DIK_BACKSLASH;
    case SDL_SCANCODE_Z: return DIK_Z;
    case SDL_SCANCODE_X: return DIK_X;
    case SDL_SCANCODE_C: return DIK_C;
    case SDL_SCANCODE_V: return DIK_V;
    case SDL_SCANCODE_B: return DIK_B;
    case SDL_SCANCODE_N: return DIK_N;
    case SDL_SCANCODE_M: return DIK_M;
    case SDL_SCANCODE_COMMA: return DIK_COMMA;
    case SDL_SCANCODE_PERIOD: return DIK_PERIOD;
    case SDL_SCANCODE_SLASH: return DIK_SLASH;
    case SDL_SCANCODE_RSHIFT: return DIK_RSHIFT;
    case SDL_SCANCODE_KP_MULTIPLY: return DIK_MULTIPLY;
    case SDL_SCANCODE_LALT: return DIK_LMENU;
    case SDL_SCANCODE_SPACE: return DIK_SPACE;
    case SDL_SCANCODE_CAPSLOCK: return DIK_CAPITAL;
    case SDL_SCANCODE_F1: return DIK_F1;
    case SDL_SCANCODE_F2: return DIK_F2;
    case SDL_SCANCODE_F3: return DIK_F3;
    case SDL_SCANCODE_F4: return DIK_F4;
    case SDL_SCANCODE_F5: return DIK_F5;
    case SDL_SCANCODE_F6: return DIK_F6;
    case SDL_SCANCODE_F7: return DIK_F7;
    case SDL_SCANCODE_F8: return DIK_F8;
    case SDL_SCANCODE_F9: return DIK_F9;
    case SDL_SCANCODE_F10: return DIK_F10;
    case SDL_SCANCODE_RCTRL: return DIK_RCONTROL;
    case SDL_SCANCODE_RALT: return DIK_RMENU;
    case SDL_SCANCODE_HOME: return DIK_HOME;
    case SDL_SCANCODE_UP: return DIK_UP;
    case SDL_SCANCODE_PAGEUP: return DIK_PRIOR;
    case SDL_SCANCODE_LEFT: return DIK_LEFT;
    case SDL_SCANCODE_RIGHT: return DIK_RIGHT;
    case SDL_SCANCODE_END: return DIK_END;
    case SDL_SCANCODE_DOWN: return DIK_DOWN;
    case SDL_SCANCODE_PAGEDOWN: return DIK_NEXT;
    case SDL_SCANCODE_INSERT: return DIK_INSERT;
    case SDL_SCANCODE_DELETE: return DIK_DELETE;
    default: return 0;
  }
}

}  // namespace orelens::platform
