// The instance record: creation from an object, the bounding box, the velocity coupling,
// friction and gravity, animation, alarms and Assign.
#include <gtest/gtest.h>

#include <cmath>

#include "objects/Instance.h"
#include "objects/TestWorld.h"

namespace kr {
namespace {

using test::TestWorld;

class InstanceTest : public ::testing::Test {
protected:
    InstanceTest() {
        square = world.AddSprite(test::SolidSprite(32, 32, 16, 16));
        four = world.AddSprite(
            test::MakeSprite({{"#"}, {"#"}, {"#"}, {"#"}}, 0, 0));  // four 1 x 1 images
        three = world.AddSprite(test::MakeSprite({{"#"}, {"#"}, {"#"}}, 0, 0));
        ObjectDefaults o;
        o.sprite = square;
        o.depth = 7;
        o.solid = true;
        o.visible = false;
        o.persistent = true;
        obj = world.AddObject(o);
        bare = world.AddObject(ObjectDefaults{});
    }
    TestWorld world;
    int32_t square, four, three, obj, bare;
};

TEST_F(InstanceTest, CreationTakesTheObjectsDefaults) {
    CInstance i(world, 100, 50, 100001, obj);
    EXPECT_EQ(i.id, 100001);
    EXPECT_EQ(i.object_index, obj);
    EXPECT_EQ(i.SpriteIndex(), square);
    EXPECT_EQ(i.MaskIndex(), -1);
    EXPECT_EQ(i.depth, 7);
    EXPECT_TRUE(i.solid);
    EXPECT_FALSE(i.visible);
    EXPECT_TRUE(i.persistent);
    EXPECT_EQ(i.xstart, 100);
    EXPECT_EQ(i.yprevious, 50);
    EXPECT_EQ(i.gravity_direction, 270);
    EXPECT_EQ(i.image_blend, 0xFFFFFF);
    EXPECT_EQ(i.GetAlarm(0), -1);
    EXPECT_EQ(i.GetAlarm(11), -1);
    EXPECT_EQ(i.Box(), (CollisionBox{84, 34, 115, 65}));

    // An object that does not exist leaves the defaults.
    CInstance none(world, 0, 0, 1, 99);
    EXPECT_EQ(none.SpriteIndex(), -1);
    EXPECT_TRUE(none.visible);
    EXPECT_EQ(none.Box(), (CollisionBox{kNoBox, kNoBox, kNoBox, kNoBox}));
}

// A 32 x 32 mask with origin (16, 16) at (100, 50).
TEST_F(InstanceTest, BoundingBoxFollowsScaleMirrorAndRotation) {
    struct Case {
        double xscale, yscale, angle;
        CollisionBox box;
    };
    const Case cases[] = {
        {1, 1, 0, {84, 34, 115, 65}},
        {2, 1, 0, {68, 34, 131, 65}},
        {1, 0.5, 0, {84, 42, 115, 57}},
        // Mirrored boxes are swapped back into order (and are one pixel wider).
        {-1, 1, 0, {83, 34, 116, 65}},
        {1, -1, 0, {84, 33, 115, 66}},
        // Rotated: the box around the turned corners.
        {1, 1, 90, {84, 35, 115, 66}},
        {1, 1, 45, {77, 28, 121, 72}},
        {2, 1, 90, {84, 19, 115, 82}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.xscale << " " << c.yscale << " " << c.angle);
        CInstance i(world, 100, 50, 1, obj);
        i.SetXScale(c.xscale);
        i.SetYScale(c.yscale);
        i.SetAngle(c.angle);
        EXPECT_EQ(i.Box(), c.box);
    }
}

TEST_F(InstanceTest, EveryChangeOfPositionOrLookRecomputesTheBox) {
    const int32_t small = world.AddSprite(test::SolidSprite(4, 4));
    CInstance i(world, 100, 50, 1, obj);
    i.SetPosition(10, 20);
    EXPECT_EQ(i.Box(), (CollisionBox{-6, 4, 25, 35}));
    i.SetMask(small);  // the mask sprite decides the box, not the shown sprite
    EXPECT_EQ(i.Box(), (CollisionBox{10, 20, 13, 23}));
    i.SetMask(-1);
    i.SetSprite(small);
    EXPECT_EQ(i.Box(), (CollisionBox{10, 20, 13, 23}));
    i.SetSprite(55);  // no such sprite: far away
    EXPECT_EQ(i.Box(), (CollisionBox{kNoBox, kNoBox, kNoBox, kNoBox}));
    EXPECT_EQ(i.ImageNumber(), 0);
    // Positions a script cannot mean still give a bounded box.
    i.SetSprite(small);
    i.SetPosition(1e300, -1e300);
    EXPECT_EQ(i.Box(), (CollisionBox{kCoordLimit, -kCoordLimit, kCoordLimit, -kCoordLimit}));
    i.SetPosition(NAN, 0);
    EXPECT_EQ(i.Box().left, 0);
}

TEST_F(InstanceTest, DirectionAndSpeedFollowTheComponents) {
    struct Case {
        double hspeed, vspeed, direction, speed;
    };
    const Case cases[] = {
        {3, -4, 53.13010235415598, 5},  // speed exactly 5
        {0, 2, 270, 2},
        {0, -2, 90, 2},
        {0, 0, 0, 0},
        {-1, 0, 180, 1},
        {1, 1, 315, std::sqrt(2.0)},
        {0.99999, 0, 0, 1},  // within 0.0001 of an integer: snapped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hspeed << ", " << c.vspeed);
        CInstance i(world, 0, 0, 1, bare);
        i.SetHSpeed(c.hspeed);
        i.SetVSpeed(c.vspeed);
        EXPECT_DOUBLE_EQ(i.Direction(), c.direction);
        EXPECT_DOUBLE_EQ(i.Speed(), c.speed);
    }
}

TEST_F(InstanceTest, ComponentsFollowDirectionAndSpeed) {
    CInstance i(world, 0, 0, 1, bare);
    i.SetSpeed(2);
    i.SetDirection(90);
    // cos 90 is not exactly 0; the snapping makes the component exact.
    EXPECT_EQ(i.HSpeed(), 0);
    EXPECT_EQ(i.VSpeed(), -2);
    i.SetDirection(-90);
    EXPECT_EQ(i.Direction(), 270);
    EXPECT_EQ(i.VSpeed(), 2);
    i.SetDirection(720);
    EXPECT_EQ(i.Direction(), 0);
    EXPECT_EQ(i.HSpeed(), 2);
    i.SetSpeed(-1);  // a negative speed moves backwards
    EXPECT_EQ(i.HSpeed(), -1);
    i.AddMotion(90, 1);  // the components are not snapped, direction and speed are
    EXPECT_DOUBLE_EQ(i.HSpeed(), -1);
    EXPECT_EQ(i.VSpeed(), -1);
    EXPECT_EQ(i.Direction(), 135);
}

TEST_F(InstanceTest, FrictionStopsAtZeroAndGravityAccelerates) {
    CInstance i(world, 0, 0, 1, bare);
    i.SetSpeed(2);
    i.friction = 3;
    i.ApplyFrictionAndGravity();
    EXPECT_EQ(i.Speed(), 0);  // not -1

    i.SetSpeed(-2);
    i.friction = 0.5;
    i.ApplyFrictionAndGravity();
    EXPECT_EQ(i.Speed(), -1.5);

    CInstance falling(world, 0, 0, 2, bare);
    falling.gravity = 0.5;
    falling.ApplyFrictionAndGravity();
    EXPECT_EQ(falling.VSpeed(), 0.5);
    EXPECT_EQ(falling.Direction(), 270);
    EXPECT_EQ(falling.Speed(), 0.5);
}

TEST_F(InstanceTest, AnimationWrapsAndReportsTheEnd) {
    CInstance i(world, 0, 0, 1, bare);
    i.SetSprite(four);
    i.image_speed = 1.5;
    EXPECT_FALSE(i.AdvanceAnimation());
    EXPECT_EQ(i.image_index, 1.5);
    EXPECT_FALSE(i.AdvanceAnimation());
    EXPECT_EQ(i.image_index, 3.0);
    EXPECT_TRUE(i.AdvanceAnimation());
    EXPECT_EQ(i.image_index, 0.5);

    // Backwards: no lower wrap.
    i.image_speed = -1;
    EXPECT_FALSE(i.AdvanceAnimation());
    EXPECT_FALSE(i.AdvanceAnimation());
    EXPECT_EQ(i.image_index, -1.5);

    // Without a sprite every step ends the animation.
    CInstance none(world, 0, 0, 2, bare);
    EXPECT_TRUE(none.AdvanceAnimation());
    EXPECT_TRUE(none.AdvanceAnimation());
}

TEST_F(InstanceTest, ChangingTheSpriteKeepsOrResetsTheImage) {
    CInstance i(world, 0, 0, 1, bare);
    i.SetSprite(four);
    i.image_index = 3.2;
    i.SetSprite(three);  // 3 images, floor(3.2) = 3: reset
    EXPECT_EQ(i.image_index, 0);
    i.image_index = 2.9;
    i.SetSprite(four);
    EXPECT_EQ(i.image_index, 2.9);
    i.image_index = -2;
    i.SetSprite(three);
    EXPECT_EQ(i.image_index, -2);
}

TEST_F(InstanceTest, AlarmsAndPathPositionsStayInRange) {
    CInstance i(world, 0, 0, 1, bare);
    i.SetAlarm(11, 5);
    i.SetAlarm(12, 9);
    i.SetAlarm(-1, 9);
    EXPECT_EQ(i.GetAlarm(11), 5);
    EXPECT_EQ(i.GetAlarm(12), -1);
    EXPECT_EQ(i.GetAlarm(-1), -1);
    i.SetPathPosition(1.5);
    EXPECT_EQ(i.PathPosition(), 1);
    i.SetPathPositionPrevious(-0.5);
    EXPECT_EQ(i.PathPositionPrevious(), 0);
    i.SetPathPosition(NAN);
    EXPECT_EQ(i.PathPosition(), 0);
}

TEST_F(InstanceTest, AssignCopiesTheStateButNotThePathStart) {
    CInstance src(world, 10, 20, 100005, obj);
    src.SetHSpeed(3);
    src.SetXScale(2);
    src.image_index = 1;
    src.SetAlarm(3, 8);
    src.path_xstart = 77;
    src.SetPathPosition(0.25);
    src.creation_code = "x = 1";
    src.vars.SetVar(100000, 0, RValue(4.0));

    CInstance dst(world, 0, 0, 1, bare);
    dst.path_xstart = 5;
    dst.Assign(src);
    EXPECT_EQ(dst.id, 100005);
    EXPECT_EQ(dst.object_index, obj);
    EXPECT_EQ(dst.X(), 10);
    EXPECT_EQ(dst.HSpeed(), 3);
    EXPECT_EQ(dst.Speed(), 3);
    EXPECT_EQ(dst.XScale(), 2);
    EXPECT_EQ(dst.Box(), src.Box());
    EXPECT_EQ(dst.GetAlarm(3), 8);
    EXPECT_EQ(dst.PathPosition(), 0.25);
    EXPECT_EQ(dst.path_xstart, 5);
    EXPECT_EQ(dst.creation_code, "x = 1");
    // The variables are a copy, not shared.
    src.vars.SetVar(100000, 0, RValue(5.0));
    const RValue* v = dst.vars.GetVar(100000, 0);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->real, 4.0);
}

}  // namespace
}  // namespace kr
