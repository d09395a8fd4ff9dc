// Pixel operations, colour conversions, the stored-image record and gradients.
#include <gtest/gtest.h>

#include "data/Bitmap32.h"
#include "data/ImageTestUtil.h"
#include "data/Stream.h"

namespace kr {
namespace {

std::vector<uint8_t> Alphas(const TBitmap32& image) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < image.PixelCount(); ++i) out.push_back(image.Pixels()[i].a);
    return out;
}

TEST(Color, ConversionsBetweenTheThreeForms) {
    // Script colour 0xBBGGRR: red in the low byte.
    EXPECT_EQ(ScriptColorToBgra(0x0000FF), kRed);
    EXPECT_EQ(ScriptColorToBgra(0x332211, 7), (Bgra{0x33, 0x22, 0x11, 7}));
    EXPECT_EQ(BgraToScriptColor(Bgra{0x33, 0x22, 0x11, 0}), 0x332211);
    EXPECT_EQ(BgraToDevice(Bgra{0x33, 0x22, 0x11, 0x44}), 0x44112233u);
    struct {
        double alpha;
        uint32_t device;
    } cases[] = {{1.0, 0xFF112233u},
                 {0.5, 0x80112233u} /* 127.5: ties to even */,
                 {2.0, 0xFF112233u},
                 {-1.0, 0x00112233u},
                 {0.0, 0x00112233u}};
    for (auto& c : cases) {
        EXPECT_EQ(ScriptColorToDevice(0x332211, c.alpha), c.device) << c.alpha;
    }
}

TEST(Bitmap32, SizesAreCheckedAndCopiesAreDeep) {
    TBitmap32 image(2, 3);
    EXPECT_EQ(image.Pixels()[5], kClear);
    EXPECT_FALSE(image.SetSize(0, 5));
    EXPECT_FALSE(image.SetSize(1 << 20, 1 << 20));  // above the pixel limit
    EXPECT_EQ(image.Width(), 2);
    EXPECT_TRUE(TBitmap32(-1, 4).Empty());

    TBitmap32 copy = image;
    copy.Fill(kRed);
    EXPECT_EQ(image.GetPixel(0, 0), kClear);
    EXPECT_EQ(copy.GetPixel(1, 2), kRed);
    EXPECT_EQ(copy.GetPixel(2, 0), TBitmap32::kOutsidePixel);
    EXPECT_EQ(copy.GetPixel(0, -1), TBitmap32::kOutsidePixel);
}

