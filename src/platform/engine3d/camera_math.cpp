#include "platform/engine3d/camera_math.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

namespace orelens::platform {
namespace {

glm::mat3 RotationX(float degrees) {
  const float r = glm::radians(degrees), c = std::cos(r), s = std::sin(r);
  return glm::mat3(1, 0, 0, 0, c, s, 0, -s, c);  // column-major
}
glm::mat3 RotationY(float degrees) {
  const float r = glm::radians(degrees), c = std::cos(r), s = std::sin(r);
  return glm::mat3(c, 0, -s, 0, 1, 0, s, 0, c);
}
glm::mat3 RotationZ(float degrees) {
  const float r = glm::radians(degrees), c = std::cos(r), s = std::sin(r);
  return glm::mat3(c, s, 0, -s, c, 0, 0, 0, 1);
}

}  // namespace

glm::mat3 EulerRotation(float angleX, float angleY, float angleZ) {
  return RotationZ(angleZ) * RotationY(angleY) * RotationX(angleX);
}

glm::mat3 CameraRotation(const Camera& camera) {
  return RotationY(camera.yaw) * RotationX(camera.pitch) * RotationZ(camera.roll);
}

glm::vec3 CameraForward(const Camera& camera) { return CameraRotation(camera) * glm::vec3(0, 0, -1); }

glm::mat4 CameraView(const Camera& camera) {
  const glm::mat3 inverseRotation = glm::transpose(CameraRotation(camera));
  glm::mat4 view(inverseRotation);
  view[3] = glm::vec4(-(inverseRotation * camera.Position()), 1.0f);
  return view;
}

glm::mat4 CameraProjection(const Camera& camera, float aspect) {
  return glm::perspective(glm::radians(camera.fovDegrees), aspect > 0 ? aspect : 1.0f, kNearPlane, kFarPlane);
}

void YawPitchOf(glm::vec3 direction, float& yaw, float& pitch) {
  const float horizontal = std::sqrt(direction.x * direction.x + direction.z * direction.z);
  if (horizontal == 0.0f && direction.y == 0.0f) return;
  yaw = glm::degrees(std::atan2(-direction.x, -direction.z));
  pitch = glm::degrees(std::atan2(direction.y, horizontal));
}

PixelRect CameraViewportPixels(const Camera& camera, int screenWidth, int screenHeight) {
  const Viewport& v = camera.viewport;
  PixelRect rect;
  rect.x = static_cast<int>(std::lround(v.xPercent * screenWidth / 100.0f));
  rect.y = static_cast<int>(std::lround(v.yPercent * screenHeight / 100.0f));
  rect.width = static_cast<int>(std::lround(v.widthPercent * screenWidth / 100.0f));
  rect.height = static_cast<int>(std::lround(v.heightPercent * screenHeight / 100.0f));
  return rect;
}

glm::vec3 RgbToColor(int rgb) {
  return glm::vec3(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF) / 255.0f;
}

}  // namespace orelens::platform
