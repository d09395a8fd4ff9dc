// Reading and writing image files. Formats are recognised by content, never by file name:
// BMP (our own reader and writer), PNG (our own writer; libpng reads), JPEG and GIF with its
// animation frames. Every decoder fails cleanly on malformed or truncated input and refuses
// images above `max_pixels` (for GIF: all frames together).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/Bitmap32.h"

namespace kr {

class CStream;

enum class ImageFormat { kUnknown, kBmp, kPng, kJpeg, kGif };

ImageFormat DetectImageFormat(std::span<const uint8_t> data);

// Decodes any supported image file. Still images give one frame; an animated GIF gives every
// frame of the animation composed on its canvas. False (and no frames) when the data is not a
// supported, well-formed image.
bool DecodeImage(std::span<const uint8_t> data, std::vector<TBitmap32>& frames,
                 size_t max_pixels = kMaxImagePixels);
// The same for a file on disk; false too when the file cannot be read.
bool LoadImageFile(const std::string& path, std::vector<TBitmap32>& frames,
                   size_t max_pixels = kMaxImagePixels);

// The single decoders. A 32-bit BMP whose alpha bytes are all zero decodes opaque (its fourth
// byte was never meant as alpha).
std::optional<TBitmap32> DecodeBmp(std::span<const uint8_t> data,
                                   size_t max_pixels = kMaxImagePixels);
std::optional<TBitmap32> DecodePng(std::span<const uint8_t> data,
                                   size_t max_pixels = kMaxImagePixels);
std::optional<TBitmap32> DecodeJpeg(std::span<const uint8_t> data,
                                    size_t max_pixels = kMaxImagePixels);
bool DecodeGif(std::span<const uint8_t> data, std::vector<TBitmap32>& frames,
               size_t max_pixels = kMaxImagePixels);

// Whole files. A PNG is 8-bit RGBA, one IDAT, deflated at the default level. A BMP is 24-bit
// when every pixel is opaque, else 32-bit with an alpha mask (V4 header); bottom-up. An empty
// image gives no bytes.
std::vector<uint8_t> EncodePng(const TBitmap32& image);
std::vector<uint8_t> EncodeBmp(const TBitmap32& image);

// Writes the image to `path` whole or not at all: PNG when the name ends in ".png" (any case),
// otherwise BMP. False on an empty image or a failed write.
bool SaveImageFile(const TBitmap32& image, const std::string& path);
bool SavePngFile(const TBitmap32& image, const std::string& path);

// The "picture" value of the game data: a present flag, then a compressed block holding a BMP
// file. A picture that does not decode gives none without failing the stream, which is still
// advanced past the block; a block that is not valid zlib data fails the stream.
std::optional<TBitmap32> ReadPicture(CStream& s);
// Writes a picture value (none: just the false flag).
void WritePicture(CStream& s, const TBitmap32* image);

}  // namespace kr
