// SDL has one event queue for the whole process. The game window takes every event but those of
// windows that claim their own (the debugger's window), which take theirs apart; each side keeps
// what it pulled for the other.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace kr {

// Events of this window go to PollClaimedSdlEvent from now on (0: none).
void ClaimSdlWindowEvents(uint32_t window_id);
// The next event that is not a claimed window's.
bool PollSdlEvent(SDL_Event& e);
// The next event of the claimed window. `game_closed` is set when the game's window was asked
// to close meanwhile (the event stays queued for the game).
bool PollClaimedSdlEvent(SDL_Event& e, bool& game_closed);

}  // namespace kr
