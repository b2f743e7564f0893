// OpenGL renderer: context on the host's window, the off-screen frame, sprites, flip and grabs.
#include "platform/engine3d/gl_renderer.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/display/screen_host.h"
#include "platform/engine3d/gl_shaders.h"

namespace orelens::platform {
namespace {

constexpr int kFallbackRefreshRate = 60;

}  // namespace

GlRenderer::~GlRenderer() {
  if (context_) CloseScreen();
}

bool GlRenderer::Start() {
  // The video subsystem may already run for the GUI; SDL counts the starts.
  return SDL_WasInit(SDL_INIT_VIDEO) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

bool GlRenderer::OpenScreen(ScreenHost* host, const ScreenArea& area) {
  if (!host || !host->NativeWindow()) return false;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  // A context the GUI made earlier keeps its textures usable in ours.
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, SDL_GL_GetCurrentContext() ? 1 : 0);
  SDL_GLContext context = SDL_GL_CreateContext(host->NativeWindow());
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  if (!context) return false;
  if (SDL_GL_MakeCurrent(host->NativeWindow(), context) != 0 || epoxy_gl_version() < 33) {
    SDL_GL_DeleteContext(context);
    return false;
  }
  host_ = host;
  window_ = host->NativeWindow();
  context_ = context;
  area_ = area;

  std::string error;
  surfaceProgram_ = BuildGlProgram(kSurfaceShader, error);
  shadowProgram_ = BuildGlProgram(kShadowDepthShader, error);
  skyProgram_ = BuildGlProgram(kSkyShader, error);
  spriteProgram_ = BuildGlProgram(kSpriteShader, error);
  if (!surfaceProgram_ || !shadowProgram_ || !skyProgram_ || !spriteProgram_ || !MakeFrame(area.width, area.height)) {
    SDL_Log("3D screen could not be made: %s", error.c_str());
    CloseScreen();
    return false;
  }
  emptyVertexArray_ = GlVertexArray(GenVertexArray());
  whiteTexture_ = GlTexture(GenTexture());
  const uint32_t white = 0xFFFFFFFF;
  glBindTexture(GL_TEXTURE_2D, whiteTexture_.id());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &white);
  // No anisotropic filtering on Mesa's software rasterisers: llvmpipe's anisotropic sampling
  // can run one rasteriser thread for minutes on a single tile (seen with degenerate texture
  // derivatives), which held the main thread inside the buffer flip; its plain trilinear
  // filtering is also several times cheaper.
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const bool softwareRasteriser = renderer != nullptr && (std::strstr(renderer, "llvmpipe") != nullptr ||
                                                          std::strstr(renderer, "softpipe") != nullptr);
  if (!softwareRasteriser &&
      (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") || epoxy_gl_version() >= 46)) {
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy_);
  }

  // Vsync paces the main loop: movement is a fixed amount per frame.
  vsyncActive_ = area.flipMode != 0 && SDL_GL_SetSwapInterval(1) == 0;
  if (area.flipMode == 0) SDL_GL_SetSwapInterval(0);
  SDL_DisplayMode mode{};
  const int refreshRate = SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate
                                                                                                 : kFallbackRefreshRate;
  frameTime_ = std::chrono::microseconds(1'000'000 / refreshRate);
  lastFlip_ = std::chrono::steady_clock::now();
  host_->SetSceneRedraw([this] { ShowFrame(); });
  return true;
}

void GlRenderer::CloseScreen() {
  if (!context_) return;
  SDL_GL_MakeCurrent(window_, context_);
  if (host_) host_->SetSceneRedraw({});
  cache_.Clear();
  frame_.Reset();
  frameColour_.Reset();
  frameDepth_.Reset();
  shadowFrame_.Reset();
  shadowDepth_.Reset();
  shadowSize_ = 0;
  surfaceProgram_.Reset();
  shadowProgram_.Reset();
  skyProgram_.Reset();
  spriteProgram_.Reset();
  emptyVertexArray_.Reset();
  whiteTexture_.Reset();
  for (GlSampler& sampler : samplers_) sampler.Reset();
  samplerAnisotropy_ = 0;
  SDL_GL_DeleteContext(context_);
  context_ = nullptr;
  window_ = nullptr;
  host_ = nullptr;
}

bool GlRenderer::MakeFrame(int width, int height) {
  frameColour_ = GlTexture(GenTexture());
  glBindTexture(GL_TEXTURE_2D, frameColour_.id());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  frameDepth_ = GlRenderbuffer(GenRenderbuffer());
  glBindRenderbuffer(GL_RENDERBUFFER, frameDepth_.id());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  frame_ = GlFramebuffer(GenFramebuffer());
  glBindFramebuffer(GL_FRAMEBUFFER, frame_.id());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frameColour_.id(), 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, frameDepth_.id());
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  area_.width = width;
  area_.height = height;
  return complete;
}

