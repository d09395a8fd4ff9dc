// The windowed platform: SDL message boxes, SDL's high-resolution counter, the game window with
// its keyboard and mouse, and SDL's joysticks. The load window comes with the graphics back
// end; until then loading shows on the terminal.
#pragma once

#include "platform/DebugWindow.h"
#include "platform/Platform.h"

namespace kr {

Platform MakeSdlPlatform();

// A window for headless runs: no input, never shown, but able to make an OpenGL context that
// draws off screen (SDL's offscreen video driver).
std::unique_ptr<GameWindow> MakeSdlOffscreenWindow();

// The debugger's window (sdl/SdlDebugWindow.cpp); `offscreen` for headless runs: drawn through
// SDL's offscreen video driver, never shown, no input.
std::unique_ptr<DebugWindow> MakeSdlDebugWindow(bool offscreen);

// Called before a window goes or SDL's video part shuts down: the graphics driver's libraries stay
// loaded until the process ends, whichever window or context loaded them (the main window, a
// headless context, the load window, a dialog, a splash or the debugger's window). SDL unloads them
// when its video part shuts down, and the memory the driver never gives back would then be left
// behind by an unloaded library.
void KeepGraphicsDriverLoaded();

}  // namespace kr
