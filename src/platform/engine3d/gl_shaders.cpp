#include "platform/engine3d/gl_shaders.h"

#include <vector>

namespace orelens::platform {

const GlShaderSources kSurfaceShader = {R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec2 aUv;
layout(location = 2) in vec3 aNormal;
layout(location = 3) in vec4 aColour;
uniform mat4 uViewProjection;
uniform mat4 uModel;
uniform mat3 uNormalMatrix;
uniform mat4 uShadowMatrix;
out vec2 vUv;
out vec3 vNormal;
out vec4 vColour;
out vec3 vWorld;
out vec4 vShadowCoord;
void main() {
  vec4 world = uModel * vec4(aPosition, 1.0);
  vWorld = world.xyz;
  vNormal = uNormalMatrix * aNormal;
  vUv = aUv;
  vColour = aColour;
  vShadowCoord = uShadowMatrix * world;
  gl_Position = uViewProjection * world;
}
)",
                                        R"(#version 330 core
in vec2 vUv;
in vec3 vNormal;
in vec4 vColour;
in vec3 vWorld;
in vec4 vShadowCoord;
uniform sampler2D uTexture;
uniform sampler2DShadow uShadowMap;
uniform bool uBlended;
uniform vec3 uAmbient;
uniform bool uSunEnabled;
uniform vec3 uSunDirection;
uniform vec3 uSunColour;
uniform int uLightCount;
uniform vec3 uLightPositions[8];
uniform vec3 uLightColours[8];
uniform vec3 uCameraPosition;
uniform bool uFogEnabled;
uniform vec3 uFogColour;
uniform vec3 uFog;  // start, end, strength
uniform int uShadowMode;  // 0 off, 1 one sample, 2 filtered
uniform vec3 uShadowColour;
uniform float uShadowTexel;
out vec4 fragColour;

float SunVisibility() {
  if (uShadowMode == 0) return 1.0;
  vec3 p = vShadowCoord.xyz / vShadowCoord.w;
  if (p.x <= 0.0 || p.x >= 1.0 || p.y <= 0.0 || p.y >= 1.0 || p.z >= 1.0) return 1.0;
  p.z -= 0.0015;
  if (uShadowMode == 1) return texture(uShadowMap, p);
  float sum = 0.0;
  for (int y = -1; y <= 1; ++y)
    for (int x = -1; x <= 1; ++x) sum += texture(uShadowMap, p + vec3(x, y, 0.0) * uShadowTexel);
  return sum / 9.0;
}

void main() {
  vec4 surface = texture(uTexture, vUv) * vColour;
  if (uBlended) {
    if (surface.a < 0.004) discard;
  } else {
    surface.a = 1.0;
  }
  vec3 n = vNormal;
  float normalLength = length(n);
  bool hasNormal = normalLength > 0.01;
  if (hasNormal) n = (gl_FrontFacing ? n : -n) / normalLength;
  // The lights wrap around (half of the cosine plus a half): a face lit from above, one from the
  // side and one from below get clearly different shares, so the tops, sides and bottoms of
  // blocks read apart, and a lit top stays just below white for its shadow to show on.
  vec3 light = uAmbient * 0.45;
  for (int i = 0; i < uLightCount; ++i) {
    vec3 toLight = normalize(uLightPositions[i] - vWorld);
    light += uLightColours[i] * 0.25 * (hasNormal ? dot(n, toLight) * 0.5 + 0.5 : 0.6);
  }
  if (uSunEnabled) {
    // A surface turned away from the sun gets no sunlight to lose: only sunlit faces darken
    // toward the shadow colour.
    float sunFacing = hasNormal ? max(dot(n, uSunDirection), 0.0) : 0.6;
    float shade = (1.0 - SunVisibility()) * smoothstep(0.0, 0.2, sunFacing);
    light += uSunColour * 0.25 * sunFacing * (1.0 - shade);
    light *= mix(vec3(1.0), mix(uShadowColour, vec3(1.0), 0.5), shade);
  }
  vec3 colour = surface.rgb * min(light, vec3(1.0));
  if (uFogEnabled) {
    float amount = clamp((distance(vWorld, uCameraPosition) - uFog.x) / (uFog.y - uFog.x), 0.0, 1.0) * uFog.z;
    colour = mix(colour, uFogColour, amount);
  }
  fragColour = vec4(colour, surface.a);
}
)"};

