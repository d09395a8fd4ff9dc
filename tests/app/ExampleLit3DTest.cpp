// The lit 3D example (shapes in perspective, two lights, fog, a model) builds, runs headless and
// shows its scene in a screenshot.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/ExampleShot.h"

namespace kr {
namespace {

TEST(ExampleLit3D, DrawsItsLitShapes) {
    test::ScratchDir dir;
    std::string err;
    std::optional<TBitmap32> shot = test::ExampleScreenshot(dir, "lit3d", 5, err);
    ASSERT_TRUE(shot) << err;
    ASSERT_EQ(shot->Width(), 320);
    // Each shape by its colour family where it stands, the floor lit green, and the fog's blue
    // over the far end of the floor.
    auto reddish = [](Bgra c) { return c.r > 60 && c.r > 2 * c.g && c.r > 2 * c.b; };
    auto bluish = [](Bgra c) { return c.b > 80 && c.b > c.r + 40 && c.b > c.g + 30; };
    auto greenish = [](Bgra c) { return c.g > 100 && c.g > c.r + 40 && c.g > c.b + 40; };
    auto white = [](Bgra c) { return c.r > 180 && c.g > 180 && c.b > 180; };
    auto at = [&](int32_t x, int32_t y) {
        Bgra c = shot->GetPixel(x, y);
        return "(" + std::to_string(x) + "," + std::to_string(y) + ") is rgb(" +
               std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
    };
    EXPECT_TRUE(reddish(shot->GetPixel(230, 110)))
        << at(230, 110);  // the block (x runs to the left from here)
    EXPECT_TRUE(bluish(shot->GetPixel(97, 100))) << at(97, 100);      // the cylinder
    EXPECT_TRUE(white(shot->GetPixel(158, 103))) << at(158, 103);     // the ball, lit from above
    EXPECT_TRUE(greenish(shot->GetPixel(160, 170))) << at(160, 170);  // the near floor
    Bgra far = shot->GetPixel(20, 100);                               // the far floor, in the fog
    EXPECT_GT(far.b, far.r);
    EXPECT_FALSE(greenish(far));
}

}  // namespace
}  // namespace kr