TEST(Bitmap32, StoredImageRecord) {
    TBitmap32 image = Image({{kRed, kBlue}, {kClear, Bgra{1, 2, 3, 4}}});
    CStream s;
    image.WriteStored(s);
    TBitmap32().WriteStored(s);  // empty: no pixel block
    s.WriteInteger(99);
    s.Seek(0);
    TBitmap32 back, empty(3, 3);
    ASSERT_TRUE(back.ReadStored(s));
    EXPECT_EQ(back, image);
    ASSERT_TRUE(empty.ReadStored(s));
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(s.ReadInteger(), 99);

    // A block longer than the pixels is skipped whole.
    CStream longer;
    for (int32_t v : {800, 1, 1, 8}) longer.WriteInteger(v);
    longer.WriteBytes("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    longer.WriteInteger(42);
    longer.Seek(0);
    ASSERT_TRUE(back.ReadStored(longer));
    EXPECT_EQ(back.GetPixel(0, 0), (Bgra{1, 2, 3, 4}));
    EXPECT_EQ(longer.ReadInteger(), 42);
}

TEST(Bitmap32, DamagedStoredImagesFail) {
    struct {
        const char* what;
        std::vector<int32_t> ints;
        bool stream_fails;
    } cases[] = {
        {"wrong version", {700, 1, 1, 4, 0}, false},
        {"block shorter than the pixels", {800, 2, 2, 4, 0}, true},
        {"block past the end", {800, 1, 1, 400}, true},
        {"both sides negative", {800, -2, -2, 16, 0, 0, 0, 0}, true},
        {"truncated header", {800, 5}, true},
    };
    for (auto& c : cases) {
        CStream s;
        for (int32_t v : c.ints) s.WriteInteger(v);
        s.Seek(0);
        TBitmap32 image(2, 2);
        EXPECT_FALSE(image.ReadStored(s)) << c.what;
        EXPECT_TRUE(image.Empty()) << c.what;
        EXPECT_EQ(s.Failed(), c.stream_fails) << c.what;
    }
}

TEST(Bitmap32, ResizeSamplesExactly) {
    // 10 -> 3 columns take old columns floor(x * 10 / 3) = 0, 3, 6 (a floating-point division
    // by 0.3 would land on 2 for x = 1).
    TBitmap32 row(10, 1);
    for (int32_t x = 0; x < 10; ++x) row.Row(0)[x] = Bgra{uint8_t(x), 0, 0, 255};
    row.Resize(3, 1);
    EXPECT_EQ(row.GetPixel(0, 0).b, 0);
    EXPECT_EQ(row.GetPixel(1, 0).b, 3);
    EXPECT_EQ(row.GetPixel(2, 0).b, 6);

    // Enlarging repeats pixels.
    TBitmap32 two = Image({{kRed, kBlue}});
    two.Resize(4, 2);
    EXPECT_EQ(two, Image({{kRed, kRed, kBlue, kBlue}, {kRed, kRed, kBlue, kBlue}}));

    // Two samples per axis average four pixels, rounding ties to even: (1+2+3+4)/4 = 2.5 -> 2,
    // (2+3+4+5)/4 = 3.5 -> 4.
    TBitmap32 quad =
        Image({{Bgra{1, 2, 0, 0}, Bgra{2, 3, 0, 0}}, {Bgra{3, 4, 0, 0}, Bgra{4, 5, 0, 0}}});
    quad.Resize(1, 1, 2);
    EXPECT_EQ(quad.GetPixel(0, 0), (Bgra{2, 4, 0, 0}));
}

TEST(Bitmap32, CopyRectClipsOnBothSides) {
    TBitmap32 src = Image({{kRed, kBlue}, {kBlue, kRed}});
    TBitmap32 dst(3, 3);
    dst.CopyRect(src, -1, 0, 3, 5, 1, -1);  // source column -1 and rows past the end are cut
    EXPECT_EQ(dst,
              Image({{kClear, kClear, kBlue}, {kClear, kClear, kClear}, {kClear, kClear, kClear}}));
    EXPECT_EQ(src.Cropped(1, 1, 9, 9), Image({{kRed}}));
    EXPECT_TRUE(src.Cropped(2, 0, 1, 1).Empty());
}

TEST(Bitmap32, RemoveBackgroundTakesExactlyTheBottomLeftColour) {
    const Bgra near_red{0, 0, 254, 255};
    TBitmap32 image = Image({{kRed, near_red}, {kRed, kBlue}});
    image.RemoveBackground();
    EXPECT_EQ(image, Image({{Bgra{0, 0, 255, 0}, near_red}, {Bgra{0, 0, 255, 0}, kBlue}}));

    TBitmap32 tolerant = Image({{kRed, near_red, kBlue}});
    tolerant.ReplaceColor(kRed, Bgra{9, 9, 9, 0}, 1, false);
    EXPECT_EQ(tolerant, Image({{Bgra{9, 9, 9, 255}, Bgra{9, 9, 9, 255}, kBlue}}));
}

TEST(Bitmap32, SmoothEdgesWorksInPlace) {
    // The centre pixel loses 32 for each transparent neighbour while its alpha is above 31:
    // 255 -> 31 after seven, and the eighth leaves 31.
    TBitmap32 lone(3, 3);
    lone.Row(1)[1] = kRed;
    lone.SmoothEdges();
    EXPECT_EQ(Alphas(lone), (std::vector<uint8_t>{0, 0, 0, 0, 31, 0, 0, 0, 0}));

    // A pixel brought to 0 counts as transparent when the scan reaches it: 32 drops to 0 next to
    // the first pixel, and then takes 32 off the pixel after it.
    TBitmap32 chain = Image({{kClear, Bgra{0, 0, 0, 32}, Bgra{0, 0, 0, 100}}});
    chain.SmoothEdges();
    EXPECT_EQ(Alphas(chain), (std::vector<uint8_t>{0, 0, 68}));
}

TEST(Bitmap32, FixTransparentColorsTakesTheFirstVisibleNeighbour) {
    const Bgra old{7, 7, 7, 0};
    // (0,0) sees only transparent neighbours (its right one is fixed later, and fixed pixels stay
    // transparent anyway), so it keeps its colour; (1,0) skips its left and takes red from its
    // right; (0,1) has no left neighbour and takes blue from its right.
    TBitmap32 image = Image({{old, old, kRed}, {old, kBlue, kGreen}});
    image.FixTransparentColors();
    EXPECT_EQ(image, Image({{old, Bgra{0, 0, 255, 0}, kRed}, {Bgra{255, 0, 0, 0}, kBlue, kGreen}}));
    TBitmap32 both = Image({{kGreen, old, kRed}});  // left wins over right
    both.FixTransparentColors();
    EXPECT_EQ(both.GetPixel(1, 0), (Bgra{0, 255, 0, 0}));
}

TEST(Bitmap32, AlphaFromImageUsesTheOverlap) {
    TBitmap32 image(2, 2);
    image.Fill(Bgra{0, 0, 0, 255});
    TBitmap32 other = Image({{Bgra{10, 20, 30, 0}}});
    image.AlphaFromImage(other);
    EXPECT_EQ(Alphas(image), (std::vector<uint8_t>{20, 255, 255, 255}));  // 255 * 60 / 765
}

TEST(Gradient, KindsDrawTheirShapes) {
    const int32_t black = 0x000000, white = 0xFFFFFF;
    auto grey = [](const TBitmap32& g, int32_t x, int32_t y) {
        const Bgra p = g.GetPixel(x, y);
        EXPECT_EQ(p.a, 255);
        return int(p.r);
    };
    struct {
        int kind, w, h, x, y, expected;
    } cases[] = {
        {0, 4, 2, 0, 1, 0},    {0, 4, 2, 3, 0, 191},  // mix at 3/4: 191.25
        {1, 2, 4, 0, 2, 128},                         // 127.5, ties to even
        {2, 5, 5, 0, 3, 0},    {2, 5, 5, 2, 2, 255},  // border col1, centre col2
        {3, 8, 8, 0, 0, 0},    {3, 8, 8, 4, 4, 191},  // corner untouched, centre innermost
        {4, 4, 1, 0, 0, 0},    {4, 4, 1, 2, 0, 255},  // columns 0 and 4 - 0 = 4 (outside)
        {5, 1, 4, 0, 2, 255},  {6, 4, 4, 2, 2, 0},
        {6, 4, 4, 3, 0, 191},  // the main diagonal is col1
        {7, 4, 4, 2, 2, 0},    {8, 4, 4, 0, 0, 191},
        {8, 4, 4, 3, 3, 0},                          // radius 1 about the top-left corner
        {11, 4, 4, 3, 3, 191}, {12, 3, 3, 1, 1, 0},  // unknown kinds leave col1
        {2, 1, 1, 0, 0, 0},                          // 0 / 0 steps use col1
    };
    for (auto& c : cases) {
        TBitmap32 g = MakeGradientImage(c.w, c.h, black, white, c.kind);
        EXPECT_EQ(grey(g, c.x, c.y), c.expected)
            << "kind " << c.kind << " at " << c.x << "," << c.y;
    }
    TBitmap32 tiny = MakeGradientImage(0, -3, white, black, 0);
    EXPECT_EQ(tiny.Width(), 1);
    EXPECT_EQ(grey(tiny, 0, 0), 255);
    EXPECT_TRUE(MakeGradientImage(1 << 20, 1 << 20, 0, 0, 0).Empty());
}

}  // namespace
}  // namespace kr
