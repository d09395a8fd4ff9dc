// Sprite and background records, side files and loading from image files.
#include "data/Background.h"
#include "data/ImageCodecs.h"
#include "data/ImageTestUtil.h"
#include "data/Sprite.h"
#include "data/Stream.h"

namespace kr {
namespace {

TMask SolidMask(int32_t w, int32_t h, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    TMask m{w, h, std::vector<uint8_t>(size_t(w * h), 0), left, top, right, bottom};
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) m.grid[size_t(y * w + x)] = 1;
    }
    return m;
}

CSprite TwoFrameSprite(bool separate) {
    CSprite s;
    s.frames = {Image({{kRed, kClear, kBlue}, {kClear, kGreen, kClear}}),
                Image({{kBlue, kBlue, kBlue}, {kRed, kRed, kRed}})};
    s.x_origin = 1, s.y_origin = -2;
    s.separate_masks = separate;
    s.masks = {SolidMask(3, 2, 1, 1, 1, 1)};
    if (separate) s.masks.push_back(SolidMask(3, 2, 0, 0, 2, 0));
    return s;
}

TEST(Sprite, RecordRoundTripsAndGivesTheBoundingBox) {
    for (bool separate : {false, true}) {
        const CSprite sprite = TwoFrameSprite(separate);
        CStream s;
        sprite.SaveToStream(s);
        s.WriteInteger(5);
        s.Seek(0);
        CSprite back;
        ASSERT_TRUE(back.LoadFromStream(s)) << separate;
        EXPECT_EQ(s.ReadInteger(), 5);
        EXPECT_EQ(back.frames, sprite.frames);
        EXPECT_EQ(back.masks, sprite.masks);
        EXPECT_EQ(back.x_origin, 1);
        EXPECT_EQ(back.y_origin, -2);
        EXPECT_EQ(back.textures, (std::vector<int32_t>{-1, -1}));
        // Shared: the mask's box. Separate: the union of the boxes.
        const std::array<int32_t, 4> box{back.bbox_left, back.bbox_top, back.bbox_right,
                                         back.bbox_bottom};
        EXPECT_EQ(box, (separate ? std::array<int32_t, 4>{0, 0, 2, 1}
                                 : std::array<int32_t, 4>{1, 1, 1, 1}));
    }
}

TEST(Sprite, BoundingBoxEdgeCases) {
    CSprite empty;
    empty.bbox_left = 4;
    empty.ComputeBoundingBox();
    EXPECT_EQ(empty.bbox_left, 0);
    EXPECT_EQ(empty.Width(), 1);
    EXPECT_EQ(empty.Height(), 1);

    // Separate masks whose frames have no solid pixel keep their inverted boxes.
    CSprite blank = TwoFrameSprite(true);
    blank.masks = {SolidMask(3, 2, 2, 1, 0, 0), SolidMask(3, 2, 2, 1, 0, 0)};
    blank.ComputeBoundingBox();
    EXPECT_EQ(std::vector<int32_t>(
                  {blank.bbox_left, blank.bbox_top, blank.bbox_right, blank.bbox_bottom}),
              (std::vector<int32_t>{2, 1, 0, 0}));
}

TEST(Sprite, DamagedRecordsFail) {
    CStream good;
    TwoFrameSprite(true).SaveToStream(good);
    const std::vector<uint8_t> bytes = good.Bytes();
    auto patched = [&](size_t at, int32_t value) {
        std::vector<uint8_t> b = bytes;
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(uint32_t(value) >> (8 * i));
        return b;
    };
    const size_t frame0 = 16;  // after version, origin and count
    const size_t mask0 = bytes.size() - 2 * (28 + 6 * 4);
    struct {
        const char* what;
        std::vector<uint8_t> data;
    } cases[] = {
        {"record version", patched(0, 700)},
        {"absurd frame count", patched(12, 0x7FFFFFFF)},
        // A frame of the wrong version would leave the rest to be read from the wrong place.
        {"frame version", patched(frame0, 810)},
        {"mask version", patched(mask0, 1)},
        {"negative mask size", patched(mask0 + 4, -3)},
        {"mask grid cut short", std::vector<uint8_t>(bytes.begin(), bytes.end() - 4)},
    };
    for (auto& c : cases) {
        CStream s(c.data);
        CSprite sprite = TwoFrameSprite(false);
        EXPECT_FALSE(sprite.LoadFromStream(s)) << c.what;
        EXPECT_TRUE(sprite.frames.empty()) << c.what;
    }
}

