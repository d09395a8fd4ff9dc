// CSprite: records, side files and loading from image files.
#include "data/Sprite.h"

#include <algorithm>

#include "data/ImageCodecs.h"
#include "data/Stream.h"
#include "platform/Files.h"

namespace kr {

namespace {

// Smallest stored image: version, width, height.
constexpr size_t kMinStoredImage = 12;

// Frames of a sprite read from a side file or made from an image file.
void PrepareFrame(TBitmap32& frame, bool remove_back, bool smooth) {
    if (remove_back) frame.RemoveBackground();
    if (smooth) frame.SmoothEdges();
    if (remove_back) frame.FixTransparentColors();
}

// Reads `count` stored images. A frame whose version is wrong fails the whole read: the rest of
// the record would otherwise be read from the wrong place.
bool ReadFrames(CStream& s, std::vector<TBitmap32>& frames) {
    const int32_t count = s.ReadCount(kMinStoredImage);
    frames.resize(size_t(count));
    for (TBitmap32& frame : frames) {
        if (!frame.ReadStored(s)) return false;
    }
    return !s.Failed();
}

}  // namespace

void CSprite::ResetMasks() {
    masks.clear();
    separate_masks = false;
    mask_params = MaskParams{};
}

bool CSprite::LoadFromStream(CStream& s) {
    *this = CSprite{};
    CSprite sprite;
    if (s.ReadInteger() != kSpriteVersion) return false;
    sprite.x_origin = s.ReadInteger();
    sprite.y_origin = s.ReadInteger();
    if (!ReadFrames(s, sprite.frames)) return false;
    sprite.separate_masks = s.ReadBoolean();
    if (!sprite.frames.empty()) {
        sprite.masks.resize(sprite.separate_masks ? sprite.frames.size() : 1);
        for (TMask& mask : sprite.masks) {
            if (!mask.ReadStored(s)) return false;
        }
    }
    if (s.Failed()) return false;
    sprite.textures.assign(sprite.frames.size(), -1);
    sprite.ComputeBoundingBox();
    *this = std::move(sprite);
    return true;
}

void CSprite::SaveToStream(CStream& s) const {
    s.WriteInteger(kSpriteVersion);
    s.WriteInteger(x_origin);
    s.WriteInteger(y_origin);
    s.WriteInteger(FrameCount());
    for (const TBitmap32& frame : frames) frame.WriteStored(s);
    s.WriteBoolean(separate_masks);
    if (frames.empty()) return;
    const size_t count = separate_masks ? frames.size() : 1;
    for (size_t i = 0; i < count; ++i) (i < masks.size() ? masks[i] : TMask{}).WriteStored(s);
}

bool CSprite::LoadFromSideFile(std::span<const uint8_t> bytes) {
    CStream file(bytes.data(), bytes.size());
    if (file.ReadInteger() != kSideFileMagic) return false;
    const std::unique_ptr<CStream> body = file.ReadCompressedBlock();
    if (file.Failed()) return false;
    CStream& s = *body;
    CSprite sprite;
    if (s.ReadInteger() != kSpriteVersion) return false;
    sprite.x_origin = s.ReadInteger();
    sprite.y_origin = s.ReadInteger();
    if (!ReadFrames(s, sprite.frames)) return false;
    sprite.mask_params.shape = MaskShape(s.ReadInteger());
    sprite.mask_params.tolerance = s.ReadInteger();
    sprite.separate_masks = s.ReadBoolean();
    sprite.mask_params.box_mode = BoxMode(s.ReadInteger());
    sprite.mask_params.left = s.ReadInteger();
    sprite.mask_params.right = s.ReadInteger();
    sprite.mask_params.bottom = s.ReadInteger();
    sprite.mask_params.top = s.ReadInteger();
    if (s.Failed()) return false;
    for (TBitmap32& frame : sprite.frames) frame.FixTransparentColors();
    sprite.textures.assign(sprite.frames.size(), -1);
    sprite.ComputeBoundingBox();
    *this = std::move(sprite);
    return true;
}

bool CSprite::LoadFromSideFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(path, bytes) && LoadFromSideFile(bytes);
}

std::vector<uint8_t> CSprite::SaveSideFile() const {
    CStream body;
    body.WriteInteger(kSpriteVersion);
    body.WriteInteger(x_origin);
    body.WriteInteger(y_origin);
    body.WriteInteger(FrameCount());
    for (const TBitmap32& frame : frames) frame.WriteStored(body);
    body.WriteInteger(int32_t(mask_params.shape));
    body.WriteInteger(mask_params.tolerance);
    body.WriteBoolean(separate_masks);
    body.WriteInteger(int32_t(mask_params.box_mode));
    body.WriteInteger(mask_params.left);
    body.WriteInteger(mask_params.right);
    body.WriteInteger(mask_params.bottom);
    body.WriteInteger(mask_params.top);
    CStream file;
    file.WriteInteger(kSideFileMagic);
    file.WriteCompressedBlock(body.Bytes());
    return std::move(file.Bytes());
}

