// The desktop's windowed platform is SDL's.
#include "platform/WindowPlatform.h"
#include "platform/sdl/SdlPlatform.h"

namespace kr {

Platform MakeWindowPlatform() {
    return MakeSdlPlatform();
}
std::unique_ptr<GameWindow> MakeOffscreenWindow() {
    return MakeSdlOffscreenWindow();
}
std::unique_ptr<DebugWindow> MakeDebugWindow(bool offscreen) {
    return MakeSdlDebugWindow(offscreen);
}

}  // namespace kr
