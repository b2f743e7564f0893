#pragma once

// Owning handles for OpenGL objects: each deletes its object when it goes (the renderer's
// context must be current, which it always is on the main thread while the screen is open).

#include <epoxy/gl.h>

#include <utility>

namespace orelens::platform {

template <void (*Delete)(GLuint)>
class GlObject {
 public:
  GlObject() = default;
  explicit GlObject(GLuint id) : id_(id) {}
  ~GlObject() { Reset(); }
  GlObject(GlObject&& other) noexcept : id_(std::exchange(other.id_, 0)) {}
  GlObject& operator=(GlObject&& other) noexcept {
    if (this != &other) {
      Reset();
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  GlObject(const GlObject&) = delete;
  GlObject& operator=(const GlObject&) = delete;

  GLuint id() const { return id_; }
  explicit operator bool() const { return id_ != 0; }
  void Reset() {
    if (id_) Delete(id_);
    id_ = 0;
  }

 private:
  GLuint id_ = 0;
};

namespace gl_delete {
inline void Buffer(GLuint id) { glDeleteBuffers(1, &id); }
inline void VertexArray(GLuint id) { glDeleteVertexArrays(1, &id); }
inline void Texture(GLuint id) { glDeleteTextures(1, &id); }
inline void Framebuffer(GLuint id) { glDeleteFramebuffers(1, &id); }
inline void Renderbuffer(GLuint id) { glDeleteRenderbuffers(1, &id); }
inline void Sampler(GLuint id) { glDeleteSamplers(1, &id); }
inline void Program(GLuint id) { glDeleteProgram(id); }
}  // namespace gl_delete

using GlBuffer = GlObject<gl_delete::Buffer>;
using GlVertexArray = GlObject<gl_delete::VertexArray>;
using GlTexture = GlObject<gl_delete::Texture>;
using GlFramebuffer = GlObject<gl_delete::Framebuffer>;
using GlRenderbuffer = GlObject<gl_delete::Renderbuffer>;
using GlSampler = GlObject<gl_delete::Sampler>;
using GlProgram = GlObject<gl_delete::Program>;

inline GLuint GenBuffer() { GLuint id = 0; glGenBuffers(1, &id); return id; }
inline GLuint GenVertexArray() { GLuint id = 0; glGenVertexArrays(1, &id); return id; }
inline GLuint GenTexture() { GLuint id = 0; glGenTextures(1, &id); return id; }
inline GLuint GenFramebuffer() { GLuint id = 0; glGenFramebuffers(1, &id); return id; }
inline GLuint GenRenderbuffer() { GLuint id = 0; glGenRenderbuffers(1, &id); return id; }
inline GLuint GenSampler() { GLuint id = 0; glGenSamplers(1, &id); return id; }

}  // namespace orelens::platform
