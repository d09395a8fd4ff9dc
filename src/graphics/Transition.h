// Transition: the frames of the built-in room transitions. A frame combines the image of the
// room being left (surface `from`) and of the room being entered (surface `to`) for a moment f
// of the animation (0 the start, 1 the end) and draws the result into the current target. The
// runner captures the two images and plays the frames (runner/Transitions.h).
#pragma once

#include <cstdint>

namespace kr {

class Graphics;

// The built-in kinds are 1..kBuiltinTransitions.
constexpr int32_t kBuiltinTransitions = 21;

// Draws the frame of built-in kind `kind` at moment `f` on a target of w x h pixels; `steps` is
// the number of steps of the whole animation (the interlaced kinds uncover one column or row
// per step). The frame is drawn over what the target holds; other kinds draw nothing.
void DrawTransitionFrame(Graphics& g, int32_t kind, int32_t from, int32_t to, int32_t width,
                         int32_t height, double f, int32_t steps);

}  // namespace kr
