#pragma once

#include <cstdint>
#include <memory>

#include "platform/image/image.h"

namespace orelens::platform {

class ScreenHost;
struct Scene;
struct Sprite;

struct ScreenArea {
  int x = 0, y = 0, width = 0, height = 0;
  int flipMode = 0;
};

// Draws the engine's scene. The engine owns the objects; a renderer keeps whatever copies it
// needs (GPU buffers, a CPU frame) keyed by the objects' serials.
class Renderer {
 public:
  virtual ~Renderer() = default;

  virtual bool Start() = 0;
  virtual bool OpenScreen(ScreenHost* host, const ScreenArea& area) = 0;
  virtual void CloseScreen() = 0;
  virtual bool IsScreenOpen() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;

  // Draws the scene into the frame. May hand geometry that it has copied to the GPU back to
  // the scene's memory (the batches are emptied).
  virtual void RenderWorld(Scene& scene) = 0;
  virtual void DrawSprite(const Sprite& sprite, int x, int y, int alpha) = 0;
  virtual void Flip() = 0;
  // The region of the frame last shown; outside the frame black.
  virtual Image Grab(int x, int y, int width, int height) = 0;
  // The object with this serial is gone: drop its copies.
  virtual void Release(uint64_t serial) = 0;
  // Draw calls the last RenderWorld made for the world (the shadow map's not counted).
  virtual int LastDrawCalls() const { return 0; }
  // Triangles those draw calls drew.
  virtual int64_t LastTrianglesDrawn() const { return 0; }
};

std::unique_ptr<Renderer> MakeHeadlessRenderer();
std::unique_ptr<Renderer> MakeOpenGlRenderer();

}  // namespace orelens::platform
