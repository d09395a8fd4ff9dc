// Creating, copying, changing and destroying instances: ids, what is kept, which events run
// and in what order, and the error texts.
#include <gtest/gtest.h>

#include <functional>

#include "objects/InstanceOps.h"
#include "objects/TestWorld.h"

namespace kr {
namespace {

using test::TestWorld;

// Records the events performed as "create 100001" or "destroy 100002"; `react` runs inside
// each event.
class EventLog : public InstanceEventHook {
public:
    std::vector<std::string> log;
    std::function<void(CInstance&, int32_t)> react;
    void PerformInstanceEvent(CInstance& self, CInstance& other, int32_t type,
                              int32_t number) override {
        EXPECT_EQ(&self, &other);
        EXPECT_EQ(number, 0);
        log.push_back((type == 0   ? "create "
                       : type == 1 ? "destroy "
                                   : "? ") +
                      std::to_string(self.id));
        if (react) react(self, type);
    }
};

class OpsTest : public ::testing::Test {
protected:
    OpsTest() {
        const int32_t square = world.AddSprite(test::SolidSprite(8, 8));
        ball = world.AddObject(square);
        ObjectDefaults w;
        w.sprite = world.AddSprite(test::SolidSprite(2, 2));
        w.depth = -5;
        w.solid = true;
        wall = world.AddObject(w);
    }
    TestWorld world;
    InstanceList room{world};
    test::RecordingRuntime rt;
    EventLog events;
    InstanceContext ctx{room, rt, &events};
    int32_t ball, wall;
};

TEST_F(OpsTest, CreateGivesANewIdAndRunsTheCreateEvent) {
    CInstance* a = InstanceCreate(ctx, ball, 10, 20);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->id, 100001);
    EXPECT_EQ(a->X(), 10);
    EXPECT_EQ(room.Find(100001), a);
    EXPECT_EQ(events.log, (std::vector<std::string>{"create 100001"}));

