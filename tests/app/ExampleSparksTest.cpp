// The sparks example (a burst of shaped particles, a stream) builds, runs headless and shows
// its particles in a screenshot.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/ExampleShot.h"

namespace kr {
namespace {

TEST(ExampleSparks, DrawsItsBurstAndStream) {
    test::ScratchDir dir;
    std::string err;
    std::optional<TBitmap32> shot = test::ExampleScreenshot(dir, "sparks", 20, err);
    ASSERT_TRUE(shot) << err;
    ASSERT_EQ(shot->Width(), 160);
    auto is = [&](int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
        Bgra c = shot->GetPixel(x, y);
        return std::abs(c.r - r) <= 3 && std::abs(c.g - g) <= 3 && std::abs(c.b - b) <= 3;
    };
    // The burst: half-size disks (radius 15) at the middle, nothing beyond them.
    EXPECT_TRUE(is(80, 60, 255, 0, 0));
    EXPECT_TRUE(is(72, 52, 255, 0, 0));
    EXPECT_TRUE(is(80, 80, 0, 0, 0));
    EXPECT_TRUE(is(130, 60, 0, 0, 0));
    // The stream: yellow squares falling from the top on the left, none below where they got.
    int yellow_above = 0, yellow_below = 0;
    for (int32_t y = 0; y < 120; ++y)
        for (int32_t x = 0; x < 30; ++x)
            if (is(x, y, 255, 255, 0)) ++(y < 42 ? yellow_above : yellow_below);
    EXPECT_GT(yellow_above, 20);
    EXPECT_EQ(yellow_below, 0);
}

}  // namespace
}  // namespace kr
