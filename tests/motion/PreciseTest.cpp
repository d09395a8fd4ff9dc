// The precise area tests against their definition (some point of the area solid in the
// mask, or in both masks), for scaled, mirrored and rotated placements, and over areas far
// larger than the masks.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "motion/Collision.h"
#include "motion/FrameFixture.h"

namespace kr {
namespace {

bool SolidSomewhere(const MaskPlacement& m, const CollisionBox& area) {
    for (int32_t i = area.left; i <= area.right; ++i)
        for (int32_t j = area.top; j <= area.bottom; ++j)
            if (m.SolidAt(i, j)) return true;
    return false;
}

bool BothSomewhere(const MaskPlacement& a, const MaskPlacement& b, const CollisionBox& area) {
    for (int32_t i = area.left; i <= area.right; ++i)
        for (int32_t j = area.top; j <= area.bottom; ++j)
            if (a.SolidAt(i, j) && b.SolidAt(i, j)) return true;
    return false;
}

TEST(PreciseTests, AgreeWithEveryPointOfTheArea) {
    const TMask masks[] = {
        BuildMask(test::Frame({"#...#", ".....", "..#..", ".....", "#...."}), MaskParams{}),
        BuildMask(test::Frame({".##.", "#..#", ".##."}), MaskParams{}),
        BuildMask(test::Frame({"#"}), MaskParams{}),
    };
    const double scales[] = {1, -1, 2, -3, 0.5, -0.4, 2.5, 7};
    const double angles[] = {0, 0, 0, 90, 33};
    std::mt19937 rng(7);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto place = [&] {
        MaskPlacement p;
        p.mask = &masks[pick(3)];
        p.x = pick(21) - 10;
        p.y = pick(21) - 10;
        p.ox = pick(3);
        p.oy = pick(3);
        p.xscale = scales[pick(8)];
        p.yscale = scales[pick(8)];
        const double a = angles[pick(5)] * 3.141592653589793 / 180;
        if (a != 0) p.c = std::cos(a), p.s = std::sin(a);
        return p;
    };
    for (int k = 0; k < 3000; ++k) {
        const MaskPlacement a = place(), b = place();
        const int32_t l = pick(41) - 25, t = pick(41) - 25;
        const CollisionBox area{l, t, l + pick(30), t + pick(30)};
        ASSERT_EQ(MaskSolidIn(a, area), SolidSomewhere(a, area)) << k;
        ASSERT_EQ(MasksMeetIn(a, b, area), BothSomewhere(a, b, area)) << k;
    }
}

// A sprite scaled up a million times covers an area no loop over its pixels could visit.
TEST(PreciseTests, HugeScalesStayCheap) {
    const TMask ring = BuildMask(test::Frame({"###", "#.#", "###"}), MaskParams{});
    MaskPlacement p;
    p.mask = &ring;
    p.xscale = p.yscale = 1e6;
    const CollisionBox everything{0, 0, 3000000 - 1, 3000000 - 1};
    EXPECT_TRUE(MaskSolidIn(p, everything));
    // Only the hole: the middle cell covers 1e6 .. 2e6 - 1 on both axes.
    EXPECT_FALSE(MaskSolidIn(p, CollisionBox{1000000, 1000000, 1999999, 1999999}));
    EXPECT_TRUE(MaskSolidIn(p, CollisionBox{1000000, 1000000, 1999999, 2000000}));
    MaskPlacement q = p;
    q.x = 1000000;
    q.y = 1000000;
    EXPECT_TRUE(MasksMeetIn(p, q, everything));
    q.xscale = q.yscale = 1e6 / 3;  // q's ring lies in p's hole
    EXPECT_FALSE(MasksMeetIn(p, q, CollisionBox{1000000, 1000000, 1999999, 1999999}));
}

}  // namespace
}  // namespace kr