TEST(Background, RecordAndSideFile) {
    CBackground background;
    background.image = Image({{kRed, kBlue}});
    CStream s;
    background.SaveToStream(s);
    s.Seek(0);
    CBackground back;
    ASSERT_TRUE(back.LoadFromStream(s));
    EXPECT_EQ(back.image, background.image);
    s.Bytes()[0] = 0xC7;  // version 711
    s.Seek(0);
    EXPECT_FALSE(back.LoadFromStream(s));

    // Side file: the transparent-colour fix is applied to the loaded image.
    background.image = Image({{kClear, kBlue}});
    CBackground loaded;
    ASSERT_TRUE(loaded.LoadFromSideFile(background.SaveSideFile()));
    EXPECT_EQ(loaded.image, Image({{Bgra{255, 0, 0, 0}, kBlue}}));
    std::vector<uint8_t> wrong = background.SaveSideFile();
    wrong[0] ^= 1;  // magic
    EXPECT_FALSE(loaded.LoadFromSideFile(wrong));
    EXPECT_EQ(loaded.Width(), 2);  // left as it was
}

TEST(Sprite, SideFilesKeepMaskParametersAndFailWithoutHarm) {
    CSprite sprite = TwoFrameSprite(true);
    sprite.frames[0] = Image({{kClear, kRed}});
    sprite.frames[1] = Image({{kGreen, kGreen}});
    sprite.mask_params = {MaskShape::kEllipse, 40, BoxMode::kManual, 1, 2, 3, 4};
    const std::vector<uint8_t> file = sprite.SaveSideFile();

    CSprite loaded;
    ASSERT_TRUE(loaded.LoadFromSideFile(file));
    EXPECT_EQ(loaded.frames[0], Image({{Bgra{0, 0, 255, 0}, kRed}}));  // colours fixed
    EXPECT_EQ(loaded.mask_params, sprite.mask_params);
    EXPECT_TRUE(loaded.separate_masks);
    EXPECT_EQ(loaded.x_origin, 1);
    EXPECT_TRUE(loaded.NeedsMasks());

    // The magic matches but the inner version does not: the sprite is not emptied.
    CStream inner;
    inner.WriteInteger(kSideFileMagic);
    CStream body;
    body.WriteInteger(799);
    inner.WriteCompressedBlock(body.Bytes());
    for (const std::vector<uint8_t>& bad :
         {inner.Bytes(), std::vector<uint8_t>(file.begin(), file.end() - 1),
          std::vector<uint8_t>{1, 2}}) {
        CSprite kept = TwoFrameSprite(false);
        EXPECT_FALSE(kept.LoadFromSideFile(bad));
        EXPECT_EQ(kept.frames.size(), 2u);
    }
}

// A w x 1 strip whose pixel x has blue = x, on a red bottom-left background when asked.
std::vector<uint8_t> StripPng(int32_t w, bool opaque) {
    TBitmap32 strip(w, 1);
    for (int32_t x = 0; x < w; ++x)
        strip.Row(0)[x] = Bgra{uint8_t(x), 0, 0, uint8_t(opaque ? 255 : 0)};
    return EncodePng(strip);
}

