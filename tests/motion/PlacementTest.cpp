// Room points mapped into a placed mask: translation, scaling, mirroring, rotation, and values
// that must not be trusted (zero scale, NaN, huge coordinates).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "motion/Collision.h"
#include "motion/FrameFixture.h"

namespace kr {
namespace {

// One solid cell at (3, 0) of a 4 x 2 mask with origin (1, 1).
TMask OneCell() {
    return BuildMask(test::Frame({"...#", "...."}), MaskParams{});
}

MaskPlacement Place(const TMask& m, double xscale, double yscale, double degrees = 0) {
    MaskPlacement p;
    p.mask = &m;
    p.x = 100;
    p.y = 50;
    p.ox = 1;
    p.oy = 1;
    p.xscale = xscale;
    p.yscale = yscale;
    if (degrees != 0) {
        p.c = std::cos(degrees * 3.141592653589793 / 180);
        p.s = std::sin(degrees * 3.141592653589793 / 180);
    }
    return p;
}

// The room points of rows 40..60, columns 90..120 that are solid.
std::vector<std::pair<int, int>> SolidPoints(const MaskPlacement& p) {
    std::vector<std::pair<int, int>> out;
    for (int y = 40; y <= 60; ++y)
        for (int x = 90; x <= 120; ++x)
            if (p.SolidAt(x, y)) out.emplace_back(x, y);
    return out;
}

using Points = std::vector<std::pair<int, int>>;

TEST(MaskPlacement, MapsRoomPointsIntoTheMask) {
    const TMask m = OneCell();
    // Unscaled: cell (3, 0) lies at (x + 3 - ox, y + 0 - oy).
    EXPECT_EQ(SolidPoints(Place(m, 1, 1)), (Points{{102, 49}}));
    // xscale 2: the cell covers columns x + 2 * (3 - ox) and the one after.
    EXPECT_EQ(SolidPoints(Place(m, 2, 1)), (Points{{104, 49}, {105, 49}}));
    // Mirrored: the cell appears on the other side of the origin.
    EXPECT_EQ(SolidPoints(Place(m, -1, 1)), (Points{{98, 49}}));
    // Turned 90 degrees counter-clockwise, right of the origin becomes above it. The cell's
    // corners fall on integer points, where the rounding of cos 90 decides, so the test asks
    // at pixel centres.
    const MaskPlacement turned = Place(m, 1, 1, 90);
    EXPECT_TRUE(turned.SolidAt(99.5, 47.5));
    for (auto [x, y] : Points{{98, 47}, {100, 47}, {99, 46}, {99, 48}})
        EXPECT_FALSE(turned.SolidAt(x + 0.5, y + 0.5)) << x << "," << y;
}

TEST(MaskPlacement, RealPointsUseTheRealOffset) {
    const TMask m = OneCell();
    const MaskPlacement p = Place(m, 1, 1);
    EXPECT_TRUE(p.SolidAt(102.0, 49.0));
    EXPECT_TRUE(p.SolidAt(102.99, 49.99));
    EXPECT_FALSE(p.SolidAt(101.99, 49.0));
    EXPECT_FALSE(p.SolidAt(103.0, 49.0));
}

TEST(MaskPlacement, UntrustedValuesAreNeverSolid) {
    const TMask m = BuildMask(test::Frame({"##", "##"}), MaskParams{});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(SolidPoints(Place(m, 0, 1)).empty());
    EXPECT_TRUE(SolidPoints(Place(m, 1, 0)).empty());
    EXPECT_TRUE(SolidPoints(Place(m, nan, 1)).empty());
    EXPECT_FALSE(Place(m, 1, 1).SolidAt(nan, 50));
    EXPECT_FALSE(Place(m, 1, 1).SolidAt(inf, 50));
    EXPECT_FALSE(Place(m, 1, 1).SolidAt(-1e300, 50));
}

TEST(MaskPlacement, CoordinatesBecomeBoundedIntegers) {
    EXPECT_EQ(RoundCoord(2.5), 2);  // ties to even
    EXPECT_EQ(RoundCoord(3.5), 4);
    EXPECT_EQ(RoundCoord(-2.5), -2);
    EXPECT_EQ(RoundCoord(1e300), kCoordLimit);
    EXPECT_EQ(RoundCoord(-1e300), -kCoordLimit);
    EXPECT_EQ(RoundCoord(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(FloorCoord(-0.5), -1);
    EXPECT_EQ(CeilCoord(-0.5), 0);
}

}  // namespace
}  // namespace kr
