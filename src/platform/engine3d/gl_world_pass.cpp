// OpenGL renderer: one frame of the world. Per camera: the sky, the shadow map from the sun,
// then static geometry and entities, opaque materials first and alpha-blended ones after,
// farthest first.
#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/gl_renderer.h"
#include "platform/engine3d/gl_shaders.h"

namespace orelens::platform {

struct GlRenderer::DrawItem {
  GLuint vertexArray = 0;
  GLsizei indexCount = 0;
  size_t indexOffsetBytes = 0;
  GLint baseVertex = 0;
  const Material* material = nullptr;
  glm::mat4 model{1.0f};
  glm::mat3 normalMatrix{1.0f};
  float distance = 0.0f;  // from the camera, for the order of blended items
  bool placed = false;    // an entity with its own model matrix; geometry is in world space
};

namespace {

constexpr int kSimpleShadowMapSize = 1024;
constexpr int kAdvancedShadowMapSize = 2048;
constexpr float kShadowDepthReach = 600.0f;  // how far above and below the view the sun's box reaches

struct Frustum {
  std::array<glm::vec4, 6> planes;

  explicit Frustum(const glm::mat4& m) {
    const glm::mat4 t = glm::transpose(m);
    planes = {t[3] + t[0], t[3] - t[0], t[3] + t[1], t[3] - t[1], t[3] + t[2], t[3] - t[2]};
  }
  bool Touches(glm::vec3 boxMin, glm::vec3 boxMax) const {
    for (const glm::vec4& plane : planes) {
      const glm::vec3 farthest(plane.x >= 0 ? boxMax.x : boxMin.x, plane.y >= 0 ? boxMax.y : boxMin.y,
                               plane.z >= 0 ? boxMax.z : boxMin.z);
      if (glm::dot(glm::vec3(plane), farthest) + plane.w < 0.0f) return false;
    }
    return true;
  }
};

GLint Uniform(const GlProgram& program, const char* name) {
  return glGetUniformLocation(program.id(), name);
}

bool IsBlended(const Material& material) {
  return material.blending == kBlendAlpha;
}

}  // namespace

void GlRenderer::RenderWorld(Scene& scene) {
  if (!context_) return;
  SDL_GL_MakeCurrent(window_, context_);
  FollowHostSize();
  drawCalls_ = 0;
  trianglesDrawn_ = 0;
  glBindFramebuffer(GL_FRAMEBUFFER, frame_.id());
  glViewport(0, 0, area_.width, area_.height);
  glDisable(GL_SCISSOR_TEST);
  glDepthMask(GL_TRUE);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (const Camera& camera : scene.cameras) {
    if (camera.exists.load(std::memory_order_relaxed)) DrawCameraView(scene, camera);
  }
  glDisable(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void GlRenderer::DrawCameraView(Scene& scene, const Camera& camera) {
  const PixelRect rect = CameraViewportPixels(camera, area_.width, area_.height);
  if (rect.width <= 0 || rect.height <= 0) return;
  const WorldSettings& world = scene.world;
  const glm::mat4 view = CameraView(camera);
  const glm::mat4 projection = CameraProjection(camera, float(rect.width) / float(rect.height));
  const glm::mat4 viewProjection = projection * view;
  const glm::vec3 eye = camera.Position();

  const bool shadows = world.shadows.mode > 0 && world.sunEnabled;
  const glm::mat4 shadowMatrix = shadows ? DrawShadowMap(scene, camera) : glm::mat4(1.0f);

  glBindFramebuffer(GL_FRAMEBUFFER, frame_.id());
  const int glBottom = area_.height - rect.y - rect.height;
  glViewport(rect.x, glBottom, rect.width, rect.height);
  glEnable(GL_SCISSOR_TEST);
  glScissor(rect.x, glBottom, rect.width, rect.height);
  glDepthMask(GL_TRUE);
  glClear(GL_DEPTH_BUFFER_BIT);
  DrawSky(scene, camera, projection * glm::mat4(glm::mat3(view)));

  // What this camera sees.
  std::vector<DrawItem> opaque, blended;
  const Frustum frustum(viewProjection);
  scene.geometries.ForEach([&](int, StaticGeometry& geometry) {
    if (geometry.builtRevision == 0 || !frustum.Touches(geometry.boundsMin, geometry.boundsMax)) return;
    const GlGeometryCopy* copy = cache_.GeometryOf(geometry, scene.spareBatches);
    if (!copy) return;
    const float distance = glm::distance(eye, (geometry.boundsMin + geometry.boundsMax) * 0.5f);
    for (const GlGeometryPart& part : copy->parts) {
      for (const GlDrawRange& range : part.ranges) {
        const Material* material = scene.materials.FindKey(range.materialKey);
        if (!material) continue;
        DrawItem item{part.vertexArray.id(), range.indexCount, range.indexOffsetBytes, range.baseVertex,
                      material};
        item.distance = distance;
        (IsBlended(*material) ? blended : opaque).push_back(item);
      }
    }
  });
  scene.entities.ForEach([&](int, const Entity& entity) {
    if (entity.hidden) return;
    const Mesh* mesh = scene.meshes.FindKey(entity.meshKey);
    const Material* material = scene.materials.FindKey(entity.materialKey);
    const GlMeshCopy* copy = mesh && material ? cache_.MeshOf(*mesh) : nullptr;
    if (!copy) return;
    const glm::vec3 origin = EntityOrigin(scene, entity);
    DrawItem item{copy->vertexArray.id(), copy->indexCount, 0, 0, material};
    item.model = glm::scale(glm::translate(glm::mat4(1.0f), origin), entity.scale);
    item.normalMatrix = glm::inverseTranspose(glm::mat3(item.model));
    item.placed = true;
    item.distance = glm::distance(eye, origin);
    (IsBlended(*material) ? blended : opaque).push_back(item);
  });

  // Settings shared by every surface of the view.
  const GLuint program = surfaceProgram_.id();
  glUseProgram(program);
  glUniformMatrix4fv(Uniform(surfaceProgram_, "uViewProjection"), 1, GL_FALSE,
                     glm::value_ptr(viewProjection));
  glUniformMatrix4fv(Uniform(surfaceProgram_, "uShadowMatrix"), 1, GL_FALSE, glm::value_ptr(shadowMatrix));
  glUniform3fv(Uniform(surfaceProgram_, "uAmbient"), 1, glm::value_ptr(RgbToColor(world.ambientRgb)));
  glUniform1i(Uniform(surfaceProgram_, "uSunEnabled"), world.sunEnabled);
  const float sunLength = glm::length(world.sunPosition);
  const glm::vec3 sunDirection = sunLength > 0.0f ? world.sunPosition / sunLength : glm::vec3(0, 1, 0);
  glUniform3fv(Uniform(surfaceProgram_, "uSunDirection"), 1, glm::value_ptr(sunDirection));
  glUniform3fv(Uniform(surfaceProgram_, "uSunColour"), 1, glm::value_ptr(RgbToColor(world.sunRgb)));
  std::vector<glm::vec3> lightPositions, lightColours;
  scene.lights.ForEach([&](int, const Light& light) {
    if (lightPositions.size() >= size_t(kMaxShaderLights)) return;
    lightPositions.push_back(light.position);
    lightColours.push_back(RgbToColor(light.diffuse));
  });
  glUniform1i(Uniform(surfaceProgram_, "uLightCount"), static_cast<GLint>(lightPositions.size()));
  if (!lightPositions.empty()) {
    const auto count = static_cast<GLsizei>(lightPositions.size());
    glUniform3fv(Uniform(surfaceProgram_, "uLightPositions"), count, glm::value_ptr(lightPositions[0]));
    glUniform3fv(Uniform(surfaceProgram_, "uLightColours"), count, glm::value_ptr(lightColours[0]));
  }
  glUniform3fv(Uniform(surfaceProgram_, "uCameraPosition"), 1, glm::value_ptr(eye));
  glUniform1i(Uniform(surfaceProgram_, "uFogEnabled"), world.fog.enabled);
  glUniform3fv(Uniform(surfaceProgram_, "uFogColour"), 1, glm::value_ptr(RgbToColor(world.fog.rgb)));
  glUniform3f(Uniform(surfaceProgram_, "uFog"), world.fog.start, world.fog.end, world.fog.intensity);
  glUniform1i(Uniform(surfaceProgram_, "uShadowMode"), shadows ? world.shadows.mode : 0);
  glUniform3fv(Uniform(surfaceProgram_, "uShadowColour"), 1, glm::value_ptr(RgbToColor(world.shadows.rgb)));
  glUniform1f(Uniform(surfaceProgram_, "uShadowTexel"), shadowSize_ > 0 ? 1.0f / shadowSize_ : 0.0f);
  glUniform1i(Uniform(surfaceProgram_, "uTexture"), 0);
  glUniform1i(Uniform(surfaceProgram_, "uShadowMap"), 1);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, shadows ? shadowDepth_.id() : 0);
  glActiveTexture(GL_TEXTURE0);

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glFrontFace(GL_CCW);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  // Fewer texture and state changes: opaque surfaces go by material.
  std::sort(opaque.begin(), opaque.end(), [](const DrawItem& a, const DrawItem& b) {
    return a.material != b.material ? a.material < b.material : a.vertexArray < b.vertexArray;
  });
  DrawItems(scene, opaque, false);

  std::sort(blended.begin(), blended.end(),
            [](const DrawItem& a, const DrawItem& b) { return a.distance > b.distance; });
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
  glDepthMask(GL_FALSE);
  DrawItems(scene, blended, true);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glBindVertexArray(0);
  glBindSampler(0, 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
}

void GlRenderer::DrawItems(const Scene& scene, std::vector<DrawItem>& items, bool blended) {
  const GLint model = Uniform(surfaceProgram_, "uModel");
  const GLint normalMatrix = Uniform(surfaceProgram_, "uNormalMatrix");
  glUniform1i(Uniform(surfaceProgram_, "uBlended"), blended);
  const Material* bound = nullptr;
  GLuint boundVertexArray = 0;
  bool worldSpace = false;  // the matrices set are the identity
  for (const DrawItem& item : items) {
    if (item.material != bound) {
      BindMaterial(scene, *item.material);
      bound = item.material;
    }
    if (item.placed || !worldSpace) {
      glUniformMatrix4fv(model, 1, GL_FALSE, glm::value_ptr(item.model));
      glUniformMatrix3fv(normalMatrix, 1, GL_FALSE, glm::value_ptr(item.normalMatrix));
      worldSpace = !item.placed;
    }
    if (item.vertexArray != boundVertexArray) {
      glBindVertexArray(item.vertexArray);
      boundVertexArray = item.vertexArray;
    }
    glDrawElementsBaseVertex(GL_TRIANGLES, item.indexCount, GL_UNSIGNED_INT,
                             reinterpret_cast<const void*>(item.indexOffsetBytes), item.baseVertex);
    ++drawCalls_;
    trianglesDrawn_ += item.indexCount / 3;
  }
}

void GlRenderer::BindMaterialPicture(const Scene& scene, const Material& material) {
  const Texture* texture = scene.textures.FindKey(material.textureKey);
  glBindTexture(GL_TEXTURE_2D, texture ? cache_.TextureOf(*texture) : whiteTexture_.id());
  glBindSampler(0, SamplerFor(scene, material));
}

void GlRenderer::BindMaterial(const Scene& scene, const Material& material) {
  BindMaterialPicture(scene, material);
  if (material.culling == kCullNone) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
  }
}

GLuint GlRenderer::SamplerFor(const Scene& scene, const Material& material) {
  const int filter = std::clamp(material.filter >= 0 ? material.filter : scene.world.defaultFilter, 0, 3);
  const int anisotropy = material.anisotropy > 0 ? material.anisotropy : scene.world.defaultAnisotropy;
  GlSampler& sampler = samplers_[filter];
  if (sampler && (filter != 3 || samplerAnisotropy_ == anisotropy)) return sampler.id();
  sampler = GlSampler(GenSampler());
  const GLuint id = sampler.id();
  glSamplerParameteri(id, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glSamplerParameteri(id, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glSamplerParameteri(id, GL_TEXTURE_MAG_FILTER, filter == 0 ? GL_NEAREST : GL_LINEAR);
  const GLint minFilter[] = {GL_NEAREST, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR,
                             GL_LINEAR_MIPMAP_LINEAR};
  glSamplerParameteri(id, GL_TEXTURE_MIN_FILTER, minFilter[filter]);
  if (filter == 3) {
    samplerAnisotropy_ = anisotropy;
    if (maxAnisotropy_ > 1.0f) {
      glSamplerParameterf(id, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min(float(anisotropy), maxAnisotropy_));
    }
  }
  return id;
}

void GlRenderer::DrawSky(const Scene& scene, const Camera& camera,
                         const glm::mat4& rotationOnlyViewProjection) {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glUseProgram(skyProgram_.id());
  glUniformMatrix4fv(Uniform(skyProgram_, "uInverseViewProjection"), 1, GL_FALSE,
                     glm::value_ptr(glm::inverse(rotationOnlyViewProjection)));
  glUniform3fv(Uniform(skyProgram_, "uBackColour"), 1, glm::value_ptr(RgbToColor(camera.backRgb)));
  const Texture* clouds = scene.textures.FindKey(scene.world.skyTextureKey);
  glUniform1i(Uniform(skyProgram_, "uDomeEnabled"), clouds != nullptr);
  glUniform1f(Uniform(skyProgram_, "uTiling"), scene.world.skyTiling);
  glUniform1i(Uniform(skyProgram_, "uClouds"), 0);
  glActiveTexture(GL_TEXTURE0);
  if (clouds) {
    glBindTexture(GL_TEXTURE_2D, cache_.TextureOf(*clouds));
    Material skyMaterial;
    skyMaterial.filter = 2;
    glBindSampler(0, SamplerFor(scene, skyMaterial));
  }
  glBindVertexArray(emptyVertexArray_.id());
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  glDepthMask(GL_TRUE);
}

bool GlRenderer::MakeShadowMap(int size) {
  shadowDepth_ = GlTexture(GenTexture());
  glBindTexture(GL_TEXTURE_2D, shadowDepth_.id());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, size, size, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
  shadowFrame_ = GlFramebuffer(GenFramebuffer());
  glBindFramebuffer(GL_FRAMEBUFFER, shadowFrame_.id());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, shadowDepth_.id(), 0);
  glDrawBuffer(GL_NONE);
  glReadBuffer(GL_NONE);
  shadowSize_ = size;
  return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

// Renders the shadow casters' depth as the sun sees them, in a box of the shadow range around the
// camera, and returns the matrix from world space to shadow-map coordinates.
glm::mat4 GlRenderer::DrawShadowMap(Scene& scene, const Camera& camera) {
  const ShadowSettings& settings = scene.world.shadows;
  const int size = settings.mode >= 2 ? kAdvancedShadowMapSize : kSimpleShadowMapSize;
  if (shadowSize_ != size) MakeShadowMap(size);

  const glm::vec3 toSun = glm::normalize(scene.world.sunPosition);
  const glm::vec3 centre = camera.Position();
  const glm::vec3 up = std::fabs(toSun.y) > 0.99f ? glm::vec3(0, 0, -1) : glm::vec3(0, 1, 0);
  const glm::mat4 lightView = glm::lookAt(centre + toSun * kShadowDepthReach, centre, up);
  const float range = settings.range;
  glm::mat4 lightProjection = glm::ortho(-range, range, -range, range, 0.0f, 2.0f * kShadowDepthReach);
  // Move the box in whole shadow-map texels so that shadow edges stay still while the camera moves.
  const glm::vec4 origin = lightProjection * lightView * glm::vec4(0, 0, 0, 1);
  const glm::vec2 texels = glm::vec2(origin) * (size / 2.0f);
  const glm::vec2 snap = (glm::round(texels) - texels) * (2.0f / size);
  lightProjection[3][0] += snap.x;
  lightProjection[3][1] += snap.y;
  const glm::mat4 lightViewProjection = lightProjection * lightView;

  glBindFramebuffer(GL_FRAMEBUFFER, shadowFrame_.id());
  glViewport(0, 0, size, size);
  glDisable(GL_SCISSOR_TEST);
  glDepthMask(GL_TRUE);
  glClear(GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(2.0f, 4.0f);
  glUseProgram(shadowProgram_.id());
  glUniformMatrix4fv(Uniform(shadowProgram_, "uLightViewProjection"), 1, GL_FALSE,
                     glm::value_ptr(lightViewProjection));
  glUniform1i(Uniform(shadowProgram_, "uTexture"), 0);
  const GLint alphaTested = Uniform(shadowProgram_, "uAlphaTested");
  glActiveTexture(GL_TEXTURE0);
  // Opaque surfaces first, without their pictures; then the alpha-blended ones (leaves, glass,
  // flames), whose transparent texels are cut out, so that a tree's canopy throws its shadow.
  const Frustum sunBox(lightViewProjection);
  for (const bool blended : {false, true}) {
    glUniform1i(alphaTested, blended);
    const Material* bound = nullptr;
    scene.geometries.ForEach([&](int, StaticGeometry& geometry) {
      if (!geometry.castsShadows || geometry.builtRevision == 0 ||
          !sunBox.Touches(geometry.boundsMin, geometry.boundsMax))
        return;
      const GlGeometryCopy* copy = cache_.GeometryOf(geometry, scene.spareBatches);
      if (!copy) return;
      for (const GlGeometryPart& part : copy->parts) {
        glBindVertexArray(part.vertexArray.id());
        for (const GlDrawRange& range : part.ranges) {
          const Material* material = scene.materials.FindKey(range.materialKey);
          if (!material || IsBlended(*material) != blended) continue;
          if (blended && material != bound) {
            BindMaterialPicture(scene, *material);
            bound = material;
          }
          glDrawElementsBaseVertex(GL_TRIANGLES, range.indexCount, GL_UNSIGNED_INT,
                                   reinterpret_cast<const void*>(range.indexOffsetBytes), range.baseVertex);
        }
      }
    });
  }
  glBindVertexArray(0);
  glBindSampler(0, 0);
  glDisable(GL_POLYGON_OFFSET_FILL);
  const glm::mat4 toTextureSpace =
      glm::translate(glm::mat4(1.0f), glm::vec3(0.5f)) * glm::scale(glm::mat4(1.0f), glm::vec3(0.5f));
  return toTextureSpace * lightViewProjection;
}

}  // namespace orelens::platform