TEST(Sprite, ImagesAreCutIntoStrips) {
    CSprite sprite;
    ASSERT_TRUE(sprite.LoadFromImageData(StripPng(100, true), 3, false, false, 4, 5));
    ASSERT_EQ(sprite.FrameCount(), 3);
    EXPECT_EQ(sprite.Width(), 33);  // the last column is unused
    EXPECT_EQ(sprite.frames[2].GetPixel(0, 0).b, 66);
    EXPECT_EQ(sprite.frames[2].GetPixel(32, 0).b, 98);
    EXPECT_EQ(sprite.x_origin, 4);
    EXPECT_EQ(sprite.y_origin, 5);
    EXPECT_TRUE(sprite.NeedsMasks());
    EXPECT_EQ(sprite.mask_params, MaskParams{});

    // A picture without any alpha loads opaque.
    ASSERT_TRUE(sprite.LoadFromImageData(StripPng(4, false), 0, false, false, 0, 0));
    EXPECT_EQ(sprite.FrameCount(), 1);
    EXPECT_EQ(sprite.frames[0].GetPixel(3, 0).a, 255);

    // Strips narrower than a pixel and undecodable data fail and leave the sprite as it was.
    EXPECT_FALSE(sprite.LoadFromImageData(StripPng(4, true), 5, false, false, 0, 0));
    EXPECT_FALSE(
        sprite.LoadFromImageData(std::vector<uint8_t>{'B', 'M', 0}, 1, false, false, 0, 0));
    EXPECT_FALSE(sprite.LoadFromImageFile("/nonexistent/sprite.png", 1, false, false, 0, 0));
    EXPECT_EQ(sprite.Width(), 4);
}

TEST(Sprite, RemoveBackgroundWorksPerFrame) {
    // Two frames: the first has a red bottom-left, the second a blue one.
    TBitmap32 strip = Image({{kBlue, kRed, kRed, kGreen}, {kRed, kBlue, kBlue, kRed}});
    CSprite sprite;
    ASSERT_TRUE(sprite.LoadFromImageData(EncodePng(strip), 2, true, false, 0, 0));
    // Removed pixels take a visible neighbour's colour and stay transparent.
    EXPECT_EQ(sprite.frames[0], Image({{kBlue, Bgra{255, 0, 0, 0}}, {Bgra{255, 0, 0, 0}, kBlue}}));
    EXPECT_EQ(sprite.frames[1], Image({{kRed, kGreen}, {Bgra{0, 0, 255, 0}, kRed}}));

    CBackground background;
    ASSERT_TRUE(background.LoadFromImageData(EncodePng(strip), true, false));
    EXPECT_EQ(background.image.GetPixel(0, 1).a, 0);
    EXPECT_EQ(background.image.GetPixel(3, 1).a, 0);
    EXPECT_EQ(background.image.GetPixel(1, 1).a, 255);
}

TEST(Sprite, FrameOperations) {
    CSprite sprite;
    sprite.AddFrame(Image({{kRed, kBlue}}));
    sprite.AddFrame(Image({{kGreen}}));  // resized to 2 x 1
    EXPECT_EQ(sprite.frames[1], Image({{kGreen, kGreen}}));
    sprite.MergeFrom(sprite);  // with itself: the two frames once more
    ASSERT_EQ(sprite.FrameCount(), 4);
    EXPECT_EQ(sprite.textures.size(), 4u);
    EXPECT_EQ(sprite.MakeStrip(),
              Image({{kRed, kBlue, kGreen, kGreen, kRed, kBlue, kGreen, kGreen}}));

    CSprite alpha;
    alpha.frames = {Image({{Bgra{255, 255, 255, 0}, Bgra{0, 0, 0, 0}}}),
                    Image({{Bgra{0, 0, 0, 0}, Bgra{255, 255, 255, 0}}})};
    sprite.SetAlphaFrom(alpha);  // frame i from frame i mod 2
    EXPECT_EQ(sprite.frames[2].GetPixel(0, 0).a, 255);
    EXPECT_EQ(sprite.frames[2].GetPixel(1, 0).a, 0);
    EXPECT_EQ(sprite.frames[3].GetPixel(0, 0).a, 0);
}

}  // namespace
}  // namespace kr