// The view fills the window's client area from its corner on, following the window's size.
void GlRenderer::FollowHostSize() {
  const int width = host_->ClientWidth() - area_.x, height = host_->ClientHeight() - area_.y;
  if (width > 0 && height > 0 && (width != area_.width || height != area_.height)) MakeFrame(width, height);
}

void GlRenderer::DrawSprite(const Sprite& sprite, int x, int y, int alpha) {
  if (!context_ || sprite.image.width <= 0) return;
  SDL_GL_MakeCurrent(window_, context_);
  const GLuint picture = cache_.SpriteTextureOf(sprite);
  glBindFramebuffer(GL_FRAMEBUFFER, frame_.id());
  glViewport(0, 0, area_.width, area_.height);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glDepthMask(GL_TRUE);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
  glUseProgram(spriteProgram_.id());
  glUniform4f(glGetUniformLocation(spriteProgram_.id(), "uRectangle"), float(x), float(y), float(sprite.image.width),
              float(sprite.image.height));
  glUniform2f(glGetUniformLocation(spriteProgram_.id(), "uFrameSize"), float(area_.width), float(area_.height));
  glUniform1f(glGetUniformLocation(spriteProgram_.id(), "uAlpha"), alpha / 255.0f);
  glUniform1i(glGetUniformLocation(spriteProgram_.id(), "uPicture"), 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, picture);
  glBindSampler(0, 0);
  glBindVertexArray(emptyVertexArray_.id());
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glBindVertexArray(0);
  glDisable(GL_BLEND);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void GlRenderer::ShowFrame() {
  if (!context_) return;
  SDL_GL_MakeCurrent(window_, context_);
  int drawableWidth = 0, drawableHeight = 0;
  SDL_GL_GetDrawableSize(window_, &drawableWidth, &drawableHeight);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glViewport(0, 0, drawableWidth, drawableHeight);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, frame_.id());
  // Window rows count from the top, GL rows from the bottom.
  const int top = host_->ClientTop() + area_.y;
  const int bottom = drawableHeight - top - area_.height;
  glBlitFramebuffer(0, 0, area_.width, area_.height, area_.x, bottom, area_.x + area_.width, bottom + area_.height,
                    GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void GlRenderer::Flip() {
  if (!context_) return;
  ShowFrame();
  host_->DrawGuiLayer();
  SDL_GL_MakeCurrent(window_, context_);
  SDL_GL_SwapWindow(window_);
  PaceFlip();
}

// Where the display does not sync although asked to (some drivers and virtual displays), the
// flip still sets the pace of the main loop, at the display's refresh rate. With working vsync
// the swap has waited already and no sleep follows.
void GlRenderer::PaceFlip() {
  const auto now = std::chrono::steady_clock::now();
  if (area_.flipMode == 2) {
    const auto elapsed = now - lastFlip_;
    const auto margin = vsyncActive_ ? frameTime_ / 5 : std::chrono::microseconds(0);
    if (elapsed < frameTime_ - margin) std::this_thread::sleep_for(frameTime_ - margin - elapsed);
  }
  lastFlip_ = std::chrono::steady_clock::now();
}

Image GlRenderer::Grab(int x, int y, int width, int height) {
  Image region(width, height, PackRgba(0, 0, 0));
  if (!context_) return region;
  SDL_GL_MakeCurrent(window_, context_);
  // The part of the region that lies inside the frame.
  const int left = std::max(x, 0), top = std::max(y, 0);
  const int right = std::min(x + width, area_.width), bottom = std::min(y + height, area_.height);
  if (left >= right || top >= bottom) return region;
  std::vector<uint32_t> rows(static_cast<size_t>(right - left) * (bottom - top));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, frame_.id());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(left, area_.height - bottom, right - left, bottom - top, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  const int rowWidth = right - left;
  for (int row = top; row < bottom; ++row) {
    const uint32_t* source = rows.data() + static_cast<size_t>(bottom - 1 - row) * rowWidth;
    for (int column = left; column < right; ++column) {
      region.at(column - x, row - y) = source[column - left] | 0xFF000000u;
    }
  }
  return region;
}

void GlRenderer::Release(uint64_t serial) {
  if (!context_) return;
  SDL_GL_MakeCurrent(window_, context_);
  cache_.Release(serial);
}

std::unique_ptr<Renderer> MakeOpenGlRenderer() { return std::make_unique<GlRenderer>(); }

}  // namespace orelens::platform