bool CSprite::LoadFromImageData(std::span<const uint8_t> bytes, int32_t image_count,
                                bool remove_back, bool smooth, int32_t x_orig, int32_t y_orig) {
    std::vector<TBitmap32> decoded;
    if (!DecodeImage(bytes, decoded)) return false;
    // A picture that never sets alpha is meant to be seen: make it opaque.
    if (std::none_of(decoded.begin(), decoded.end(), [](auto& f) { return f.HasAlpha(); })) {
        for (TBitmap32& f : decoded) f.MakeOpaque();
    }
    std::vector<TBitmap32> cut;
    if (DetectImageFormat(bytes) == ImageFormat::kGif) {
        cut = std::move(decoded);
    } else {
        const TBitmap32& strip = decoded[0];
        const int32_t n = std::max(image_count, 1);
        const int32_t frame_width = strip.Width() / n;
        if (frame_width < 1) return false;
        if (n == 1) {
            cut.push_back(std::move(decoded[0]));
        } else {
            for (int32_t i = 0; i < n; ++i) {
                cut.push_back(strip.Cropped(i * frame_width, 0, frame_width, strip.Height()));
            }
        }
    }
    for (TBitmap32& frame : cut) PrepareFrame(frame, remove_back, smooth);
    CSprite sprite;
    sprite.frames = std::move(cut);
    sprite.x_origin = x_orig;
    sprite.y_origin = y_orig;
    sprite.textures.assign(sprite.frames.size(), -1);
    sprite.ComputeBoundingBox();
    *this = std::move(sprite);
    return true;
}

bool CSprite::LoadFromImageFile(const std::string& path, int32_t image_count, bool remove_back,
                                bool smooth, int32_t x_orig, int32_t y_orig) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(path, bytes) &&
           LoadFromImageData(bytes, image_count, remove_back, smooth, x_orig, y_orig);
}

void CSprite::AddFrame(TBitmap32 frame) {
    if (!frames.empty()) frame.Resize(Width(), Height());
    frames.push_back(std::move(frame));
    textures.push_back(-1);
    ResetMasks();
    ComputeBoundingBox();
}

void CSprite::MergeFrom(const CSprite& other) {
    const size_t count = other.frames.size();  // fixed first: `other` may be this sprite
    for (size_t i = 0; i < count; ++i) AddFrame(TBitmap32(other.frames[i]));
}

void CSprite::SetAlphaFrom(const CSprite& other) {
    const size_t n = other.frames.size();
    if (n == 0) return;
    for (size_t i = 0; i < frames.size(); ++i) frames[i].AlphaFromImage(other.frames[i % n]);
}

TBitmap32 CSprite::MakeStrip() const {
    TBitmap32 strip;
    if (frames.empty() || int64_t(Width()) * FrameCount() > INT32_MAX ||
        !strip.SetSize(Width() * FrameCount(), Height())) {
        return strip;
    }
    for (int32_t i = 0; i < FrameCount(); ++i) {
        strip.CopyRect(frames[size_t(i)], 0, 0, Width(), Height(), i * Width(), 0);
    }
    return strip;
}

void CSprite::BuildMasks() {
    masks.clear();
    for (size_t i = 0; i < frames.size(); ++i) {
        if (separate_masks || i == 0)
            masks.push_back(BuildMask(frames[i], mask_params));
        else
            AddFrameToMask(masks[0], frames[i], mask_params);
    }
    ComputeBoundingBox();
}

void CSprite::ComputeBoundingBox() {
    if (frames.empty()) {
        bbox_left = bbox_top = bbox_right = bbox_bottom = 0;
    } else if (masks.empty()) {  // not built yet: the whole frame
        bbox_left = bbox_top = 0;
        bbox_right = Width() - 1;
        bbox_bottom = Height() - 1;
    } else if (!separate_masks) {
        const TMask& m = masks[0];
        bbox_left = m.left, bbox_top = m.top, bbox_right = m.right, bbox_bottom = m.bottom;
    } else {
        bbox_left = Width() - 1, bbox_top = Height() - 1, bbox_right = 0, bbox_bottom = 0;
        for (const TMask& m : masks) {
            bbox_left = std::min(bbox_left, m.left);
            bbox_top = std::min(bbox_top, m.top);
            bbox_right = std::max(bbox_right, m.right);
            bbox_bottom = std::max(bbox_bottom, m.bottom);
        }
    }
}

}  // namespace kr
