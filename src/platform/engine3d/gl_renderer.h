#pragma once

// The OpenGL 3.3 core renderer. The 3D view is drawn into an off-screen frame (colour and
// depth) that the flip copies into the window below the menu bar; the frame stays intact after
// the flip, so grabs read the picture just shown and modal GUI loops can show it again.

#include <SDL.h>

#include <array>
#include <chrono>
#include <glm/glm.hpp>
#include <string>
#include <vector>

#include "platform/engine3d/gl_gpu_cache.h"
#include "platform/engine3d/gl_objects.h"
#include "platform/engine3d/renderer.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {

class GlRenderer final : public Renderer {
 public:
  GlRenderer() = default;
  ~GlRenderer() override;

  bool Start() override;
  bool OpenScreen(ScreenHost* host, const ScreenArea& area) override;
  void CloseScreen() override;
  bool IsScreenOpen() const override { return context_ != nullptr; }
  int Width() const override { return area_.width; }
  int Height() const override { return area_.height; }

  void RenderWorld(Scene& scene) override;
  void DrawSprite(const Sprite& sprite, int x, int y, int alpha) override;
  void Flip() override;
  Image Grab(int x, int y, int width, int height) override;
  void Release(uint64_t serial) override;

  int LastDrawCalls() const override { return drawCalls_; }
  int64_t LastTrianglesDrawn() const override { return trianglesDrawn_; }

 private:
  struct DrawItem;

  bool MakeFrame(int width, int height);
  bool MakeShadowMap(int size);
  void FollowHostSize();
  void ShowFrame();  // copies the frame into the window
  void PaceFlip();

  // World drawing (gl_world_pass.cpp).
  void DrawCameraView(Scene& scene, const Camera& camera);
  void DrawSky(const Scene& scene, const Camera& camera, const glm::mat4& viewProjection);
  glm::mat4 DrawShadowMap(Scene& scene, const Camera& camera);
  void DrawItems(const Scene& scene, std::vector<DrawItem>& items, bool blended);
  void BindMaterial(const Scene& scene, const Material& material);
  void BindMaterialPicture(const Scene& scene, const Material& material);  // texture and sampler
  GLuint SamplerFor(const Scene& scene, const Material& material);

  ScreenHost* host_ = nullptr;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  ScreenArea area_;
  GlGpuCache cache_;

  GlFramebuffer frame_;
  GlTexture frameColour_;
  GlRenderbuffer frameDepth_;

  GlFramebuffer shadowFrame_;
  GlTexture shadowDepth_;
  int shadowSize_ = 0;

  GlProgram surfaceProgram_, shadowProgram_, skyProgram_, spriteProgram_;
  GlVertexArray emptyVertexArray_;     // for the programs that make their own vertices
  GlTexture whiteTexture_;             // for materials without a picture
  std::array<GlSampler, 4> samplers_;  // nearest, bilinear, trilinear, anisotropic
  int samplerAnisotropy_ = 0;          // the level samplers_[3] was made with
  float maxAnisotropy_ = 1.0f;

  int drawCalls_ = 0;
  int64_t trianglesDrawn_ = 0;
  std::chrono::steady_clock::time_point lastFlip_{};
  std::chrono::microseconds frameTime_{16667};  // one refresh of the display
  bool vsyncActive_ = false;
};

}  // namespace orelens::platform
