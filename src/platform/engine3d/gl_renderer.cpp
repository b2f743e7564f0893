// OpenGL 3.3 renderer (work in progress: draws like the headless one until the GL path lands).
#include "platform/engine3d/renderer.h"

namespace orelens::platform {

std::unique_ptr<Renderer> MakeOpenGlRenderer() { return MakeHeadlessRenderer(); }

}  // namespace orelens::platform
