#include <gtest/gtest.h>

#include "runner/Room.h"
#include "support/RecordTestUtil.h"

namespace kr {
namespace {

using test::EveryTruncationFails;
using test::LoadsExactly;
using test::PatchInteger;
using test::ReadsBackEqual;
using test::SavedBytes;

CRoom RichRoom() {
    CRoom r;
    r.caption = "Level 1";
    r.width = 800;
    r.height = 600;
    r.speed = 60;
    r.persistent = true;
    r.background_color = 0x123456;
    r.show_background_color = false;
    r.creation_code = "score = 0;";
    r.backgrounds[0] = {true, false, 2, 16, -8, true, false, 1, -2, true};
    r.backgrounds[7] = {true, true, 5, 0, 0, false, true, 0, 3, false};
    r.views_enabled = true;
    r.views[0] = {true, 10, 20, 320, 240, 0, 0, 640, 480, 64, 48, -1, 4, 3};
    r.views[7].object = 100005;
    r.instances = {{32, 64, 3, 100001, ""}, {-16, 0, 0, 100002, "hp = 10;"}};
    RoomTile t;
    t.x = 96;
    t.y = 128;
    t.background = 2;
    t.left = 16;
    t.top = 32;
    t.width = 16;
    t.height = 8;
    t.depth = 1000000;
    t.id = 10000001;
    r.tiles = {t, RoomTile()};
    return r;
}

TEST(RoomRecord, RoundTripsVersionAndTruncation) {
    EXPECT_TRUE(ReadsBackEqual(RichRoom()));
    EXPECT_TRUE(ReadsBackEqual(CRoom()));
    auto bytes = SavedBytes(RichRoom());
    EXPECT_TRUE(EveryTruncationFails<CRoom>(bytes));
    ASSERT_TRUE(PatchInteger(bytes, kRoomVersion, 540));
    CStream s(bytes);
    EXPECT_FALSE(CRoom().LoadFromStream(s));
}

// Layers and views fill slots 0..n-1; at most 8 of each can be stored.
TEST(RoomRecord, LayerAndViewCounts) {
    auto stored = [](int32_t backs, int32_t views) {
        CStream s;
        s.WriteInteger(kRoomVersion);
        s.WriteString("");
        for (int32_t v : {100, 100, 30, 0, 0, 1}) s.WriteInteger(v);
        s.WriteString("");
        s.WriteInteger(backs);
        for (int32_t i = 0; i < backs; ++i) {
            for (int32_t v : {1, 0, i, 0, 0, 0, 0, 0, 0, 0}) s.WriteInteger(v);
        }
        s.WriteBoolean(true);
        s.WriteInteger(views);
        for (int32_t i = 0; i < views; ++i) {
            s.WriteBoolean(true);
            for (int32_t k = 0; k < 13; ++k) s.WriteInteger(i);
        }
        s.WriteInteger(0);
        s.WriteInteger(0);
        return s.Bytes();
    };

    CRoom r;
    ASSERT_TRUE(LoadsExactly(stored(2, 1), r));
    EXPECT_EQ(r.backgrounds[1].index, 1);
    EXPECT_EQ(r.backgrounds[2], CBack());
    EXPECT_EQ(r.views[0].wport, 0);
    EXPECT_EQ(r.views[1], CView());
    ASSERT_TRUE(LoadsExactly(stored(8, 8), r));
    for (auto [backs, views] : {std::pair{9, 8}, std::pair{8, 9}}) {
        CStream s(stored(backs, views));
        EXPECT_FALSE(CRoom().LoadFromStream(s)) << backs << " layers, " << views << " views";
    }
}

TEST(Room, StretchNeedsAnExistingBackground) {
    CRoom r;
    r.width = 640;
    r.height = 480;
    r.backgrounds[0] = {.index = 0, .stretch = true};   // 160 x 120
    r.backgrounds[1] = {.index = -1, .stretch = true};  // no background
    r.backgrounds[2] = {.index = 1, .stretch = true};   // 0 x 60
    r.backgrounds[3] = {.index = 0, .stretch = false};
    r.ApplyStretch([](int32_t index, int32_t& w, int32_t& h) {
        if (index == 0)
            w = 160, h = 120;
        else if (index == 1)
            w = 0, h = 60;
        else
            return false;
        return true;
    });
    struct Case {
        int slot;
        double xscale, yscale;
    } cases[] = {{0, 4, 4}, {1, 1, 1}, {2, 1, 8}, {3, 1, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(r.backgrounds[size_t(c.slot)].xscale, c.xscale) << c.slot;
        EXPECT_EQ(r.backgrounds[size_t(c.slot)].yscale, c.yscale) << c.slot;
    }
}

}  // namespace
}  // namespace kr
