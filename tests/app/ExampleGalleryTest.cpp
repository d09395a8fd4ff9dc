// The gallery example (views, tiles, a surface, additive blending) builds, runs headless and
// shows what it should in a screenshot.
#include <gtest/gtest.h>

#include <cstdlib>

#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

TEST(ExampleGallery, BuildsRunsAndDrawsThroughItsView) {
    test::ScratchDir dir;
    const std::string korvane = std::string(KR_BINARY_DIR) + "/src/app/korvane";
    const std::string example = std::string(KR_SOURCE_DIR) + "/examples/gallery";
    test::ProcessResult r = test::RunProgram(korvane, {"build", example, "-o", dir / "gallery"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(korvane,
                         {"run", "--headless", "--max-steps", "40", "--screenshot",
                          "39=" + (dir / "shot.png"), dir / "gallery"},
                         dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir / "shot.png", bytes)) << r.err;
    std::optional<TBitmap32> shot = DecodePng(bytes);
    ASSERT_TRUE(shot);
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
