#pragma once

#include <string>

#include "platform/engine3d/gl_objects.h"

namespace orelens::platform {

// Vertex attribute slots shared by every program that draws meshes and geometry.
enum GlAttribute : GLuint { kAttributePosition = 0, kAttributeUv = 1, kAttributeNormal = 2, kAttributeColour = 3 };

// Lights beyond this count are left out of a frame.
constexpr int kMaxShaderLights = 8;

struct GlShaderSources {
  const char* vertex;
  const char* fragment;
};

// Lit, textured, fogged and shadowed surfaces: static geometry and entities.
extern const GlShaderSources kSurfaceShader;
// Depth only, seen from the sun: the shadow map.
extern const GlShaderSources kShadowDepthShader;
// The sky: the background colour with the cloud dome over the horizon.
extern const GlShaderSources kSkyShader;
// A picture at a pixel rectangle of the frame: sprites.
extern const GlShaderSources kSpriteShader;

// Compiles and links; an empty program and the compiler's message on failure.
GlProgram BuildGlProgram(const GlShaderSources& sources, std::string& error);

}  // namespace orelens::platform
