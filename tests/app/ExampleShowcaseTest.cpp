// The showcase example (a game font and a system font, a transition between two rooms) builds,
// runs headless and shows each room, and the transition between them, in screenshots.
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

TEST(ExampleShowcase, ShowsTwoFontsThenTheSecondRoomThroughATransition) {
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
}

}  // namespace
}  // namespace kr