const GlShaderSources kShadowDepthShader = {R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec2 aUv;
layout(location = 3) in vec4 aColour;
uniform mat4 uLightViewProjection;
out vec2 vUv;
out float vAlpha;
void main() {
  vUv = aUv;
  vAlpha = aColour.a;
  gl_Position = uLightViewProjection * vec4(aPosition, 1.0);
}
)",
                                            R"(#version 330 core
in vec2 vUv;
in float vAlpha;
uniform sampler2D uTexture;
uniform bool uAlphaTested;
void main() {
  // Leaves, glass panes and flames hide the sun where their texels are nearly opaque; water and
  // other see-through surfaces (alpha about 0.6) let it through.
  if (uAlphaTested && texture(uTexture, vUv).a * vAlpha < 0.7) discard;
}
)"};

const GlShaderSources kSkyShader = {R"(#version 330 core
out vec2 vNdc;
void main() {
  vec2 corners[3] = vec2[3](vec2(-1.0, -1.0), vec2(3.0, -1.0), vec2(-1.0, 3.0));
  vNdc = corners[gl_VertexID];
  gl_Position = vec4(vNdc, 1.0, 1.0);
}
)",
                                    R"(#version 330 core
in vec2 vNdc;
uniform mat4 uInverseViewProjection;
uniform vec3 uBackColour;
uniform bool uDomeEnabled;
uniform sampler2D uClouds;
uniform float uTiling;
out vec4 fragColour;
void main() {
  vec4 nearPoint = uInverseViewProjection * vec4(vNdc, -1.0, 1.0);
  vec4 farPoint = uInverseViewProjection * vec4(vNdc, 1.0, 1.0);
  vec3 direction = normalize(farPoint.xyz / farPoint.w - nearPoint.xyz / nearPoint.w);
  vec3 colour = uBackColour;
  if (uDomeEnabled && direction.y > 0.0) {
    // The dome is flattened like a cloud layer: texture coordinates spread toward the horizon.
    vec2 uv = direction.xz / (direction.y + 0.15) * (uTiling * 0.1);
    vec4 clouds = texture(uClouds, uv);
    colour = mix(uBackColour, clouds.rgb, clouds.a * smoothstep(0.0, 0.2, direction.y));
  }
  fragColour = vec4(colour, 1.0);
}
)"};

const GlShaderSources kSpriteShader = {R"(#version 330 core
uniform vec4 uRectangle;  // left, top, width, height in frame pixels
uniform vec2 uFrameSize;
out vec2 vUv;
void main() {
  vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);
  vec2 pixel = uRectangle.xy + corner * uRectangle.zw;
  vUv = corner;
  gl_Position = vec4(pixel.x / uFrameSize.x * 2.0 - 1.0, 1.0 - pixel.y / uFrameSize.y * 2.0, 0.0, 1.0);
}
)",
                                       R"(#version 330 core
in vec2 vUv;
uniform sampler2D uPicture;
uniform float uAlpha;
out vec4 fragColour;
void main() {
  vec4 texel = texture(uPicture, vUv);
  fragColour = vec4(texel.rgb, texel.a * uAlpha);
}
)"};

namespace {

GLuint CompileShader(GLenum type, const char* source, std::string& error) {
  const GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1));
  glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
  error = log.data();
  glDeleteShader(shader);
  return 0;
}

}  // namespace

GlProgram BuildGlProgram(const GlShaderSources& sources, std::string& error) {
  const GLuint vertex = CompileShader(GL_VERTEX_SHADER, sources.vertex, error);
  if (!vertex) return GlProgram();
  const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, sources.fragment, error);
  if (!fragment) {
    glDeleteShader(vertex);
    return GlProgram();
  }
  GlProgram program(glCreateProgram());
  glAttachShader(program.id(), vertex);
  glAttachShader(program.id(), fragment);
  glLinkProgram(program.id());
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(program.id(), GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    GLint length = 0;
    glGetProgramiv(program.id(), GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1));
    glGetProgramInfoLog(program.id(), static_cast<GLsizei>(log.size()), nullptr, log.data());
    error = log.data();
    return GlProgram();
  }
  return program;
}

}  // namespace orelens::platform
