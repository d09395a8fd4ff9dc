// Building masks from frames: box modes, tolerance, the four shapes, shared and separate masks.
#include <gtest/gtest.h>

#include "data/Mask.h"
#include "data/Sprite.h"
#include "motion/FrameFixture.h"

namespace kr {
namespace {

using test::Frame;
using test::Picture;
using Rows = std::vector<std::string>;

// alpha: '.' 0, 'a' 10, 'm' 128, '#' 255.
const Rows kFrame = {
    ".......", "..a....", "..m##..", "...#...", ".......",
};

struct BoxCase {
    const char* what;
    MaskParams params;
    TMask expected_box;  // only left, top, right, bottom are compared
    Rows picture;
};

MaskParams Params(MaskShape shape, int32_t tolerance, BoxMode mode, int32_t l = 0, int32_t t = 0,
                  int32_t r = 0, int32_t b = 0) {
    return MaskParams{shape, tolerance, mode, l, t, r, b};
}

TMask Box(int32_t l, int32_t t, int32_t r, int32_t b) {
    TMask m;
    m.left = l, m.top = t, m.right = r, m.bottom = b;
    return m;
}

TEST(MaskBuild, BoxModesToleranceAndShapes) {
    const BoxCase cases[] = {
        {"precise, automatic box, every visible pixel",
         Params(MaskShape::kPrecise, 0, BoxMode::kAutomatic),
         Box(2, 1, 4, 3),
         {".......", "..#....", "..###..", "...#...", "......."}},
        {"tolerance 10 drops alpha 10",
         Params(MaskShape::kPrecise, 10, BoxMode::kAutomatic),
         Box(2, 2, 4, 3),
         {".......", ".......", "..###..", "...#...", "......."}},
        {"tolerance 128 keeps only alpha above it",
         Params(MaskShape::kPrecise, 128, BoxMode::kAutomatic),
         Box(3, 2, 4, 3),
         {".......", ".......", "...##..", "...#...", "......."}},
        {"full image box", Params(MaskShape::kRectangle, 0, BoxMode::kFullImage), Box(0, 0, 6, 4),
         Rows(5, "#######")},
        {"manual box clamped to the image",
         Params(MaskShape::kRectangle, 0, BoxMode::kManual, -3, 1, 100, 2),
         Box(0, 1, 6, 2),
         {".......", "#######", "#######", ".......", "......."}},
        {"manual box only limits a precise mask",
         Params(MaskShape::kPrecise, 0, BoxMode::kManual, 0, 0, 6, 2),
         Box(0, 0, 6, 2),
         {".......", "..#....", "..###..", ".......", "......."}},
        {"rectangle over the automatic box",
         Params(MaskShape::kRectangle, 0, BoxMode::kAutomatic),
         Box(2, 1, 4, 3),
         {".......", "..###..", "..###..", "..###..", "......."}},
        {"ellipse inscribed in the full image",
         Params(MaskShape::kEllipse, 0, BoxMode::kFullImage),
         Box(0, 0, 6, 4),
         {".#####.", "#######", "#######", "#######", ".#####."}},
        {"diamond inscribed in the full image",
         Params(MaskShape::kDiamond, 0, BoxMode::kFullImage),
         Box(0, 0, 6, 4),
         {"...#...", ".#####.", "#######", ".#####.", "...#..."}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TMask m = BuildMask(Frame(kFrame), c.params);
        EXPECT_EQ(m.width, 7);
        EXPECT_EQ(m.height, 5);
        EXPECT_EQ(m.left, c.expected_box.left);
        EXPECT_EQ(m.top, c.expected_box.top);
        EXPECT_EQ(m.right, c.expected_box.right);
        EXPECT_EQ(m.bottom, c.expected_box.bottom);
        EXPECT_EQ(Picture(m), c.picture);
    }
}

// A frame without a pixel above the tolerance keeps the inverted box and no solid cell, for
// every shape (the inverted box has no inside to draw in).
TEST(MaskBuild, EmptyFrameKeepsTheInvertedBox) {
    for (MaskShape shape :
         {MaskShape::kPrecise, MaskShape::kRectangle, MaskShape::kEllipse, MaskShape::kDiamond}) {
        SCOPED_TRACE(int(shape));
        const TMask m = BuildMask(Frame(Rows(3, "....")), Params(shape, 0, BoxMode::kAutomatic));
        EXPECT_EQ(m.left, 3);
        EXPECT_EQ(m.top, 2);
        EXPECT_EQ(m.right, 0);
        EXPECT_EQ(m.bottom, 0);
        EXPECT_EQ(Picture(m), Rows(3, "...."));
    }
}

const std::vector<Rows> kTwoFrames = {
    {"#....", ".....", "....."},
    {".....", ".....", "...#."},
};

TEST(MaskBuild, SharedMaskCoversEveryFrame) {
    // Precise: the union of the pixels; the box is the union of the boxes.
    CSprite precise = test::MakeSprite(kTwoFrames, 0, 0);
    ASSERT_EQ(precise.masks.size(), 1u);
    EXPECT_EQ(Picture(precise.masks[0]), (Rows{"#....", ".....", "...#."}));
    EXPECT_EQ(precise.bbox_left, 0);
    EXPECT_EQ(precise.bbox_bottom, 2);
    EXPECT_EQ(precise.bbox_right, 3);

    // Other shapes are drawn again over the union box.
    CSprite rect =
        test::MakeSprite(kTwoFrames, 0, 0, Params(MaskShape::kRectangle, 0, BoxMode::kAutomatic));
    ASSERT_EQ(rect.masks.size(), 1u);
    EXPECT_EQ(Picture(rect.masks[0]), (Rows{"####.", "####.", "####."}));
}

TEST(MaskBuild, SeparateMasksFollowTheirFrames) {
    CSprite s = test::MakeSprite(kTwoFrames, 0, 0, {}, /*separate=*/true);
    ASSERT_EQ(s.masks.size(), 2u);
    EXPECT_EQ(Picture(s.masks[0]), kTwoFrames[0]);
    EXPECT_EQ(Picture(s.masks[1]), (Rows{".....", ".....", "...#."}));
    // The sprite's box is the union of the masks' boxes.
    EXPECT_EQ(s.bbox_left, 0);
    EXPECT_EQ(s.bbox_top, 0);
    EXPECT_EQ(s.bbox_right, 3);
    EXPECT_EQ(s.bbox_bottom, 2);
    // A sprite without frames has no masks.
    CSprite empty = test::MakeSprite({}, 0, 0);
    EXPECT_TRUE(empty.masks.empty());
}

// A stored mask may be larger or smaller than a frame added to it: only the common area is
// merged, and nothing is read or written outside either grid.
TEST(MaskBuild, AddingAFrameOfAnotherSize) {
    TMask big = BuildMask(Frame({"....", "....", "....", "...#"}), MaskParams{});
    AddFrameToMask(big, Frame({"#.", ".."}), MaskParams{});
    EXPECT_EQ(Picture(big), (Rows{"#...", "....", "....", "...#"}));
    EXPECT_EQ(big.left, 0);
    EXPECT_EQ(big.bottom, 3);

    TMask small = BuildMask(Frame({"..", ".#"}), MaskParams{});
    AddFrameToMask(small, Frame({"#...", "....", "...#"}), MaskParams{});
    EXPECT_EQ(Picture(small), (Rows{"#.", ".#"}));
    // Shapes are drawn over the union box clipped to the grid.
    TMask rect =
        BuildMask(Frame({"..", ".#"}), Params(MaskShape::kRectangle, 0, BoxMode::kAutomatic));
    AddFrameToMask(rect, Frame({"#...", "....", "...#"}),
                   Params(MaskShape::kRectangle, 0, BoxMode::kAutomatic));
    EXPECT_EQ(Picture(rect), (Rows{"##", "##"}));
}

}  // namespace
}  // namespace kr
