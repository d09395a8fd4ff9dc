// Building collision masks from sprite frames: the box of the solid area (found from the alpha
// channel, the whole image or a given box) and the shape drawn into it (the pixels themselves,
// the filled box, the inscribed ellipse or diamond). A sprite has one mask per frame or one
// mask shared by all its frames.
#pragma once

#include "data/Bitmap32.h"
#include "data/Mask.h"
#include "data/Sprite.h"

namespace kr {

// A mask of the frame's size built with the given parameters.
TMask BuildMask(const TBitmap32& frame, const MaskParams& params);

// Makes `mask` also cover `frame` (shared masks): the box becomes the union of both boxes; a
// precise mask takes the union of the solid pixels, the other shapes are drawn again over the
// union box.
void AddFrameToMask(TMask& mask, const TBitmap32& frame, const MaskParams& params);

// Builds the sprite's masks from its frames and mask parameters (one per frame when
// sprite.separate_masks, else one shared mask; none without frames), then its bounding box.
// Sprites loaded from the game data carry their masks already; the sprite functions call this
// after loading a side file or image, after changing frames and from sprite_collision_mask.
void BuildSpriteMasks(CSprite& sprite);

}  // namespace kr
