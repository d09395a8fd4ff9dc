// The windowed platform: SDL message boxes and SDL's high-resolution counter. The load window
// comes with the graphics back end; until then loading shows on the terminal.
#pragma once

#include "platform/Platform.h"

namespace kr {

Platform MakeSdlPlatform();

}  // namespace kr
