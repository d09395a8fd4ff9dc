// Image files as a whole: recognising the format by content, decoding into frames, saving by
// file name, and the picture values embedded in the game data.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "data/ImageCodecs.h"
#include "data/Stream.h"
#include "platform/Files.h"

namespace kr {

ImageFormat DetectImageFormat(std::span<const uint8_t> d) {
    auto starts = [&](const char* magic, size_t n) {
        return d.size() >= n && std::memcmp(d.data(), magic, n) == 0;
    };
    if (starts("BM", 2)) return ImageFormat::kBmp;
    if (starts("\x89PNG\r\n\x1a\n", 8)) return ImageFormat::kPng;
    if (starts("\xFF\xD8\xFF", 3)) return ImageFormat::kJpeg;
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return ImageFormat::kGif;
    return ImageFormat::kUnknown;
}

bool DecodeImage(std::span<const uint8_t> data, std::vector<TBitmap32>& frames, size_t max_pixels) {
    frames.clear();
    std::optional<TBitmap32> still;
    switch (DetectImageFormat(data)) {
        case ImageFormat::kBmp:
            still = DecodeBmp(data, max_pixels);
            break;
        case ImageFormat::kPng:
            still = DecodePng(data, max_pixels);
            break;
        case ImageFormat::kJpeg:
            still = DecodeJpeg(data, max_pixels);
            break;
        case ImageFormat::kGif:
            return DecodeGif(data, frames, max_pixels);
        case ImageFormat::kUnknown:
            return false;
    }
    if (!still) return false;
    frames.push_back(std::move(*still));
    return true;
}

bool LoadImageFile(const std::string& path, std::vector<TBitmap32>& frames, size_t max_pixels) {
    frames.clear();
    std::vector<uint8_t> bytes;
    return ReadWholeFile(path, bytes) && DecodeImage(bytes, frames, max_pixels);
}

namespace {

bool EndsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".png";
}

}  // namespace

bool SaveImageFile(const TBitmap32& image, const std::string& path) {
    const std::vector<uint8_t> bytes = EndsWithPng(path) ? EncodePng(image) : EncodeBmp(image);
    return !bytes.empty() && WriteFileAtomically(path, bytes);
}

std::optional<TBitmap32> ReadPicture(CStream& s) {
    if (!s.ReadBoolean()) return std::nullopt;
    const std::unique_ptr<CStream> block = s.ReadCompressedBlock();
    if (s.Failed()) return std::nullopt;
    return DecodeBmp(block->Bytes());
}

void WritePicture(CStream& s, const TBitmap32* image) {
    const bool present = image && !image->Empty();
    s.WriteBoolean(present);
    if (present) s.WriteCompressedBlock(EncodeBmp(*image));
}

}  // namespace kr
