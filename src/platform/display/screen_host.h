#pragma once

#include <functional>

struct SDL_Window;

namespace orelens::platform {

// The window that the 3D screen renders into, seen from the engine.
// The GUI owns the native window (window 0); the engine owns the GL context it makes on it.
class ScreenHost {
 public:
  virtual ~ScreenHost() = default;

  // The main window's SDL window, created with SDL_WINDOW_OPENGL; nullptr when there is no display.
  virtual SDL_Window* NativeWindow() = 0;

  // Pixel rows at the top of the window taken by the menu bar. The 3D view and every client
  // coordinate (mouse position, screen size) start below them.
  virtual int ClientTop() = 0;
  virtual int ClientWidth() = 0;
  virtual int ClientHeight() = 0;

  // Called by the engine's flip after the 3D view and the sprites are drawn and before the
  // buffers are swapped: the GUI draws its menu bar and windows here.
  virtual void DrawGuiLayer() = 0;

  // The engine registers how to draw its last frame again (3D view and sprites, no GUI layer,
  // no swap). Modal loops of the GUI (message boxes, requesters) call it, then DrawGuiLayer,
  // then swap, so the view stays on screen while they wait.
  virtual void SetSceneRedraw(std::function<void()> redraw) = 0;
};

}  // namespace orelens::platform
