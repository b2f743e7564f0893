#pragma once

#include <glm/glm.hpp>

#include "platform/engine3d/scene.h"

namespace orelens::platform {

constexpr float kNearPlane = 0.05f;
constexpr float kFarPlane = 3000.0f;

// Rotation about x, then y, then z (degrees): Rz * Ry * Rx.
glm::mat3 EulerRotation(float angleX, float angleY, float angleZ);

// The camera turns about the world's up axis (yaw), then its own x axis (pitch), then its own
// view axis (roll); unturned it looks along -z with +y up.
glm::mat3 CameraRotation(const Camera& camera);
glm::vec3 CameraForward(const Camera& camera);
glm::mat4 CameraView(const Camera& camera);
glm::mat4 CameraProjection(const Camera& camera, float aspect);

// Yaw and pitch (degrees) that look along `direction`.
void YawPitchOf(glm::vec3 direction, float& yaw, float& pitch);

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;  // y from the top of the screen
};
PixelRect CameraViewportPixels(const Camera& camera, int screenWidth, int screenHeight);

// A packed RGB int as 0..1 floats.
glm::vec3 RgbToColor(int rgb);

}  // namespace orelens::platform
