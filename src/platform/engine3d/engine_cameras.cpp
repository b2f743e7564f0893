// Cameras: creation, movement along their own axes, turning, looking at and following.
#include <algorithm>
#include <cmath>

#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

Camera* FindCamera(Scene& scene, int cameraRef) {
  const int camera = object_ref::KeyOf(cameraRef);
  if (camera < 0 || camera >= Engine3D::kMaxCameras) return nullptr;
  Camera& found = scene.cameras[camera];
  return found.exists.load(std::memory_order_acquire) ? &found : nullptr;
}

// The shortest turn from one angle to another, degrees in (-180, 180].
float AngleDifference(float from, float to) {
  float difference = std::fmod(to - from, 360.0f);
  if (difference > 180.0f) difference -= 360.0f;
  if (difference <= -180.0f) difference += 360.0f;
  return difference;
}

}  // namespace

int Engine3D::PBO_CreateCamera(int cameraRef, float xPercent, float yPercent, float widthPercent,
                               float heightPercent) {
  const int camera = object_ref::KeyOf(cameraRef);
  if (camera < 0 || camera >= kMaxCameras) return 0;
  Camera& created = scene_->cameras[camera];
  created.SetPosition({0, 0, 0});
  created.pitch = created.yaw = created.roll = 0.0f;
  created.fovDegrees = 60.0f;
  created.viewport = {xPercent, yPercent, widthPercent, heightPercent};
  created.backRgb = 0;
  created.exists.store(true, std::memory_order_release);
  return object_ref::HandleOf(camera);
}

int Engine3D::PBO_CameraFOV(int camera, float degrees) {
  Camera* found = FindCamera(*scene_, camera);
  if (!found || !(degrees > 0.0f && degrees < 180.0f)) return 0;
  found->fovDegrees = degrees;
  return 1;
}

int Engine3D::PBO_MoveCamera(int camera, float x, float y, float z) {
  Camera* found = FindCamera(*scene_, camera);
  if (!found) return 0;
  found->SetPosition(found->Position() + CameraRotation(*found) * glm::vec3(x, y, z));
  return 1;
}

int Engine3D::PBO_MoveCamera2(int camera, float x, float y, float z, int mode) {
  Camera* found = FindCamera(*scene_, camera);
  if (!found) return 0;
  const glm::vec3 amount(x, y, z);
  found->SetPosition(mode == 1 ? found->Position() + amount : amount);
  return 1;
}

int Engine3D::PBO_RotateCamera2(int camera, float x, float y, float z, int mode) {
  Camera* found = FindCamera(*scene_, camera);
  if (!found) return 0;
  if (mode == 1) {
    found->pitch = std::remainder(found->pitch + x, 360.0f);
    found->yaw = std::remainder(found->yaw + y, 360.0f);
    found->roll = std::remainder(found->roll + z, 360.0f);
  } else {
    found->pitch = x;
    found->yaw = y;
    found->roll = z;
  }
  return 1;
}

int Engine3D::PBO_CameraLookAt(int camera, float x, float y, float z) {
  Camera* found = FindCamera(*scene_, camera);
  if (!found) return 0;
  YawPitchOf(glm::vec3(x, y, z) - found->Position(), found->yaw, found->pitch);
  found->roll = 0.0f;
  return 1;
}

int Engine3D::PBO_CameraFollow(int camera, int node, float yawOffset, float pitchOffset, float yawBlend,
                               float pitchBlend, float /*reserved*/) {
  Camera* found = FindCamera(*scene_, camera);
  const Node* target = scene_->nodes.Find(node);
  if (!found || !target) return 0;
  float yaw = found->yaw, pitch = found->pitch;
  YawPitchOf(target->position - found->Position(), yaw, pitch);
  yaw += yawOffset;
  pitch += pitchOffset;
  found->yaw += AngleDifference(found->yaw, yaw) * std::clamp(yawBlend, 0.0f, 1.0f);
  found->pitch += AngleDifference(found->pitch, pitch) * std::clamp(pitchBlend, 0.0f, 1.0f);
  return 1;
}

float Engine3D::PBO_CameraX(int camera) const {
  const Camera* found = FindCamera(*scene_, camera);
  return found ? found->x.load(std::memory_order_relaxed) : 0.0f;
}
float Engine3D::PBO_CameraY(int camera) const {
  const Camera* found = FindCamera(*scene_, camera);
  return found ? found->y.load(std::memory_order_relaxed) : 0.0f;
}
float Engine3D::PBO_CameraZ(int camera) const {
  const Camera* found = FindCamera(*scene_, camera);
  return found ? found->z.load(std::memory_order_relaxed) : 0.0f;
}

float Engine3D::PBO_CameraDirectionX(int camera) const {
  const Camera* found = FindCamera(*scene_, camera);
  return found ? CameraForward(*found).x : 0.0f;
}
float Engine3D::PBO_CameraDirectionY(int camera) const {
  const Camera* found = FindCamera(*scene_, camera);
  return found ? CameraForward(*found).y : 0.0f;
}
float Engine3D::PBO_CameraDirectionZ(int camera) const {
  const Camera* found = FindCamera(*scene_, camera);
  return found ? CameraForward(*found).z : 0.0f;
}

int Engine3D::PBO_CameraBackColor(int camera, int rgb) {
  Camera* found = FindCamera(*scene_, camera);
  if (!found) return 0;
  found->backRgb = rgb;
  return 1;
}

}  // namespace orelens::platform
