// The OpenGL 3.3 core back end of the graphics device.
#pragma once

#include <memory>
#include <string>

#include "graphics/GraphicsDevice.h"
#include "platform/Platform.h"

namespace kr {

// A device drawing through `context`, which it keeps; null with the reason in `error` when the
// context lacks what the device needs.
std::unique_ptr<GraphicsDevice> MakeGlDevice(std::unique_ptr<GlContext> context,
                                             std::string& error);

}  // namespace kr
