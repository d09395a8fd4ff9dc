// The graphics device of the desktop platforms: OpenGL, on the context the window makes.
#include "graphics/opengl/GlDevice.h"

namespace kr {

std::unique_ptr<GraphicsDevice> CreateGraphicsDevice(GameWindow& window, std::string& error) {
    std::unique_ptr<GlContext> context = window.CreateGlContext(error);
    if (!context) return nullptr;
    return MakeGlDevice(std::move(context), error);
}

}  // namespace kr
