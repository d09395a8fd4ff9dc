// The collision tests on instances (boxes, precise masks, the five shapes) and the searches of
// the collision functions (selection, order, notme, deleted instances, place_*).
#include <gtest/gtest.h>

#include "objects/InstanceCollision.h"
#include "objects/InstanceList.h"
#include "objects/TestWorld.h"

namespace kr {
namespace {

using test::TestWorld;

class CollisionTest : public ::testing::Test {
protected:
    CollisionTest() {
        square = world.AddObject(world.AddSprite(test::SolidSprite(16, 16)));
        dot = world.AddObject(world.AddSprite(test::SolidSprite(1, 1)));
        // A 4 x 4 precise mask whose top-left quarter is transparent.
        const std::vector<std::string> quarter = {"..##", "..##", "####", "####"};
        corner = world.AddObject(world.AddSprite(test::MakeSprite({quarter}, 0, 0)));
        const std::vector<std::string> empty(3, "....");
        blank = world.AddObject(world.AddSprite(test::MakeSprite({empty}, 0, 0)));
        nothing = world.AddObject(ObjectDefaults{});
    }
    CInstance& Add(int32_t object, double x, double y) { return room.AddInstance(object, x, y); }

    TestWorld world;
    InstanceList room{world};
    int32_t square, dot, corner, blank, nothing;
};

TEST_F(CollisionTest, InstancesMeetWhenBoxesOverlap) {
    CInstance& a = Add(square, 0, 0);
    CInstance& b = Add(square, 16, 0);  // boxes (0..15) and (16..31): adjacent
    EXPECT_FALSE(InstanceMeets(a, b, true));
    b.SetPosition(15, 0);
    EXPECT_TRUE(InstanceMeets(a, b, true));
    EXPECT_TRUE(InstanceMeets(b, a, false));
    EXPECT_FALSE(InstanceMeets(a, a, false));  // never with itself
    b.deleted = true;
    EXPECT_FALSE(InstanceMeets(a, b, false));
    // Without a mask sprite nothing meets by mask.
    CInstance& none = Add(nothing, 0, 0);
    none.SetMask(-1);
    EXPECT_FALSE(InstanceMeets(a, none, true));
}

TEST_F(CollisionTest, PreciseMasksDecide) {
    CInstance& c = Add(corner, 0, 0);
    CInstance& d = Add(dot, 1, 1);  // inside the box, on the transparent quarter
    EXPECT_TRUE(InstanceMeets(c, d, false));
    EXPECT_FALSE(InstanceMeets(c, d, true));
    d.SetPosition(2, 1);
    EXPECT_TRUE(InstanceMeets(c, d, true));

    // Mirrored, the transparent quarter is on the right of the origin's side: columns
    // 7 and 8 hold the solid top rows of the mask placed at x = 10 with xscale -1.
    c.SetPosition(10, 0);
    c.SetXScale(-1);
    EXPECT_EQ(c.Box(), (CollisionBox{5, 0, 10, 3}));
    d.SetPosition(9, 0);
    EXPECT_FALSE(InstanceMeets(c, d, true));
    d.SetPosition(8, 0);
    EXPECT_TRUE(InstanceMeets(c, d, true));

    // A frame without solid pixels never collides precisely.
    CInstance& b = Add(blank, 0, 0);
    CInstance& s = Add(square, 0, 0);
    EXPECT_FALSE(InstanceMeets(b, s, true));
}

TEST_F(CollisionTest, SeparateMasksFollowTheImage) {
    const int32_t sprite = world.AddSprite(test::MakeSprite({{"#.", ".."}, {"..", ".#"}}, 0, 0, {},
                                                            /*separate=*/true));
    CInstance& i = Add(world.AddObject(sprite), 0, 0);
    EXPECT_TRUE(InstanceAtPoint(i, 0, 0, true));
    i.image_index = 1.7;
    EXPECT_FALSE(InstanceAtPoint(i, 0, 0, true));
    EXPECT_TRUE(InstanceAtPoint(i, 1, 1, true));
    i.image_index = -1;  // the remainder is taken non-negative: image 1
    EXPECT_TRUE(InstanceAtPoint(i, 1, 1, true));
    i.image_index = 2;  // image 0 again
    EXPECT_TRUE(InstanceAtPoint(i, 0, 0, true));
}

TEST_F(CollisionTest, PointTest) {
    CInstance& s = Add(square, 0, 0);
    EXPECT_TRUE(InstanceAtPoint(s, 15.99, 0, false));
    EXPECT_FALSE(InstanceAtPoint(s, 16, 0, false));
    EXPECT_FALSE(InstanceAtPoint(s, -0.01, 0, false));
    CInstance& c = Add(corner, 0, 0);
    EXPECT_TRUE(InstanceAtPoint(c, 0.5, 0.5, false));
    EXPECT_FALSE(InstanceAtPoint(c, 0.5, 0.5, true));
    EXPECT_TRUE(InstanceAtPoint(c, 2.5, 0.5, true));
}

TEST_F(CollisionTest, RectangleEllipseAndLineTests) {
    CInstance& c = Add(corner, 0, 0);
    CInstance& s = Add(square, 0, 0);
    struct Case {
        const char* what;
        bool (*test)(const CInstance&, double, double, double, double, bool);
        const CInstance* inst;
        double x1, y1, x2, y2;
        bool by_box, precise;
    };
    const Case cases[] = {
        {"rectangle on the transparent quarter", InstanceInRectangle, &c, 0, 0, 1, 1, true, false},
        {"rectangle reaching a solid pixel", InstanceInRectangle, &c, 1, 1, 2, 2, true, true},
        {"rectangle with swapped corners", InstanceInRectangle, &c, 2, 2, 1, 1, true, true},
        {"rectangle beside the box", InstanceInRectangle, &s, 16, 0, 20, 5, false, false},
        {"ellipse whose corner misses the box", InstanceInEllipse, &s, 14, 14, 30, 30, false,
         false},
        {"ellipse over a corner of the box", InstanceInEllipse, &s, 10, 10, 20, 20, true, true},
        {"flat ellipse is its rectangle", InstanceInEllipse, &s, 0, 5, 30, 5, true, true},
        {"ellipse on the transparent quarter", InstanceInEllipse, &c, -1, -1, 1.4, 1.4, true,
         false},
        {"line through the transparent quarter", InstanceOnLine, &c, -2, -2, 1, 1, true, false},
        {"line across the solid part", InstanceOnLine, &c, 0, 3, 3, 0, true, true},
        {"steep line", InstanceOnLine, &c, 3, -5, 2, 5, true, true},
        {"line whose rectangle overlaps but which passes above", InstanceOnLine, &s, 10, -20, 30,
         10, false, false},
        {"horizontal line", InstanceOnLine, &c, -5, 1, 1, 1, true, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(k.test(*k.inst, k.x1, k.y1, k.x2, k.y2, false), k.by_box);
        EXPECT_EQ(k.test(*k.inst, k.x1, k.y1, k.x2, k.y2, true), k.precise);
    }
}

// A horizontal segment is tested exactly as the one-pixel-high rectangle, and a circle of
// radius 0 as the rectangle of its centre (which rounds the point, where a point test takes
// its floor).
TEST_F(CollisionTest, DegenerateShapes) {
    Add(corner, 0, 0);
    for (double y : {-1.0, 0.0, 1.0, 1.5, 2.0, 3.0, 4.0}) {
        for (double x1 : {-3.0, 0.0, 1.0, 2.0}) {
            SCOPED_TRACE(testing::Message() << x1 << ", " << y);
            for (bool precise : {false, true}) {
                EXPECT_EQ(CollisionLine(room, nullptr, x1, y, x1 + 1, y, -3, precise, false),
                          CollisionRectangle(room, nullptr, x1, y, x1 + 1, y, -3, precise, false));
                EXPECT_EQ(CollisionCircle(room, nullptr, x1, y, 0, -3, precise, false),
                          CollisionRectangle(room, nullptr, x1, y, x1, y, -3, precise, false));
            }
        }
    }
}

TEST_F(CollisionTest, PlaceFunctionsMoveNothing) {
    const int32_t wall_obj = world.AddObject(world.objects[size_t(square)]->sprite, -1, true);
    CInstance& self = Add(wall_obj, 0, 0);  // solid itself: place_free must not find it
    CInstance& wall = Add(wall_obj, 20, 0);
    CInstance& ghost = Add(square, 0, 20);  // not solid
    EXPECT_TRUE(PlaceFree(room, self, 0, 0));
    EXPECT_FALSE(PlaceFree(room, self, 10, 0));
    EXPECT_TRUE(PlaceFree(room, self, 0, 10));  // only the non-solid one there
    EXPECT_FALSE(PlaceEmpty(room, self, 0, 10));
    EXPECT_EQ(InstancePlace(room, self, 10, 0, -3), &wall);
    EXPECT_EQ(InstancePlace(room, self, 0, 10, square), &ghost);
    EXPECT_TRUE(PlaceMeeting(room, self, 10, 0, wall.id));
    EXPECT_FALSE(PlaceMeeting(room, self, 10, 0, ghost.id));
    EXPECT_EQ(self.X(), 0);
    EXPECT_EQ(self.Y(), 0);
    EXPECT_EQ(self.Box(), (CollisionBox{0, 0, 15, 15}));
}

TEST_F(CollisionTest, SearchesSelectAndVisitInListOrder) {
    const int32_t parent = world.AddObject(world.objects[size_t(square)]->sprite);
    const int32_t child = world.AddObject(world.objects[size_t(square)]->sprite, parent);
    CInstance& p = Add(parent, 0, 0);
    CInstance& c1 = Add(child, 4, 4);
    CInstance& c2 = Add(child, 8, 8);
    CInstance& other = Add(square, 8, 8);

    struct Case {
        int32_t obj;
        CInstance* expected;
    };
    const Case cases[] = {
        {-3, &p},      // all: the first in the room
        {parent, &p},  // the parent's family holds its children too
        {child, &c1},  // the child's does not hold the parent
        {square, &other},  {c2.id, &c2},   {-1, nullptr},  // other negative values select nothing
        {-4, nullptr},     {999, nullptr},                 // no such object
        {123456, nullptr},                                 // no such id
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.obj);
        EXPECT_EQ(CollisionPoint(room, nullptr, 10, 10, k.obj, true, false), k.expected);
    }
    // notme leaves out the caller; deleted instances are never found.
    EXPECT_EQ(CollisionPoint(room, &p, 10, 10, -3, true, true), &c1);
    c1.deleted = true;
    EXPECT_EQ(CollisionPoint(room, &p, 10, 10, -3, true, true), &c2);
    EXPECT_EQ(CollisionPoint(room, nullptr, 10, 10, c1.id, false, false), nullptr);
    EXPECT_EQ(InstancePosition(room, 10, 10, child), &c2);
    EXPECT_EQ(CollisionRectangle(room, nullptr, 30, 30, 60, 60, -3, false, false), nullptr);
    EXPECT_EQ(CollisionEllipse(room, nullptr, 14, 14, 40, 40, child, false, false), &c2);
    EXPECT_EQ(CollisionLine(room, nullptr, -10, 0, 100, 0, -3, true, true), &p);
}

}  // namespace
}  // namespace kr
