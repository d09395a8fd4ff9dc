// CSprite: an animated image resource (frames, origin, collision masks and the parameters they
// are built from, bounding box, one texture per frame), its record in the game data, its side
// file, and loading from image files as sprite_add does.
//
// Masks: the game data stores them ready-made; side files and image files carry only the mask
// parameters. After those loads (and after frames change) `masks` is empty and NeedsMasks() is
// true: the collision code builds the masks from `mask_params` and then calls
// ComputeBoundingBox().
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/Bitmap32.h"
#include "data/Mask.h"

namespace kr {

class CStream;

inline constexpr int32_t kSpriteVersion = 800;
// First integer of sprite and background side files.
inline constexpr int32_t kSideFileMagic = 1234321;

class CSprite {
public:
    std::vector<TBitmap32> frames;  // all of the sprite's size
    int32_t x_origin = 0, y_origin = 0;
    int32_t bbox_left = 0, bbox_top = 0, bbox_right = 0, bbox_bottom = 0;
    std::vector<TMask> masks;  // one per frame when separate, else one (none without frames)
    bool separate_masks = false;
    MaskParams mask_params;
    std::vector<int32_t> textures;  // one per frame; -1 where none was made yet
    // Counts the changes of frames made at run time (replace, merge, assign, alpha, new
    // frames). Textures made at another revision are stale: the renderer frees the ids in
    // `textures` (which may then no longer match the frame count) and makes them again.
    uint32_t revision = 0;

    int32_t FrameCount() const { return int32_t(frames.size()); }
    // Those of frame 0; a sprite without frames is 1 x 1.
    int32_t Width() const { return frames.empty() ? 1 : frames[0].Width(); }
    int32_t Height() const { return frames.empty() ? 1 : frames[0].Height(); }
    bool NeedsMasks() const { return !frames.empty() && masks.empty(); }

    // The record that follows the name in a sprites-section entry: version 800, origin, frame
    // count, the stored frames, the separate-masks flag and the stored masks. False on a wrong
    // version, a damaged frame or mask, or a failed stream; the sprite is then empty.
    bool LoadFromStream(CStream& s);
    // Writes the same record. Masks that were never built are written as empty masks so that
    // the record keeps its shape.
    void SaveToStream(CStream& s) const;

    // A sprite side file (.krspr). On success the sprite is replaced whole (masks to be built
    // from the stored parameters, transparent colours fixed); on any failure it is left as it
    // was.
    bool LoadFromSideFile(std::span<const uint8_t> bytes);
    bool LoadFromSideFile(const std::string& path);
    std::vector<uint8_t> SaveSideFile() const;

    // Loads the sprite from an image file as sprite_add and sprite_replace do: an animated GIF
    // gives its frames (image_count is ignored), any other image is cut into image_count
    // (at least 1) strips of width div image_count. Then per frame: background removal, edge
    // smoothing, transparent-colour fix (after removal only); origin set; default mask
    // parameters. On failure (unreadable or undecodable file, strips narrower than a pixel) the
    // sprite is left as it was.
    bool LoadFromImageData(std::span<const uint8_t> bytes, int32_t image_count, bool remove_back,
                           bool smooth, int32_t x_origin, int32_t y_origin);
    bool LoadFromImageFile(const std::string& path, int32_t image_count, bool remove_back,
                           bool smooth, int32_t x_origin, int32_t y_origin);

    // Appends a frame, resized to the sprite's size when it already has frames; the masks go
    // back to the defaults and must be rebuilt (sprite_add_from_screen, sprite_merge).
    void AddFrame(TBitmap32 frame);
    // Appends copies of all frames of `other` (which may be this sprite).
    void MergeFrom(const CSprite& other);
    // Frame i takes its alpha from frame i mod n of `other`; nothing when `other` has no frames.
    // The masks stay as they are.
    void SetAlphaFrom(const CSprite& other);
    // All frames side by side (sprite_save_strip); empty without frames.
    TBitmap32 MakeStrip() const;

    // The bounding box from the masks: (0,0,0,0) without frames, the shared mask's box, or the
    // union of the separate masks' boxes starting from the inverted box.
    void ComputeBoundingBox();
    // Back to default mask parameters with no masks built.
    void ResetMasks();
    // Builds the masks from the frames with `mask_params` and `separate_masks` (one per frame,
    // or one shared mask that covers every frame), then the bounding box.
    void BuildMasks();

    // Equal stored fields: frames, origin, masks and the separate flag (the box follows from
    // the masks; textures and mask parameters are not part of the game data's record).
    // Marks the frames as changed (see `revision`).
    void Changed() { ++revision; }

    bool operator==(const CSprite& o) const {
        return frames == o.frames && x_origin == o.x_origin && y_origin == o.y_origin &&
               masks == o.masks && separate_masks == o.separate_masks;
    }
};

}  // namespace kr
