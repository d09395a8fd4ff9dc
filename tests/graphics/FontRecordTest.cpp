#include <gtest/gtest.h>

#include "graphics/Font.h"
#include "support/RecordTestUtil.h"

namespace kr {
namespace {

CFont SmallFont() {
    CFont f;
    f.name = "Sans";
    f.size = 10;
    f.bold = true;
    f.first = 65;
    f.last = 66;
    f.glyphs[65] = {0, 0, 3, 2, 4, 0};
    f.glyphs[66] = {3, 0, 2, 2, 3, -1};
    f.image_width = 5;
    f.image_height = 2;
    f.image = {0, 255, 0, 128, 64, 255, 255, 255, 0, 1};
    return f;
}

TEST(FontRecord, RoundTripsVersionAndTruncation) {
    EXPECT_TRUE(test::ReadsBackEqual(SmallFont()));
    auto bytes = test::SavedBytes(SmallFont());
    EXPECT_TRUE(test::EveryTruncationFails<CFont>(bytes));
    ASSERT_TRUE(test::PatchInteger(bytes, kFontVersion, kFontVersion + 1));
    CStream s(bytes);
    EXPECT_FALSE(CFont().LoadFromStream(s));
}

// Drawing reads width * height coverage bytes, so an image that cannot hold them is refused.
TEST(FontRecord, RejectsAnImageSmallerThanItsSize) {
    struct Case {
        int32_t width, height;
        size_t bytes;
        bool loads;
    } cases[] = {
        {5, 2, 10, true},    {5, 2, 9, false},
        {-5, -2, 10, false}, {0x10000, 0x10000, 10, false},  // the product does not fit 32 bits
        {0, 0, 0, true},
    };
    for (const Case& c : cases) {
        CFont f = SmallFont();
        f.image_width = c.width;
        f.image_height = c.height;
        f.image.assign(c.bytes, 7);
        CStream s(test::SavedBytes(f));
        EXPECT_EQ(CFont().LoadFromStream(s), c.loads) << c.width << " x " << c.height;
    }
}

}  // namespace
}  // namespace kr
