// The room's instance collection: ids, direct and family lists through deletion and
// activation, and the grid behind the candidate searches, checked against a plain walk.
#include <gtest/gtest.h>

#include <random>

#include "objects/InstanceList.h"
#include "objects/TestWorld.h"

namespace kr {
namespace {

using test::TestWorld;

std::vector<int32_t> Ids(const InstanceList& room, int32_t (InstanceList::*count)(int32_t) const,
                         CInstance* (InstanceList::*at)(int32_t, int32_t) const, int32_t obj) {
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < (room.*count)(obj); ++i) ids.push_back((room.*at)(obj, i)->id);
    return ids;
}
std::vector<int32_t> Direct(const InstanceList& r, int32_t obj) {
    return Ids(r, &InstanceList::DirectCount, &InstanceList::DirectAt, obj);
}
std::vector<int32_t> Family(const InstanceList& r, int32_t obj) {
    return Ids(r, &InstanceList::FamilyCount, &InstanceList::FamilyAt, obj);
}
std::vector<int32_t> Active(const InstanceList& r) {
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < r.Count(); ++i) ids.push_back(r.At(i)->id);
    return ids;
}

TEST(InstanceList, IdsAreNewAndLookupSkipsDeleted) {
    TestWorld world;
    const int32_t obj = world.AddObject(-1);
    InstanceList room(world);
    CInstance& placed = room.AddInstanceWithId(obj, 0, 0, 100000);
    CInstance& a = room.AddInstance(obj, 0, 0);
    CInstance& b = room.AddInstance(obj, 0, 0);
    EXPECT_EQ(a.id, 100001);
    EXPECT_EQ(b.id, 100002);
    EXPECT_EQ(room.Find(100000), &placed);

    // Two instances may share an id for a while (a changed instance and its replacement):
    // the lookup gives the first live one in room order.
    b.ChangeId(100001);
    EXPECT_EQ(room.Find(100001), &a);
    a.deleted = true;
    EXPECT_EQ(room.Find(100001), &b);
    EXPECT_EQ(room.FindAny(100001), &a);
    EXPECT_EQ(room.Find(100002), nullptr);
    room.RemoveDeleted();
    EXPECT_EQ(room.Find(100001), &b);
    EXPECT_EQ(room.FindAny(100001), &b);
    EXPECT_EQ(room.Count(), 2);
}

TEST(InstanceList, ListsFollowDeletionAndActivation) {
    TestWorld world;
    const int32_t parent = world.AddObject(-1);
    const int32_t child = world.AddObject(-1, parent);
    InstanceList room(world);
    const int32_t p1 = room.AddInstance(parent, 0, 0).id;
    CInstance& c1 = room.AddInstance(child, 0, 0);
    CInstance& p2 = room.AddInstance(parent, 0, 0);
    const int32_t c2 = room.AddInstance(child, 0, 0).id;
    EXPECT_EQ(Direct(room, parent), (std::vector<int32_t>{p1, p2.id}));
    EXPECT_EQ(Family(room, parent), (std::vector<int32_t>{p1, c1.id, p2.id, c2}));
    EXPECT_EQ(Family(room, child), (std::vector<int32_t>{c1.id, c2}));

    c1.deleted = true;
    room.RemoveDeleted();
    EXPECT_EQ(Family(room, parent), (std::vector<int32_t>{p1, p2.id, c2}));
    EXPECT_EQ(Direct(room, child), (std::vector<int32_t>{c2}));

    // Deactivated instances leave every list and the lookup; reactivated ones come back at
    // the end of the room order.
    room.Find(p1)->deactivated = true;
    room.UpdateActivation();
    EXPECT_EQ(Active(room), (std::vector<int32_t>{p2.id, c2}));
    EXPECT_EQ(Family(room, parent), (std::vector<int32_t>{p2.id, c2}));
    EXPECT_EQ(room.Find(p1), nullptr);
    ASSERT_NE(room.FindInactive(p1), nullptr);
    p2.deactivated = true;
    room.FindInactive(p1)->deactivated = false;
    room.UpdateActivation();
    EXPECT_EQ(Active(room), (std::vector<int32_t>{c2, p1}));
    EXPECT_EQ(Direct(room, parent), (std::vector<int32_t>{p1}));
    EXPECT_EQ(room.InactiveAt(0)->id, p2.id);
    EXPECT_EQ(room.DirectAt(parent, 1), nullptr);  // past the end: null, not a crash
}

