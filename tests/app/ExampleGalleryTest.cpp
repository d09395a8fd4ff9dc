// The gallery example (views, tiles, a surface, additive blending) builds, runs headless and
// shows what it should in a screenshot.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/ExampleShot.h"

namespace kr {
namespace {

TEST(ExampleGallery, BuildsRunsAndDrawsThroughItsView) {
    test::ScratchDir dir;
    std::string err;
    std::optional<TBitmap32> shot = test::ExampleScreenshot(dir, "gallery", 40, err);
    ASSERT_TRUE(shot) << err;
    // The region is the view's port: 640 x 240, the room shown at twice its size.
    ASSERT_EQ(shot->Width(), 640);
    ASSERT_EQ(shot->Height(), 240);
    struct Probe {
        int32_t x, y;
        uint8_t r, g, b;
    } probes[] = {
        {100, 110, 0, 0, 128},      // the surface's navy panel
        {140, 84, 255, 255, 255},   // its white rounded frame
        {10, 200, 40, 160, 60},     // a grass tile
        {390, 160, 255, 232, 192},  // the additive glow beside the player, over grey
        {300, 230, 96, 96, 96},     // the half-transparent bar at the bottom
    };
    for (const Probe& p : probes) {
        Bgra c = shot->GetPixel(p.x, p.y);
        EXPECT_TRUE(std::abs(c.r - p.r) <= 3 && std::abs(c.g - p.g) <= 3 &&
                    std::abs(c.b - p.b) <= 3)
            << "(" << p.x << "," << p.y << ") is " << int(c.r) << "," << int(c.g) << ","
            << int(c.b);
    }
}

}  // namespace
}  // namespace kr
