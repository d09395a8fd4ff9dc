// TBitmap32: the runner's in-memory 32-bit image (sprite frames, backgrounds, captures), with the
// image operations that sprite and background functions are built from and the stored-image
// record of the game data and side files.
//
// Pixels are Bgra records, rows from top to bottom, each row left to right, with no padding.
// An image is either empty (0 x 0, no memory) or has both sides positive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "data/Color.h"

namespace kr {

class CStream;

// Upper bound on the pixels of one image (1 GiB of pixel memory). Sizes above it are refused
// everywhere, so a corrupt header can never ask for an absurd allocation.
inline constexpr size_t kMaxImagePixels = size_t(1) << 28;

// Version number of a stored image and of a stored mask.
inline constexpr int32_t kStoredImageVersion = 800;

class TBitmap32 {
public:
    // How SetSize leaves new memory.
    enum class Init { kZero, kUninitialized };

    TBitmap32() = default;
    // A w x h image of transparent black; empty when a side is not positive or too large.
    TBitmap32(int32_t w, int32_t h);
    TBitmap32(const TBitmap32& other);
    TBitmap32& operator=(const TBitmap32& other);
    TBitmap32(TBitmap32&& other) noexcept;
    TBitmap32& operator=(TBitmap32&& other) noexcept;
    ~TBitmap32() = default;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Empty() const { return width_ == 0; }
    size_t PixelCount() const { return size_t(width_) * size_t(height_); }
    size_t ByteSize() const { return PixelCount() * 4; }

    Bgra* Pixels() { return pixels_.get(); }
    const Bgra* Pixels() const { return pixels_.get(); }
    Bgra* Row(int32_t y) { return pixels_.get() + size_t(y) * size_t(width_); }
    const Bgra* Row(int32_t y) const { return pixels_.get() + size_t(y) * size_t(width_); }
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(pixels_.get()); }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(pixels_.get()); }

    // Gives the image a new size. A size equal to the current one keeps the pixels; any other
    // size discards them and allocates new memory (zeroed, or left for the caller to overwrite
    // whole). A side that is not positive, or a size above kMaxImagePixels, leaves the image
    // unchanged and returns false.
    bool SetSize(int32_t w, int32_t h, Init init = Init::kZero);
    // Makes the image empty and frees its memory.
    void Clear();

    // The stored image record: version 800, width, height, and when width x height > 0 a block
    // of width x height x 4 pixel bytes. Reading returns false (and leaves the image empty) on a
    // wrong version or a short or failed stream; the stream is then positioned as far as the
    // record could be followed.
    bool ReadStored(CStream& s);
    void WriteStored(CStream& s) const;

    // Copies w x h pixels of tightly or loosely packed Bgra rows (top to bottom, `stride` bytes
    // apart) into this image, e.g. a screen or surface capture. False when the size is refused.
    bool CopyFromMemory(int32_t w, int32_t h, const void* bgra, size_t stride);

    // Resamples to w x h (see the .cpp for the sampling rule); `samples` per axis, below 1
    // counts as 1. Does nothing when the size is unchanged or refused.
    void Resize(int32_t w, int32_t h, int samples = 1);
    // Every pixel becomes `colour`, alpha included.
    void Fill(Bgra colour);
    // Copies the w x h rectangle at (src_x, src_y) of `src` to (dst_x, dst_y) of this image,
    // pixel for pixel; the rectangle is clipped to both images. `src` may not be this image.
    void CopyRect(const TBitmap32& src, int32_t src_x, int32_t src_y, int32_t w, int32_t h,
                  int32_t dst_x, int32_t dst_y);
    // The w x h part at (x, y), clipped to the image (an empty image when nothing is left).
    TBitmap32 Cropped(int32_t x, int32_t y, int32_t w, int32_t h) const;
    // Every pixel whose blue, green and red each lie within `tolerance` of the key's takes the
    // new colour's blue, green and red, and its alpha too when `with_alpha` is set.
    void ReplaceColor(Bgra key, Bgra colour, int tolerance, bool with_alpha);
    // Every pixel of exactly the colour of the bottom-left pixel becomes fully transparent.
    void RemoveBackground();
    // Softens the edges next to transparent pixels (alpha steps of 32).
    void SmoothEdges();
    // Gives every fully transparent pixel the colour of an opaque neighbour, so that filtered
    // drawing does not blend in a dark fringe.
    void FixTransparentColors();
    // Scales each alpha by the brightness of the pixel at the same place in `other`.
    void AlphaFromImage(const TBitmap32& other);
    // True when at least one pixel has a non-zero alpha.
    bool HasAlpha() const;
    // Sets every alpha to 255.
    void MakeOpaque();
    // The pixel at (x, y); kOutsidePixel outside the image.
    Bgra GetPixel(int32_t x, int32_t y) const;
    static constexpr Bgra kOutsidePixel{0, 0, 0, 0};

    friend bool operator==(const TBitmap32& a, const TBitmap32& b);

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::unique_ptr<Bgra[]> pixels_;
};

// A w x h image of the script colour `colour`, fully opaque (sides below 1 count as 1).
// Empty when the size is refused.
TBitmap32 MakeColorImage(int32_t w, int32_t h, int32_t colour);
// A w x h gradient from script colour col1 to col2 of one of the twelve kinds 0..11 (any other
// kind gives plain col1); fully opaque. Empty when the size is refused.
TBitmap32 MakeGradientImage(int32_t w, int32_t h, int32_t col1, int32_t col2, int kind);

}  // namespace kr
