// Mouse picking: the nearest visible entity triangle under a point of the 3D view.
#include <cmath>
#include <limits>

#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/renderer.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

struct Ray {
  glm::vec3 origin, direction;
};

// Distance along the ray to the triangle (either side), or a negative value.
float IntersectTriangle(const Ray& ray, glm::vec3 a, glm::vec3 b, glm::vec3 c) {
  constexpr float kEpsilon = 1e-9f;
  const glm::vec3 edge1 = b - a, edge2 = c - a;
  const glm::vec3 p = glm::cross(ray.direction, edge2);
  const float determinant = glm::dot(edge1, p);
  if (std::fabs(determinant) < kEpsilon) return -1.0f;
  const float inverse = 1.0f / determinant;
  const glm::vec3 t = ray.origin - a;
  const float u = glm::dot(t, p) * inverse;
  if (u < 0.0f || u > 1.0f) return -1.0f;
  const glm::vec3 q = glm::cross(t, edge1);
  const float v = glm::dot(ray.direction, q) * inverse;
  if (v < 0.0f || u + v > 1.0f) return -1.0f;
  return glm::dot(edge2, q) * inverse;
}

}  // namespace

int Engine3D::PBO_MouseRayCast(int cameraRef, int x, int y, int pickMask) {
  const int cameraKey = object_ref::KeyOf(cameraRef);
  if (pickMask == 0 || cameraKey < 0 || cameraKey >= kMaxCameras) return 0;
  const Camera& camera = scene_->cameras[cameraKey];
  if (!camera.exists.load(std::memory_order_relaxed) || !renderer_->IsScreenOpen()) return 0;
  const PixelRect view = CameraViewportPixels(camera, renderer_->Width(), renderer_->Height());
  if (view.width <= 0 || view.height <= 0) return 0;

  // The point's direction through the pixel centre, from normalised device coordinates.
  const float ndcX = (x - view.x + 0.5f) / view.width * 2.0f - 1.0f;
  const float ndcY = 1.0f - (y - view.y + 0.5f) / view.height * 2.0f;
  const float tanHalf = std::tan(glm::radians(camera.fovDegrees) / 2.0f);
  const float aspect = static_cast<float>(view.width) / view.height;
  const glm::vec3 local(ndcX * tanHalf * aspect, ndcY * tanHalf, -1.0f);
  const Ray ray{camera.Position(), glm::normalize(CameraRotation(camera) * local)};

  float nearest = std::numeric_limits<float>::max();
  int hitKey = kNoObject;
  glm::vec3 hitNormal(0.0f);
  scene_->entities.ForEach([&](int key, const Entity& entity) {
    const bool pickable = !entity.hidden && (entity.pickMask & pickMask) != 0;
    const Mesh* mesh = pickable ? scene_->meshes.FindKey(entity.meshKey) : nullptr;
    if (!mesh || !mesh->finished) return;
    const glm::vec3 origin = EntityOrigin(*scene_, entity);
    for (size_t i = 0; i + 2 < mesh->indices.size(); i += 3) {
      const glm::vec3 a = origin + mesh->vertices[mesh->indices[i]].position * entity.scale;
      const glm::vec3 b = origin + mesh->vertices[mesh->indices[i + 1]].position * entity.scale;
      const glm::vec3 c = origin + mesh->vertices[mesh->indices[i + 2]].position * entity.scale;
      const float distance = IntersectTriangle(ray, a, b, c);
      if (distance > kNearPlane && distance < nearest) {
        const glm::vec3 normal = glm::cross(b - a, c - a);
        const float length = glm::length(normal);
        if (!(length > 0.0f)) continue;
        nearest = distance;
        hitKey = key;
        hitNormal = normal / length;
      }
    }
  });
  if (hitKey == kNoObject) return 0;
  scene_->lastPickNormal = hitNormal;
  // Numbered entities answer with their number, -1 entities with their handle.
  return hitKey;
}

float Engine3D::PBO_NormalX() const { return scene_->lastPickNormal.x; }
float Engine3D::PBO_NormalY() const { return scene_->lastPickNormal.y; }
float Engine3D::PBO_NormalZ() const { return scene_->lastPickNormal.z; }

}  // namespace orelens::platform
