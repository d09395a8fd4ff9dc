// The showcase example (a game font and a system font, a transition between two rooms, a lit 3D
// scene) builds, runs headless and shows each room, and the transition, in screenshots.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/ExampleShot.h"

namespace kr {
namespace {

struct Rgb {
    int r, g, b;
};

// Pixels in [x0, x1) x [y0, y1) within 24 of colour c in every channel.
int Count(const TBitmap32& shot, int x0, int y0, int x1, int y1, Rgb c) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            Bgra p = shot.GetPixel(x, y);
            n +=
                std::abs(p.r - c.r) <= 24 && std::abs(p.g - c.g) <= 24 && std::abs(p.b - c.b) <= 24;
        }
    return n;
}

constexpr Rgb kNavy{0, 0, 64}, kGreen{32, 64, 32}, kYellow{255, 255, 0}, kAqua{0, 255, 255},
    kWhite{255, 255, 255};

TEST(ExampleShowcase, ShowsTwoFontsATransitionAndALitScene) {
    test::ScratchDir dir;
    std::string err;
    // The first room: the title and a line in the game's pixel font, a wrapped paragraph in the
    // system font below them, on navy.
    std::optional<TBitmap32> first = test::ExampleScreenshot(dir, "showcase", 10, err);
    ASSERT_TRUE(first) << err;
    ASSERT_EQ(first->Width(), 400);
    ASSERT_EQ(first->Height(), 240);
    EXPECT_GT(Count(*first, 0, 20, 400, 56, kYellow), 1500);  // two-fold pixel font
    EXPECT_GT(Count(*first, 0, 76, 400, 98, kAqua), 600);
    EXPECT_GT(Count(*first, 20, 118, 380, 190, kWhite), 400);  // three lines of the paragraph
    EXPECT_EQ(Count(*first, 0, 200, 400, 240, kNavy), 400 * 40);

    // The room is left after step 29; the push takes steps 30 to 50, so step 40 is its middle:
    // the second room (green) on the left half, the first pushed to the right.
    std::optional<TBitmap32> middle = test::ExampleScreenshot(dir, "showcase", 41, err);
    ASSERT_TRUE(middle) << err;
    EXPECT_EQ(Count(*middle, 0, 200, 190, 240, kGreen), 190 * 40);
    EXPECT_EQ(Count(*middle, 210, 200, 400, 240, kNavy), 190 * 40);
    EXPECT_GT(Count(*middle, 200, 20, 400, 56, kYellow), 500);  // the title, moved right

    // The second room: large white pixel letters and the shaded line in the system font.
    std::optional<TBitmap32> second = test::ExampleScreenshot(dir, "showcase", 80, err);
    ASSERT_TRUE(second) << err;
    EXPECT_GT(Count(*second, 40, 30, 360, 90, kWhite), 1500);
    EXPECT_EQ(Count(*second, 0, 0, 400, 240, kNavy), 0);
    int shaded = 0;
    for (int y = 120; y < 150; ++y)
        for (int x = 60; x < 340; ++x) {
            Bgra p = second->GetPixel(x, y);
            shaded += p.g > 120 && p.b < 60;
        }
    EXPECT_GT(shaded, 200);

    // Two seconds later the 3D scene: each shape by its colour family around where it stands,
    // the floor lit green near the camera, the fog's blue over its far end.
    std::optional<TBitmap32> scene = test::ExampleScreenshot(dir, "showcase", 130, err);
    ASSERT_TRUE(scene) << err;
    ASSERT_EQ(scene->Width(), 320);
    auto around = [&](int x, int y, auto is) {
        int n = 0;
        for (int j = y - 5; j <= y + 5; ++j)
            for (int i = x - 5; i <= x + 5; ++i) n += is(scene->GetPixel(i, j));
        return n;
    };
    auto reddish = [](Bgra c) { return c.r > 60 && c.r > 2 * c.g && c.r > 2 * c.b; };
    auto bluish = [](Bgra c) { return c.b > 80 && c.b > c.r + 40 && c.b > c.g + 30; };
    auto greenish = [](Bgra c) { return c.g > 100 && c.g > c.r + 40 && c.g > c.b + 40; };
    auto white = [](Bgra c) { return c.r > 180 && c.g > 180 && c.b > 180; };
    EXPECT_GT(around(230, 110, reddish), 30);  // the block, turning
    EXPECT_GT(around(97, 100, bluish), 60);    // the cylinder
    EXPECT_GT(around(158, 103, white), 20);    // the ball, lit from above
    EXPECT_GT(around(160, 170, greenish), 100);
    Bgra far = scene->GetPixel(20, 100);
    EXPECT_GT(far.b, far.r);
}

}  // namespace
}  // namespace kr