TEST(InstanceList, ParentCycleInGameDataEndsTheFamily) {
    TestWorld world;
    const int32_t a = world.AddObject(-1, 1);
    const int32_t b = world.AddObject(-1, 0);
    InstanceList room(world);
    const int32_t id = room.AddInstance(a, 0, 0).id;
    EXPECT_EQ(Family(room, a), (std::vector<int32_t>{id}));
    EXPECT_EQ(Family(room, b), (std::vector<int32_t>{id}));
    // Instances of objects that do not exist are in the room but in no object's list.
    room.AddInstance(7, 0, 0);
    EXPECT_EQ(room.Count(), 2);
    EXPECT_EQ(room.DirectCount(7), 0);
}

// The grid must give exactly what a walk over the whole list gives, whatever happened to the
// boxes: moves within and across cells, big and mirrored boxes, far-away boxes, deletion,
// deactivation and reactivation.
TEST(InstanceList, CandidatesMatchAPlainWalk) {
    TestWorld world;
    const int32_t small = world.AddSprite(test::SolidSprite(8, 8, 4, 4));
    const int32_t mid = world.AddSprite(test::SolidSprite(40, 24));
    const int32_t big = world.AddSprite(test::SolidSprite(700, 600, 350, 300));
    const int32_t parent = world.AddObject(small);
    const int32_t objects[] = {parent, world.AddObject(mid, parent), world.AddObject(big),
                               world.AddObject(-1)};
    InstanceList room(world);
    std::mt19937 rng(12345);
    auto coord = [&] { return double(std::uniform_int_distribution<int>(-300, 2300)(rng)); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    // Mostly small and middle-sized instances, some big ones and some without a sprite.
    auto object = [&] { return objects[pick(10) == 0 ? 2 + pick(2) : pick(2)]; };
    for (int i = 0; i < 400; ++i) room.AddInstance(object(), coord(), coord());

    std::vector<CInstance*> got;
    for (int round = 0; round < 30; ++round) {
        for (int i = 0; i < room.Count(); ++i) {
            CInstance& inst = *room.At(i);
            switch (pick(12)) {
                case 0:
                    inst.SetPosition(coord(), coord());
                    break;
                case 1:
                    inst.SetXScale(pick(2) ? -3 : 0.5);
                    break;
                case 2:
                    inst.SetAngle(pick(360));
                    break;
                case 3:
                    inst.deleted = inst.deleted || pick(4) == 0;
                    break;
                case 4:
                    inst.deactivated = true;
                    break;
                case 5:
                    inst.SetSprite(pick(2) ? -1 : mid);
                    break;
                default:
                    inst.SetPosition(inst.X() + pick(9) - 4, inst.Y() + pick(9) - 4);
            }
        }
        for (int i = 0; i < room.InactiveCount(); ++i)
            if (pick(2)) room.InactiveAt(i)->deactivated = false;
        if (round % 3 == 0) room.RemoveDeleted();
        room.UpdateActivation();
        if (round % 5 == 0) room.AddInstance(object(), coord(), coord());

        for (int q = 0; q < 40; ++q) {
            const int32_t l = int32_t(coord()), t = int32_t(coord());
            const int32_t w = pick(3) == 0 ? pick(1500) : pick(60);
            const CollisionBox area{l, t, l + w, t + pick(60)};
            const Selection sels[] = {Selection::All(), Selection::FromObj(parent),
                                      Selection::Direct(objects[pick(4)]),
                                      Selection::FromObj(room.At(pick(room.Count()))->id)};
            for (const Selection& sel : sels) {
                std::vector<CInstance*> expected;
                const int32_t n = sel.kind == Selection::Kind::kObject ? room.FamilyCount(sel.value)
                                  : sel.kind == Selection::Kind::kDirect
                                      ? room.DirectCount(sel.value)
                                      : room.Count();
                for (int32_t k = 0; k < n; ++k) {
                    CInstance* inst =
                        sel.kind == Selection::Kind::kObject   ? room.FamilyAt(sel.value, k)
                        : sel.kind == Selection::Kind::kDirect ? room.DirectAt(sel.value, k)
                                                               : room.At(k);
                    const CollisionBox& b = inst->Box();
                    const bool touches = b.left <= area.right && area.left <= b.right &&
                                         b.top <= area.bottom && area.top <= b.bottom;
                    const bool chosen = sel.kind != Selection::Kind::kId || inst->id == sel.value;
                    if (!inst->deleted && touches && chosen) expected.push_back(inst);
                }
                if (sel.kind == Selection::Kind::kId && expected.size() > 1) expected.resize(1);
                room.Candidates(area, sel, got);
                ASSERT_EQ(got, expected) << "round " << round << " query " << q;
            }
        }
    }
}

// A move only marks the box; searches, the epoch and the list changes bring the marked boxes up
// to date first, so nothing has to read a box for a search to see the move.
TEST(InstanceList, SearchesSeeMovesWhoseBoxesNobodyRead) {
    TestWorld world;
    const int32_t obj = world.AddObject(world.AddSprite(test::SolidSprite(4, 4)));
    InstanceList room(world);
    CInstance& a = room.AddInstance(obj, 0, 0);
    CInstance& b = room.AddInstance(obj, 0, 0);
    const uint64_t epoch = room.Epoch();
    a.SetPosition(1000, 1000);
    EXPECT_NE(room.Epoch(), epoch);
    b.SetPosition(2000, 0);
    b.SetPosition(2000, 2000);  // moved twice before anyone looks
    std::vector<CInstance*> got;
    room.Candidates(CollisionBox{2000, 2000, 2001, 2001}, Selection::All(), got);
    EXPECT_EQ(got, std::vector<CInstance*>{&b});
    room.Candidates(CollisionBox{0, 0, 10, 10}, Selection::All(), got);
    EXPECT_TRUE(got.empty());
    // A marked instance may be freed: the room brings its box up to date before it goes.
    a.SetPosition(5, 5);
    a.deleted = true;
    room.RemoveDeleted();
    b.SetPosition(0, 0);
    room.Candidates(CollisionBox{0, 0, 10, 10}, Selection::All(), got);
    EXPECT_EQ(got, std::vector<CInstance*>{&b});
    EXPECT_EQ(b.BBoxLeft(), 0);
    EXPECT_EQ(b.BBoxRight(), 3);
}

// The collision phase prepares the candidates of a whole pair of lists at once. Two rooms built
// alike, one prepared and one not, run the phase's walks with the same changes in between
// (nothing, mostly; a destroyed instance, which leaves the epoch as it is; a move or a new
// instance, after which the prepared candidates no longer count) and must visit the same pairs.
// Some boxes are larger than the grid takes in cells, and some instances are destroyed before.
TEST(InstanceList, PreparedCandidatesVisitWhatTheSearchWould) {
    struct Room {
        TestWorld world;
        int32_t a = 0, b = 0, big = 0;
        InstanceList list{world};
    };
    auto build = [](Room& r) {
        const int32_t small = r.world.AddSprite(test::SolidSprite(16, 16, 8, 8));
        r.big = r.world.AddSprite(test::SolidSprite(700, 600, 350, 300));
        r.a = r.world.AddObject(small);
        r.b = r.world.AddObject(r.world.AddSprite(test::SolidSprite(12, 20)));
        std::mt19937 rng(777);
        auto coord = [&] { return double(std::uniform_int_distribution<int>(-100, 1500)(rng)); };
        for (int i = 0; i < 600; ++i) {
            CInstance& inst = r.list.AddInstance(i % 3 ? r.b : r.a, coord(), coord());
            if (i % 97 == 0) inst.SetSprite(r.big);
            if (i % 41 == 0) inst.deleted = true;
        }
    };
    Room prepared, plain;
    build(prepared);
    build(plain);
    for (const auto& [pa, pb] :
         {std::pair{prepared.a, prepared.b}, std::pair{prepared.a, prepared.a},
          std::pair{prepared.b, prepared.a}}) {
        std::vector<std::vector<int32_t>> visits(2);
        Room* rooms[] = {&prepared, &plain};
        for (int side = 0; side < 2; ++side) {
            InstanceList& room = rooms[side]->list;
            std::mt19937 rng(99);
            auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
            for (int phase = 0; phase < 6; ++phase) {
                if (side == 0) room.PrepareOverlaps(pa, pb);
                const int32_t n = room.DirectCount(pa);
                for (int32_t k = 0; k < n; ++k) {
                    CInstance* i = room.DirectAt(pa, k);
                    if (!i || i->deleted) continue;
                    OverlapWalk walk(room, Selection::Direct(pb), *i,
                                     pa == pb ? InstanceList::DirectPosition(*i) : 0);
                    while (CInstance* j = walk.Next()) {
                        visits[size_t(side)].insert(visits[size_t(side)].end(), {i->id, j->id});
                        CInstance* other = room.At(pick(room.Count()));
                        const int change = pick(150);
                        if (change < 8)
                            other->deleted = true;
                        else if (change == 8)
                            other->SetPosition(i->X() + pick(9) - 4, i->Y());
                        else if (change == 9)
                            room.AddInstance(pb, j->X(), j->Y());
                    }
                }
                room.RemoveDeleted();
            }
        }
        EXPECT_GT(visits[0].size(), 1000u);
        EXPECT_EQ(visits[0], visits[1]) << "pair " << pa << ", " << pb;
    }
}

class WalkTest : public ::testing::Test {
protected:
    WalkTest() { obj = world.AddObject(world.AddSprite(test::SolidSprite(4, 4))); }
    TestWorld world;
    InstanceList room{world};
    int32_t obj;
};

// Between two visits an event may move instances: the walk sees them where they are when it
// gets to them, like a walk over every position would.
TEST_F(WalkTest, SeesMovesMadeBetweenVisits) {
    CInstance& a = room.AddInstance(obj, 0, 0);
    CInstance& far = room.AddInstance(obj, 500, 500);
    CInstance& b = room.AddInstance(obj, 0, 0);
    OverlapWalk walk(room, Selection::All(), CollisionBox{0, 0, 3, 3});
    EXPECT_EQ(walk.Next(), &a);
    far.SetPosition(1, 1);  // moves in behind the walk's position: visited
    b.SetPosition(300, 0);  // moves out: not visited
    EXPECT_EQ(walk.Next(), &far);
    a.SetPosition(2, 2);  // already passed: not visited again
    EXPECT_EQ(walk.Next(), nullptr);
}

TEST_F(WalkTest, VisitsOnlyTheListAsItWasCounted) {
    CInstance& a = room.AddInstance(obj, 0, 0);
    CInstance& b = room.AddInstance(obj, 0, 0);
    CInstance& c = room.AddInstance(obj, 0, 0);
    OverlapWalk walk(room, Selection::Direct(obj), a, /*first=*/1);
    EXPECT_EQ(walk.Next(), &b);
    room.AddInstance(obj, 0, 0);  // created during the walk: past the count
    c.deleted = true;             // destroyed before its turn: skipped
    EXPECT_EQ(walk.Next(), nullptr);
}

// A deactivation rebuilds the lists in the middle of a walk; the walk goes on by position in
// the new list, and positions past its end are skipped.
TEST_F(WalkTest, ContinuesByPositionAfterTheListsChange) {
    CInstance& a = room.AddInstance(obj, 0, 0);
    CInstance& b = room.AddInstance(obj, 0, 0);
    CInstance& c = room.AddInstance(obj, 0, 0);
    CInstance& d = room.AddInstance(obj, 0, 0);
    OverlapWalk walk(room, Selection::Direct(obj), CollisionBox{0, 0, 0, 0});
    EXPECT_EQ(walk.Next(), &a);
    EXPECT_EQ(walk.Next(), &b);
    a.deactivated = true;  // now c is at position 1 and d at 2
    room.UpdateActivation();
    EXPECT_EQ(walk.Next(), &d);
    EXPECT_EQ(walk.Next(), nullptr);
    (void)c;
}

}  // namespace
}  // namespace kr
