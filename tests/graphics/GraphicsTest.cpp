// The renderer's state and arithmetic that need no device: the region's placement in the window
// and the mouse mapped back, the drawing state's limits, and what a missing device or a bad id
// gives.
#include <gtest/gtest.h>

#include "graphics/Graphics.h"

namespace kr {
namespace {

TEST(Graphics, RegionPlacementForEachKindOfScale) {
    Graphics g;
    g.SetRegionSize(320, 240);
    struct Case {
        double scale;
        int32_t cw, ch;
        PixelRect want;
    } cases[] = {
        {0, 500, 300, {0, 0, 500, 300}},     // stretched over the client area
        {-1, 800, 300, {200, 0, 400, 300}},  // the largest scale that keeps the aspect
        {2, 700, 500, {30, 10, 640, 480}},   // fixed scale, centred
        {1, 320, 240, {0, 0, 320, 240}},
    };
    for (const Case& c : cases) {
        g.SetRegionScale(c.scale);
        PixelRect r = g.Placement(c.cw, c.ch);
        EXPECT_EQ(r.x, c.want.x) << c.scale;
        EXPECT_EQ(r.y, c.want.y) << c.scale;
        EXPECT_EQ(r.width, c.want.width) << c.scale;
        EXPECT_EQ(r.height, c.want.height) << c.scale;
    }
}

TEST(Graphics, TheMouseMapsBackToRegionPixels) {
    Graphics g;
    g.SetRegionSize(320, 240);
    g.SetRegionScale(2);
    int32_t x, y;
    g.ClientToRegion(101, 51, 640, 480, x, y);  // 50.5 and 25.5 round to even
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 26);
    g.SetRegionScale(0);  // stretched: proportional to the client size
    g.ClientToRegion(250, 150, 500, 300, x, y);
    EXPECT_EQ(x, 160);
    EXPECT_EQ(y, 120);
    g.ClientToRegion(5, 5, 0, 0, x, y);  // an empty client area divides by nothing
    EXPECT_EQ(x, 1600);
    g.SetRegionScale(2);
    int32_t cx, cy;
    g.RegionToClient(50, 25, 700, 500, cx, cy);
    EXPECT_EQ(cx, 130);
    EXPECT_EQ(cy, 60);
}

TEST(Graphics, DrawingStateKeepsItsLimits) {
    Graphics g;
    for (auto [given, kept] : {std::pair{10, 8}, {2, 4}, {100, 64}, {24, 24}}) {
        g.SetCirclePrecision(given);
        EXPECT_EQ(g.CirclePrecision(), kept) << given;
    }
    g.SetAlpha(1.5);
    EXPECT_EQ(g.Alpha(), 1);
    g.SetAlpha(-1);
    EXPECT_EQ(g.Alpha(), 0);
    g.SetColor(0x0000FF);
    g.SetAlpha(0.5);
    EXPECT_EQ(g.VertexColor(), 0x80FF0000u);
    g.SetBlendMode(3);
    EXPECT_EQ(g.BlendSource(), 1);
    EXPECT_EQ(g.BlendDestination(), 4);
    g.SetBlendMode(9);  // unknown: normal
    EXPECT_EQ(g.BlendSource(), 5);
    EXPECT_EQ(g.BlendDestination(), 6);
}

// Without a device nothing can be made or read, and nothing breaks.
TEST(Graphics, WithoutADeviceNothingIsMadeOrRead) {
    Graphics g;
    EXPECT_EQ(g.TextureFromImage(TBitmap32(4, 4)), -1);
    EXPECT_EQ(g.SurfaceCreate(16, 16), -1);
    EXPECT_FALSE(g.SurfaceSetTarget(0));
    EXPECT_TRUE(g.Capture(-1, 0, 0, 10, 10).Empty());
    EXPECT_EQ(g.GetPixel(-1, 0, 0), 0);
    EXPECT_EQ(g.TextureWidth(-1), 1.0);
    EXPECT_EQ(g.TextureHeight(12), 1.0);
    g.DrawRectangle(0, 0, 10, 10, 0, 0, 0, 0, false);
    g.DrawTexture(3, 0, 0);
    g.Flush();
    EXPECT_EQ(g.DrawCalls(), 0);
}

}  // namespace
}  // namespace kr