    EXPECT_EQ(InstanceCreate(ctx, 9, 0, 0), nullptr);
    EXPECT_EQ(InstanceCreate(ctx, -1, 0, 0), nullptr);
    EXPECT_EQ(rt.errors,
              (std::vector<std::string>{"Creating instance for non-existing object: 9",
                                        "Creating instance for non-existing object: -1"}));
    EXPECT_EQ(room.Count(), 1);
}

TEST_F(OpsTest, CopyHasItsOwnIdAndTheSameValues) {
    CInstance& a = room.AddInstance(ball, 10, 20);
    a.SetSpeed(3);
    a.vars.SetVar(100000, 0, RValue(7.0));
    CInstance& quiet = InstanceCopy(ctx, a, false);
    EXPECT_TRUE(events.log.empty());
    CInstance& copy = InstanceCopy(ctx, a, true);
    EXPECT_NE(copy.id, a.id);
    EXPECT_NE(copy.id, quiet.id);
    EXPECT_EQ(room.Find(copy.id), &copy);
    EXPECT_EQ(room.Find(a.id), &a);
    EXPECT_EQ(copy.Speed(), 3);
    EXPECT_EQ(copy.vars.GetVar(100000, 0)->real, 7.0);
    EXPECT_EQ(events.log, (std::vector<std::string>{"create " + std::to_string(copy.id)}));
}

TEST_F(OpsTest, ChangeKeepsTheInstanceButTakesTheNewObjectsLook) {
    CInstance& a = room.AddInstance(ball, 10, 20);
    const int32_t id = a.id;
    a.vars.SetVar(100000, 0, RValue(7.0));
    a.SetAlarm(2, 9);
    a.SetHSpeed(4);
    CInstance* changed = InstanceChange(ctx, a, wall, false);
    ASSERT_NE(changed, nullptr);
    EXPECT_TRUE(events.log.empty());
    EXPECT_TRUE(a.deleted);
    EXPECT_EQ(changed->id, id);
    EXPECT_EQ(room.Find(id), changed);
    EXPECT_EQ(changed->object_index, wall);
    EXPECT_EQ(changed->vars.GetVar(100000, 0)->real, 7.0);
    EXPECT_EQ(changed->GetAlarm(2), 9);
    EXPECT_EQ(changed->HSpeed(), 4);
    EXPECT_EQ(changed->depth, -5);
    EXPECT_TRUE(changed->solid);
    EXPECT_EQ(changed->Box(), (CollisionBox{10, 20, 11, 21}));
    EXPECT_EQ(room.DirectCount(wall), 1);

    // With events: the old instance's destroy event, then the new one's create event.
    CInstance* again = InstanceChange(ctx, *changed, ball, true);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(events.log, (std::vector<std::string>{"destroy " + std::to_string(id),
                                                    "create " + std::to_string(id)}));

    EXPECT_EQ(InstanceChange(ctx, *again, 42, true), nullptr);
    EXPECT_EQ(rt.errors,
              (std::vector<std::string>{"Asking to change into non-existing object: 42"}));
    EXPECT_FALSE(again->deleted);
}

TEST_F(OpsTest, DestroyRunsTheEventAndDefersTheRemoval) {
    CInstance& a = room.AddInstance(ball, 0, 0);
    bool deleted_in_event = true;
    events.react = [&](CInstance& self, int32_t) { deleted_in_event = self.deleted; };
    InstanceDestroy(ctx, a);
    EXPECT_FALSE(deleted_in_event);
    EXPECT_TRUE(a.deleted);
    EXPECT_EQ(a.X(), 0);  // still readable until the room removes it
    EXPECT_EQ(room.Count(), 1);
    room.RemoveDeleted();
    EXPECT_EQ(room.Count(), 0);
}

TEST_F(OpsTest, PositionDestroyTakesEveryInstanceOnThePointInRoomOrder) {
    // A transparent pixel at (0, 0) of the corner sprite: its instance is not on the point.
    const int32_t corner = world.AddObject(world.AddSprite(test::MakeSprite({{".#", "##"}}, 0, 0)));
    CInstance& a = room.AddInstance(ball, 0, 0);
    CInstance& miss = room.AddInstance(corner, 0, 0);
    CInstance& away = room.AddInstance(ball, 100, 100);
    CInstance& b = room.AddInstance(ball, -4, -4);
    // The first destroy event moves `away` onto the point: it is destroyed in its turn.
    events.react = [&](CInstance& self, int32_t) {
        if (&self == &a) away.SetPosition(0, 0);
    };
    PositionDestroy(ctx, 0.5, 0.5);
    EXPECT_EQ(events.log, (std::vector<std::string>{"destroy " + std::to_string(a.id),
                                                    "destroy " + std::to_string(away.id),
                                                    "destroy " + std::to_string(b.id)}));
    EXPECT_FALSE(miss.deleted);
}

TEST_F(OpsTest, PositionChangeAndSpriteErrors) {
    CInstance& a = room.AddInstance(ball, 0, 0);
    PositionChange(ctx, 1, 1, 77, true);
    EXPECT_FALSE(a.deleted);
    PositionChange(ctx, 1, 1, wall, false);
    EXPECT_TRUE(a.deleted);
    ASSERT_EQ(room.Count(), 2);  // the new instance is not changed again by the same walk
    EXPECT_EQ(room.At(1)->object_index, wall);
    EXPECT_EQ(room.At(1)->id, a.id);

    EXPECT_FALSE(SetInstanceSprite(ctx, *room.At(1), 5));
    EXPECT_TRUE(SetInstanceSprite(ctx, *room.At(1), 0));
    EXPECT_EQ(room.At(1)->SpriteIndex(), 0);
    EXPECT_EQ(rt.errors, (std::vector<std::string>{"Asking to change into non-existing object: 77",
                                                   "Setting instance to non-existing sprite: 5"}));
}

}  // namespace
}  // namespace kr
