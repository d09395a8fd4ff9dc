// The platform of a run with a window, from whichever back end this build has: SDL's on the
// desktop (sdl/), the page's in the web runner (web/). The program asks for it here and never
// learns which one it got.
#pragma once

#include <memory>

#include "platform/DebugWindow.h"
#include "platform/Platform.h"

namespace kr {

Platform MakeWindowPlatform();

// A window for headless runs: no input, never shown, but able to make an OpenGL context that
// draws off screen.
std::unique_ptr<GameWindow> MakeOffscreenWindow();

// The debugger's window; `offscreen` for headless runs: never shown, no input.
std::unique_ptr<DebugWindow> MakeDebugWindow(bool offscreen);

}  // namespace kr
