// Instances of a running game as scripts reach them: the instance functions, with and other
// through real instances, the instance variables, and the collision phase with solid
// instances.
#include <gtest/gtest.h>

#include "objects/GameFixture.h"

namespace kr {
namespace {

using namespace test;

class RoomInstancesTest : public GameFixture {
protected:
    // ball (0, 16 x 16), child (1, parent ball), wall (2, solid), other objects after.
    void AddBasics() {
        w.Add("spr_square", SolidSprite(16, 16));
        CObject ball, child, wall;
        ball.sprite = 0;
        ball.events[kEventCreate][0] = Event({Code("global.log += 'c' + string(id) + ' '")});
        ball.events[kEventDestroy][0] = Event({Code("global.log += 'd' + string(id) + ' '")});
        child.sprite = 0;
        child.parent = 0;
        wall.sprite = 0;
        wall.solid = true;
        AddObject("ball", ball);
        AddObject("child", child);
        AddObject("wall", wall);
    }
    // One step of motion and the collision phase.
    void Step() {
        InstanceList& room = R().Instances();
        for (int32_t k = 0; k < room.Count(); ++k) {
            CInstance& i = *room.At(k);
            i.xprevious = i.X();
            i.yprevious = i.Y();
            i.SetPosition(i.X() + i.HSpeed(), i.Y() + i.VSpeed());
        }
        R().HandleCollisions();
        room.RemoveDeleted();
    }
};

TEST_F(RoomInstancesTest, InstanceFunctionsSelectByFamilyAndSkipDeleted) {
    AddBasics();
    ASSERT_TRUE(Start());
    // Ids follow the game's last stored id (100000 in GameWriter).
    struct Case {
        const char* code;
        const char* result;
    } cases[] = {
        {"a = instance_create(10, 0, ball); b = instance_create(50, 0, child); "
         "c = instance_create(30, 0, ball); return string(a) + ' ' + string(b) + ' ' + "
         "string(c)",
         "100001 100002 100003"},
        {"return global.log", "c100001 c100002 c100003 "},  // child inherits ball's
        {"return string(instance_number(ball)) + string(instance_number(child)) + "
         "string(instance_number(all)) + string(instance_number(wall)) + "
         "string(instance_number(noone))",
         "31300"},
        {"return string(instance_find(ball, 1)) + ' ' + string(instance_find(ball, 3)) + ' ' + "
         "string(instance_find(all, -1)) + ' ' + string(instance_find(100002, 0))",
         "100002 -4 -4 100002"},
        {"return string(instance_nearest(31, 0, ball)) + ' ' + string(instance_furthest(31, 0, "
         "ball)) + ' ' + string(instance_nearest(20, 0, ball)) + ' ' + "
         "string(instance_nearest(0, 0, wall))",
         "100003 100001 100001 -4"},  // a tie keeps the first in list order
        {"with (100003) instance_destroy(); return string(instance_exists(100003)) + "
         "string(instance_number(ball)) + string(instance_exists(ball)) + "
         "string(instance_exists(wall)) + string(instance_find(ball, 1))",
         "0210100002"},
        {"return string(instance_create(0, 0, 77))", "-4"},
    };
    for (const Case& k : cases) EXPECT_EQ(Run(k.code).StdStr(), k.result) << k.code;
    EXPECT_NE(Log().find("d100003"), std::string::npos);
    const std::string error = LastError();
    EXPECT_EQ(error.substr(error.rfind('|') + 1), "Creating instance for non-existing object: 77");
}

TEST_F(RoomInstancesTest, WithAndOtherReachRealInstances) {
    AddBasics();
    ASSERT_TRUE(Start());
    CInstance& a = Create(0, 10, 20);
    Create(1, 30, 40);
    Run("global.log = ''");
    const RValue r =
        Run("with (ball) { global.log += string(id) + '<' + string(other.id) + ' '; x += other.x }"
            "with (all) y = 1;"
            "(100002).image_angle = 90;"
            "return string((100001).x) + ' ' + string(ball.x) + ' ' + string((100002).x) + ' ' + "
            "string(child.y) + string((100002).bbox_right)",
            &a);
    EXPECT_EQ(Log(), "100001<100001 100002<100001 ");
    EXPECT_EQ(r.StdStr(), "20 20 50 165");
}

TEST_F(RoomInstancesTest, ChangeKeepsIdAndVariablesCopyGetsANewId) {
    AddBasics();
    ASSERT_TRUE(Start());
    CInstance& a = Create(0, 5, 6);
    Run("hp = 3; global.copy = instance_copy(false); instance_change(wall, true);", &a);
    EXPECT_TRUE(a.deleted);
    EXPECT_EQ(Run("return string(global.copy) + ' ' + string((global.copy).hp) + ' ' + "
                  "string((100001).object_index) + string((100001).hp) + string((100001).solid)")
                  .StdStr(),
              "100002 3 231");
    EXPECT_EQ(Log(), "c100001 d100001 ") << "no create event for the copy or the wall";
}

// instance_sprite sets the caller's sprite with its box; a sprite that does not exist is an
// error that leaves the instance as it was.
TEST_F(RoomInstancesTest, InstanceSpriteChangesTheLookAndTheBox) {
    AddBasics();
    w.Add("spr_wide", SolidSprite(40, 8, 20, 0));
    ASSERT_TRUE(Start());
    CInstance& a = Create(0, 100, 50);
    a.image_index = 0.5;
    EXPECT_EQ(Run("instance_sprite(spr_wide); return string(sprite_index) + ' ' + "
                  "string(bbox_left) + ' ' + string(bbox_right) + ' ' + string(bbox_bottom) + "
                  "' ' + string(image_index)",
                  &a)
                  .StdStr(),
              "1 80 119 57 0.50");
    EXPECT_EQ(LastError(), "");
    EXPECT_EQ(
        Run("instance_sprite(7); instance_sprite(-1); return string(sprite_index)", &a).StdStr(),
        "1");
    EXPECT_EQ(a.SpriteIndex(), 1);
    EXPECT_NE(LastError().find("Setting instance to non-existing sprite: -1"), std::string::npos)
        << LastError();
}

TEST_F(RoomInstancesTest, PlaceAndCollisionFunctionsAskTheRoom) {
    AddBasics();
    ASSERT_TRUE(Start());
    CInstance& self = Create(0, 0, 0);
    Create(2, 32, 0);   // wall 32..47
    Create(0, 100, 0);  // ball 100..115
    struct Case {
        const char* code;
        double result;
    } cases[] = {
        {"return place_free(10, 0)", 1},
        {"return place_free(20, 0)", 0},
        {"return place_empty(90, 0)", 0},
        {"return place_meeting(90, 0, ball)", 1},
        {"return place_meeting(90, 0, wall)", 0},
        {"return instance_place(20, 0, all)", 100002},
        {"return instance_position(40, 5, wall)", 100002},
        {"return instance_position(5, 5, ball)", 100001},
        {"return collision_point(5, 5, ball, true, true)", -4},
        {"return collision_rectangle(0, 0, 200, 4, ball, false, true)", 100003},
        {"return collision_line(0, 8, 200, 8, all, true, true)", 100002},
        {"return collision_circle(107, 8, 3, all, true, false)", 100003},
        {"return collision_ellipse(60, 0, 90, 20, all, true, false)", -4},
    };
    for (const Case& k : cases) EXPECT_EQ(Show(Run(k.code, &self)), Show(k.result)) << k.code;
    EXPECT_EQ(self.X(), 0) << "place functions leave the instance where it was";
}

TEST_F(RoomInstancesTest, SolidCollisionsPutInstancesBackBeforeTheirEvents) {
    AddBasics();
    CObject mover;
    mover.sprite = 0;
    mover.events[kEventCollision][2] =
        Event({Code("global.log += 'hit' + string(x) + ' '; hspeed = 0")});
    const int32_t m = AddObject("mover", mover);
    ASSERT_TRUE(Start());
    CInstance& inst = Create(m, 0, 0);
    Create(2, 20, 0);  // wall 20..35
    inst.SetHSpeed(3);
    for (int s = 0; s < 4; ++s) Step();
    // At x = 6 it meets the wall: put back to 3, the event stops it, and it stays.
    EXPECT_EQ(Log(), "hit3 ");
    EXPECT_EQ(inst.X(), 3);
}

TEST_F(RoomInstancesTest, SolidCollisionsMoveOnAfterTheEventsAndPutBackIfStillMeeting) {
    AddBasics();
    CObject mover;
    mover.sprite = 0;
    mover.events[kEventCollision][2] = Event({Code("global.log += 'hit' + string(x) + ' '")});
    const int32_t m = AddObject("mover", mover);
    ASSERT_TRUE(Start());
    CInstance& inst = Create(m, 0, 0);
    Create(2, 20, 0);
    inst.SetHSpeed(3);
    Step();
    Step();
    EXPECT_EQ(inst.X(), 3) << "moved on to 6 after the event, met the wall again, put back";
    Step();
    EXPECT_EQ(Log(), "hit3 hit3 ");
}

TEST_F(RoomInstancesTest, OverlappingInstancesGetBothEventsEveryStepAndPairsOnce) {
    w.Add("spr_square", SolidSprite(16, 16));
    CObject p, q, s;
    p.sprite = q.sprite = s.sprite = 0;
    p.events[kEventCollision][1] = Event({Say("p")});
    q.events[kEventCollision][0] = Event({Say("q")});
    s.events[kEventCollision][2] =
        Event({Code("global.log += string(id - 100000) + string(other.id - 100000) + ' '")});
    AddObject("p", p);
    AddObject("q", q);
    AddObject("s", s);
    ASSERT_TRUE(Start());
    Create(0, 0, 0);
    Create(1, 8, 0);
    Create(2, 100, 0);  // 3
    Create(2, 104, 0);  // 4
    Create(2, 108, 0);  // 5
    Step();
    Step();
    // Instances of one object meet as (earlier, later) once, each getting its event.
    EXPECT_EQ(Log(), "pq34 43 35 53 45 54 pq34 43 35 53 45 54 ");
}

}  // namespace
}  // namespace kr
