// Events in a running game: inheritance from parents (collisions included), the action walk's
// control flow, the event context, room changes that stop events, the event lists and the
// error texts that name event and object.
#include <gtest/gtest.h>

#include "objects/EventDispatch.h"
#include "objects/GameFixture.h"

namespace kr {
namespace {

using namespace test;

void fn_test_room_goto(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                       RValue&) {
    RunnerOf(rt).SetRoomRequest(ArgInt(args[0]));
}

void RegisterWithRoomGoto(BuiltinRegistry& reg) {
    RegisterAllBuiltins(reg);
    reg.Add("test_room_goto", fn_test_room_goto, 1);
}

using EventsTest = GameFixture;

TEST_F(EventsTest, ChildrenRunInheritedEventsNamedByTheirDefiningObject) {
    CObject a, b, c;
    a.events[kEventStep][0] = Event({Code("global.log += 'stepA' + string(event_object) + ' '")});
    a.events[kEventCreate][0] = Event({Say("A "), Code("event_inherited()")});
    b.parent = 0;
    b.events[kEventCreate][0] = Event({Say("B "), Code("event_inherited()")});
    c.parent = 1;
    c.events[kEventCreate][0] =
        Event({Say("C "), Code("event_inherited()"), Code("global.log += string(event_object)")});
    AddObject("obj_a", a);
    AddObject("obj_b", b);
    const int32_t oc = AddObject("obj_c", c);
    ASSERT_TRUE(Start());

    // Each event_inherited runs the parent of the object whose event is running, not the
    // instance's parent again; the context comes back after each.
    CInstance& inst = Create(oc);
    EXPECT_EQ(Log(), "C B A 2");
    Run("global.log = ''");
    const EventContext before = Rt().Event();
    R().Events().PerformInstanceEvent(&inst, &inst, kEventStep, 0);
    EXPECT_EQ(Log(), "stepA0 ");
    EXPECT_EQ(Rt().Event().event_object, before.event_object);
    EXPECT_EQ(Rt().Event().event_type, before.event_type);
}

TEST_F(EventsTest, CollisionEventsAnswerForTheOtherObjectsAncestors) {
    // A <- B (B's parent is A), X, and X2 <- X.
    CObject a, b, x, x2;
    b.parent = 0;
    x2.parent = 2;
    x.events[kEventCollision][0] = Event({Say("X-A")});
    x.events[kEventCollision][1] = Event({Say("X-B")});
    x2.events[kEventCollision][0] = Event({Say("X2-A")});
    AddObject("A", a);
    AddObject("B", b);
    AddObject("X", x);
    AddObject("X2", x2);
    ASSERT_TRUE(Start());

    struct Case {
        int32_t object, other;
        int32_t owner;   // -1: no event
        int32_t number;  // the event of the owner that answers
    } cases[] = {
        {2, 1, 2, 1},   // X's own event with B wins over its event with A
        {2, 0, 2, 0},   //
        {3, 0, 3, 0},   // X2's own event with A
        {3, 1, 2, 1},   // X2 meets B: X's event with B (B itself before its ancestor A)
        {0, 2, -1, 0},  // A has no collision events
        {1, 3, -1, 0},  //
    };
    for (const Case& k : cases) {
        int32_t owner = -5;
        const CEvent* ev = R().Events().FindEventOwner(k.object, kEventCollision, k.other, owner);
        EXPECT_EQ(owner, k.owner) << k.object << " with " << k.other;
        if (k.owner >= 0)
            EXPECT_EQ(ev, &R().Game().objects.Get(k.owner)->events[kEventCollision][k.number]);
        else
            EXPECT_EQ(ev, nullptr);
    }
}

TEST_F(EventsTest, ActionWalkControlFlow) {
    const int32_t kEmpty = 0;  // an object without instances
    struct Case {
        const char* what;
        std::vector<CAction> actions;
        const char* log;
    };
    const CAction begin = Mark(CAction::kBeginBlock), end = Mark(CAction::kEndBlock),
                  otherwise = Mark(CAction::kElse), exit = Mark(CAction::kExit);
    const Case cases[] = {
        {"true condition", {If("1"), Say("t"), Say("n")}, "tn"},
        {"false condition skips one action", {If("0"), Say("t"), Say("n")}, "n"},
        {"NOT", {If("0.3", true), Say("t")}, "t"},
        {"false: else block",
         {If("0"), begin, Say("a"), Say("b"), end, otherwise, begin, Say("c"), end, Say("n")},
         "cn"},
        {"true: then block",
         {If("1"), begin, Say("a"), Say("b"), end, otherwise, begin, Say("c"), end, Say("n")},
         "abn"},
        {"nested conditions", {If("1"), If("0"), Say("a"), otherwise, Say("b"), Say("c")}, "bc"},
        {"repeat a block", {Repeat("3"), begin, Say("r"), Say("s"), end, Say("e")}, "rsrsrse"},
        {"repeat -1", {Repeat("-1"), Say("r"), Say("e")}, "e"},
        {"repeat 0", {Repeat("0"), begin, Say("r"), end, Say("e")}, "e"},
        {"exit in a repeated block ends the event",
         {Repeat("3"), begin, Say("r"), exit, end, Say("e")},
         "r"},
        {"applies to an object without instances counts as true",
         {AppliesTo(If("0"), kEmpty), Say("t")},
         "t"},
        {"a block without its end runs to the end of the list", {begin, Say("a"), Say("b")}, "ab"},
        {"... each time it is repeated", {Repeat("2"), begin, Say("x")}, "xx"},
        {"a skipped condition takes its unit along",
         {If("0"), If("1"), begin, Say("a"), end, Say("n")},
         "n"},
    };
    AddObject("empty", CObject());
    std::vector<int32_t> objects;
    for (const Case& k : cases) {
        CObject o;
        o.events[kEventStep][0] = Event(k.actions);
        objects.push_back(AddObject("o", o));
    }
    ASSERT_TRUE(Start());
    for (size_t i = 0; i < objects.size(); ++i) {
        Run("global.log = ''");
        CInstance& inst = Create(objects[i]);
        R().Events().PerformInstanceEvent(&inst, &inst, kEventStep, 0);
        EXPECT_EQ(Log(), cases[i].log) << cases[i].what;
    }
}

TEST_F(EventsTest, AppliesToWalksTheFamilyListAndOther) {
    CObject p, child, actor;
    child.parent = 0;
    actor.events[kEventStep][0] = Event({
        AppliesTo(Code("global.log += string(object_index) + string(other.object_index) + ' '"), 0),
        AppliesTo(Code("global.log += 'other' + string(object_index)"), kOwnerOther),
    });
    const int32_t op = AddObject("p", p);
    const int32_t oc = AddObject("child", child);
    const int32_t oa = AddObject("actor", actor);
    ASSERT_TRUE(Start());
    Create(oc);
    Create(op);
    CInstance& gone = Create(op);
    gone.deleted = true;
    CInstance& self = Create(oa);
    CInstance& other = Create(op);
    R().Events().PerformEvent(&self, &other, oa, kEventStep, 0);
    // Family order is room order; deleted instances are skipped; other stays the event's other.
    EXPECT_EQ(Log(), "10 00 00 other0");
}

TEST_F(EventsTest, RespondersRunByObjectThenRoomOrder) {
    CObject a, b, child, quiet;
    const CAction say_id = Code("global.log += string(id - 100000)");
    b.events[kEventStep][0] = Event({say_id});
    a.events[kEventStep][0] = Event({say_id});
    child.parent = 1;  // responds through b, in its own place in the list
    AddObject("a", a);
    AddObject("b", b);
    AddObject("quiet", quiet);
    AddObject("child", child);
    ASSERT_TRUE(Start());
    for (int32_t object : {3, 1, 0, 2, 1, 0, 3}) Create(object);
    R().Instances().At(5)->deleted = true;  // the second a
    R().Events().PerformForResponders(kEventStep, 0);
    EXPECT_EQ(Log(), "32517");
}

TEST_F(EventsTest, LivesAndHealthRunOutForEveryInstance) {
    CObject a;
    a.events[kEventOther][6] = Event({Code("global.log += 'L' + string(id - 100000)")});
    a.events[kEventOther][9] = Event({Code("global.log += 'H' + string(id - 100000)")});
    AddObject("a", a);
    ASSERT_TRUE(Start());
    Create(0);
    Create(0).deleted = true;
    Create(0);
    Run("lives = 2; lives = 0; lives = -1; health = -5");
    EXPECT_EQ(Log(), "L1L3H1H3");
}

TEST_F(EventsTest, RoomChangeStopsTheEventAndLaterEvents) {
    CObject a, b;
    a.events[kEventStep][0] = Event({Say("a1"), Code("test_room_goto(3)"), Say("a2")});
    b.events[kEventStep][0] = Event({Say("b")});
    AddObject("a", a);
    AddObject("b", b);
    register_functions = RegisterWithRoomGoto;
    ASSERT_TRUE(Start());
    Create(0);
    Create(1);
    R().Events().PerformEventForAll(kEventStep, 0);
    EXPECT_EQ(Log(), "a1");
    EXPECT_EQ(R().RoomRequest(), 3);
}

TEST_F(EventsTest, EventListsKeepTheMaximaAndPairOrder) {
    CObject a, b, c;
    a.events[kEventKeyboard][65] = Event({Say("k")});
    a.events[kEventKeyboard][200] = Event({Say("k")});  // above the maximum: never raised
    a.events[kEventAlarm][11] = Event({Say("a")});
    a.events[kEventTrigger][0] = Event({Say("t")});  // the game has no triggers
    a.events[kEventStep][0] = Event({});             // no actions: no event
    b.parent = 0;
    b.events[kEventCollision][2] = Event({Say("c")});
    c.events[kEventCollision][0] = Event({Say("c")});  // answers for b, a's child, too
    AddObject("a", a);
    AddObject("b", b);
    AddObject("c", c);
    ASSERT_TRUE(Start());
    EventDispatch& ev = R().Events();
    using V = std::vector<int32_t>;
    auto list = [&](int32_t type, int32_t number) {
        auto s = ev.EventList(type, number);
        return V(s.begin(), s.end());
    };
    EXPECT_EQ(list(kEventKeyboard, 65), (V{0, 1}));
    EXPECT_EQ(list(kEventKeyboard, 200), V{});
    EXPECT_EQ(ev.MaxEventNumber(kEventKeyboard), 128);
    EXPECT_EQ(list(kEventAlarm, 11), (V{0, 1}));
    EXPECT_EQ(ev.MaxEventNumber(kEventTrigger), -1);
    EXPECT_EQ(list(kEventStep, 0), V{});
    auto pairs = ev.CollisionPairs();
    EXPECT_EQ(std::vector<CollisionPair>(pairs.begin(), pairs.end()),
              (std::vector<CollisionPair>{{0, 2}, {1, 2}}));
}

TEST_F(EventsTest, SetParentRefusesCyclesAndMissingParentsAndRebuildsTheLists) {
    CObject a, b;
    a.events[kEventStep][0] = Event({Say("a")});
    AddObject("a", a);
    AddObject("b", b);
    ASSERT_TRUE(Start());
    struct Case {
        const char* code;
        const char* error;  // "" for none
        int32_t parent_of_b;
    } cases[] = {
        {"object_set_parent(b, 7)", "Setting a non-existing parent.", -1},
        {"object_set_parent(b, b)", "Creating a cycle in the parent relation.", -1},
        {"object_set_parent(b, a)", "", 0},
        {"object_set_parent(a, b)", "Creating a cycle in the parent relation.", 0},
        {"object_set_parent(99, a)", "", 0},  // a missing object is ignored
        {"object_set_parent(b, -5)", "", -1},
    };
    for (const Case& k : cases) {
        Rt().SetErrorOccurred(false);
        Run(k.code);
        EXPECT_NE(LastError().find(k.error), std::string::npos) << k.code << ": " << LastError();
        if (!*k.error) {
            EXPECT_EQ(LastError(), "") << k.code;
        }
        EXPECT_EQ(R().Game().objects.Get(1)->parent, k.parent_of_b) << k.code;
        const auto steps = R().Events().EventList(kEventStep, 0);
        EXPECT_EQ(steps.size(), k.parent_of_b == 0 ? 2u : 1u) << k.code;
    }
    EXPECT_EQ(Run("object_set_parent(b, a); return string(object_is_ancestor(b, a)) + "
                  "string(object_is_ancestor(a, b)) + string(object_is_ancestor(9, a))")
                  .StdStr(),
              "10-1");
}

TEST_F(EventsTest, DamagedOrRunawayGamesStopInsteadOfHanging) {
    // A parent cycle stored in the game data, and a user event that performs itself through a
    // function action (no code in between that would count the nesting).
    CObject a, b;
    a.parent = 1;
    b.parent = 0;
    CAction again;
    again.exec_type = CAction::kExecFunction;
    again.function_name = "event_user";
    again.arg_count = 1;
    again.arg_texts[0] = "0";
    b.events[kEventOther][10] = Event({again});
    AddObject("a", a);
    AddObject("b", b);
    ASSERT_TRUE(Start());
    EXPECT_EQ(R().Events().FindEvent(0, kEventStep, 0), nullptr);
    EXPECT_FALSE(R().Events().IsAncestor(0, 2));
    auto users = R().Events().EventList(kEventOther, 10);
    EXPECT_EQ(std::vector<int32_t>(users.begin(), users.end()), (std::vector<int32_t>{0, 1}));
    CInstance& inst = Create(1);
    R().Events().PerformInstanceEvent(&inst, &inst, kEventOther, 10);
    const std::string error = LastError();
    EXPECT_EQ(error.substr(error.rfind('|') + 1), "Stack overflow: events nested too deeply.");
}

TEST_F(EventsTest, ErrorsNameTheEventAndTheObject) {
    CObject a;
    a.events[kEventStep][0] = Event({Say("x"), Code("y = no_such_variable")});
    a.events[kEventStep][1] = Event({Code("y = no_such_variable")});
    a.events[kEventOther][12] = Event({Code("y = no_such_variable")});
    AddObject("obj_a", a);
    ASSERT_TRUE(Start());
    CInstance& inst = Create(0);
    struct Case {
        int32_t type, number;
        const char* head;
    } cases[] = {
        {kEventStep, 0, "ERROR in|action number 2|of  Step Event|for object obj_a:||"},
        {kEventStep, 1, "ERROR in|action number 1|of Begin Step Event|for object obj_a:||"},
        {kEventOther, 12,
         "ERROR in|action number 1|of Other Event: User Defined 2|for object "
         "obj_a:||"},
    };
    for (const Case& k : cases) {
        Rt().SetErrorOccurred(false);
        R().Events().PerformInstanceEvent(&inst, &inst, k.type, k.number);
        EXPECT_EQ(LastError().rfind(k.head, 0), 0u) << LastError();
    }
}

TEST_F(EventsTest, CompilationErrorsOfActionsStopThePreparation) {
    struct Case {
        CAction action;
        const char* head;
    };
    CAction bad_argument = Repeat("3 +");
    const Case cases[] = {
        {Code("x = "),
         "FATAL ERROR in|action number 2|of Create Event|for object obj_bad:||COMPILATION ERROR "
         "in code action|Error in code at line 1"},
        {bad_argument,
         "FATAL ERROR in|action number 2|of Create Event|for object obj_bad:||COMPILATION ERROR "
         "in argument 0|Error in expression:3 +"},
    };
    for (const Case& k : cases) {
        GameWriter fresh;
        w = fresh;
        CObject good, bad;
        bad.events[kEventCreate][0] = Event({Say("fine"), k.action});
        w.Add("obj_good", good);
        w.Add("obj_bad", bad);
        EXPECT_FALSE(Start());
        EXPECT_EQ(LastError().rfind(k.head, 0), 0u) << LastError();
        ASSERT_FALSE(rec.messages.empty());
        EXPECT_EQ(rec.messages.back(), "Failed to compile the actions in the objects.");
    }
}

TEST_F(EventsTest, TimeLineCompilationErrorsNameTheMoment) {
    CTimeLine t;
    t.moments.push_back({5, Event({Code("x = ")})});
    w.Add("tl_intro", t);
    EXPECT_FALSE(Start());
    EXPECT_EQ(LastError().rfind("FATAL ERROR in|action number 1|at time step 5|of time line "
                                "tl_intro:||COMPILATION ERROR in code action",
                                0),
              0u)
        << LastError();
    EXPECT_EQ(rec.messages.back(), "Failed to compile the actions in the time lines.");
}

}  // namespace
}  // namespace kr
