// CBackground: records, side files and loading from image files.
#include "data/Background.h"

#include "data/ImageCodecs.h"
#include "data/Sprite.h"
#include "data/Stream.h"
#include "platform/Files.h"

namespace kr {

bool CBackground::LoadFromStream(CStream& s) {
    *this = CBackground{};
    if (s.ReadInteger() != kBackgroundVersion) return false;
    return image.ReadStored(s) && !s.Failed();
}

void CBackground::SaveToStream(CStream& s) const {
    s.WriteInteger(kBackgroundVersion);
    image.WriteStored(s);
}

bool CBackground::LoadFromSideFile(std::span<const uint8_t> bytes) {
    CStream file(bytes.data(), bytes.size());
    if (file.ReadInteger() != kSideFileMagic) return false;
    const std::unique_ptr<CStream> body = file.ReadCompressedBlock();
    if (file.Failed()) return false;
    CStream& s = *body;
    if (s.ReadInteger() != kBackgroundVersion) return false;
    s.ReadBoolean();
    for (int i = 0; i < 6; ++i) s.ReadInteger();
    TBitmap32 loaded;
    if (!loaded.ReadStored(s) || s.Failed()) return false;
    loaded.FixTransparentColors();
    image = std::move(loaded);
    return true;
}

bool CBackground::LoadFromSideFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(path, bytes) && LoadFromSideFile(bytes);
}

std::vector<uint8_t> CBackground::SaveSideFile() const {
    CStream body;
    body.WriteInteger(kBackgroundVersion);
    body.WriteBoolean(false);
    for (int i = 0; i < 6; ++i) body.WriteInteger(0);
    image.WriteStored(body);
    CStream file;
    file.WriteInteger(kSideFileMagic);
    file.WriteCompressedBlock(body.Bytes());
    return std::move(file.Bytes());
}

bool CBackground::LoadFromImageData(std::span<const uint8_t> bytes, bool remove_back, bool smooth) {
    std::vector<TBitmap32> decoded;
    if (!DecodeImage(bytes, decoded)) return false;
    TBitmap32& loaded = decoded[0];
    if (!loaded.HasAlpha()) loaded.MakeOpaque();
    if (remove_back) loaded.RemoveBackground();
    if (smooth) loaded.SmoothEdges();
    if (remove_back) loaded.FixTransparentColors();
    image = std::move(loaded);
    return true;
}

bool CBackground::LoadFromImageFile(const std::string& path, bool remove_back, bool smooth) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(path, bytes) && LoadFromImageData(bytes, remove_back, smooth);
}

}  // namespace kr
