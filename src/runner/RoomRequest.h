// Room requests: what the game asks the loop to do at the end of the current phase of the step.
// A request of 0 or more enters that room; the negative values below are the others.
#pragma once

#include <cstdint>

namespace kr {

inline constexpr int32_t kNoRoomRequest = -1;
inline constexpr int32_t kRequestEnd = -100;
inline constexpr int32_t kRequestRestart = -200;
inline constexpr int32_t kRequestLoad = -300;
// A fatal error ended the game.
inline constexpr int32_t kRequestEndAfterError = -400;

}  // namespace kr
