// CBackground: a single-image resource used for room backgrounds and tile sets; its record in
// the game data, its side file, and loading from image files as background_add does.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/Bitmap32.h"

namespace kr {

class CStream;

inline constexpr int32_t kBackgroundVersion = 710;

class CBackground {
public:
    TBitmap32 image;
    int32_t texture = -1;
    // Counts the changes of the image made at run time; a texture made at another revision is
    // stale and is made again by the renderer.
    uint32_t revision = 0;

    // Marks the image as changed (see `revision`).
    void Changed() { ++revision; }

    int32_t Width() const { return image.Width(); }
    int32_t Height() const { return image.Height(); }

    // The record that follows the name in a backgrounds-section entry: version 710 and one
    // stored image. False on a wrong version, a damaged image or a failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    // A background side file (.krbck): magic, then a compressed block holding version 710, one
    // boolean and six integers that carry nothing for the runner, and one stored image, whose
    // transparent colours are fixed. On failure the background is left as it was.
    bool LoadFromSideFile(std::span<const uint8_t> bytes);
    bool LoadFromSideFile(const std::string& path);
    std::vector<uint8_t> SaveSideFile() const;

    // Loads the image as background_add and background_replace do: the first frame of the file,
    // then background removal, edge smoothing and (after removal) the transparent-colour fix.
    // On failure the background is left as it was.
    bool LoadFromImageData(std::span<const uint8_t> bytes, bool remove_back, bool smooth);
    bool LoadFromImageFile(const std::string& path, bool remove_back, bool smooth);

    // Equal images (the texture is not stored).
    bool operator==(const CBackground& o) const { return image == o.image; }
};

}  // namespace kr
