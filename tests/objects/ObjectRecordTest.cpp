#include <gtest/gtest.h>

#include <map>

#include "objects/Object.h"
#include "objects/TimeLine.h"
#include "objects/Trigger.h"
#include "support/RecordTestUtil.h"

namespace kr {
namespace {

using test::EveryTruncationFails;
using test::LoadsExactly;
using test::PatchInteger;
using test::ReadsBackEqual;
using test::SavedBytes;

CAction FunctionAction(const std::string& name) {
    CAction a;
    a.library_id = 1;
    a.action_id = 101;
    a.may_be_relative = true;
    a.is_question = true;
    a.has_applies_to = true;
    a.exec_type = CAction::kExecFunction;
    a.function_name = name;
    a.arg_count = 3;
    a.arg_kinds = {0, 1, 2, 0, 0, 0, 0, 0};
    a.applies_to = -2;
    a.relative = true;
    a.arg_texts[0] = "x + 1";
    a.arg_texts[1] = "hello";
    a.arg_texts[2] = "'abc'";
    a.is_not = true;
    return a;
}

CAction CodeAction(const std::string& code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.code_text = code;
    return a;
}

CAction Mark(int32_t kind) {
    CAction a;
    a.kind = kind;
    return a;
}

CObject RichObject() {
    CObject o;
    o.sprite = 3;
    o.solid = true;
    o.visible = false;
    o.depth = -20;
    o.persistent = true;
    o.parent = 1;
    o.mask = 4;
    o.events[kEventCreate][0].actions = {CodeAction("hp = 3;")};
    o.events[kEventStep][2].actions = {FunctionAction("action_move"), Mark(CAction::kBeginBlock),
                                       CodeAction("x += 1;"), Mark(CAction::kEndBlock)};
    o.events[kEventCollision][7].actions = {Mark(CAction::kExit)};
    o.events[kEventKeyPress][255].actions = {FunctionAction("action_kill_object")};
    o.events[kEventTrigger][0] = CEvent();  // stored but empty: it does not exist
    return o;
}

TEST(ObjectRecord, RoundTripsVersionsAndTruncation) {
    EXPECT_TRUE(ReadsBackEqual(RichObject()));
    auto bytes = SavedBytes(RichObject());
    EXPECT_TRUE(EveryTruncationFails<CObject>(bytes));
    // A wrong version at any level fails the whole record.
    for (int32_t version : {kObjectVersion, kEventVersion, kActionVersion}) {
        auto patched = bytes;
        ASSERT_TRUE(PatchInteger(patched, version, version + 1));
        CStream s(patched);
        EXPECT_FALSE(CObject().LoadFromStream(s)) << version;
    }
}

TEST(ObjectRecord, FindEvent) {
    CObject o = RichObject();
    ASSERT_NE(o.FindEvent(kEventStep, 2), nullptr);
    EXPECT_EQ(o.FindEvent(kEventStep, 2)->actions.size(), 4u);
    EXPECT_EQ(o.FindEvent(kEventStep, 0), nullptr);
    EXPECT_FALSE(o.FindEvent(kEventTrigger, 0)->Exists());
    EXPECT_EQ(o.FindEvent(12, 0), nullptr);
    EXPECT_EQ(o.FindEvent(-1, 0), nullptr);
}

// A hand-made object record: the fields, the last event type, then per type the numbered events
// given in `lists` (an event is stored as version and an action count of 0), each list ending
// with `end`.
std::vector<uint8_t> StoredObject(int32_t last_type,
                                  const std::map<int32_t, std::vector<int32_t>>& lists,
                                  int32_t end = -1) {
    CStream s;
    s.WriteInteger(kObjectVersion);
    for (int32_t v : {-1, 0, 1, 0, 0, -1, -1}) s.WriteInteger(v);
    s.WriteInteger(last_type);
    for (int32_t type = 0; type <= last_type; ++type) {
        auto it = lists.find(type);
        if (it != lists.end()) {
            for (int32_t number : it->second) {
                s.WriteInteger(number);
                s.WriteInteger(kEventVersion);
                s.WriteInteger(0);
            }
        }
        s.WriteInteger(end);
    }
    return s.Bytes();
}

TEST(ObjectRecord, EventLists) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool loads;
        size_t events;
    } cases[] = {
        {"every list just -1: no events", StoredObject(11, {}), true, 0},
        {"no event types at all", StoredObject(-1, {}), true, 0},
        {"fewer types than 12", StoredObject(4, {{4, {3, 9}}}), true, 2},
        {"a number stored twice keeps one event", StoredObject(2, {{2, {1, 1}}}), true, 1},
        {"a last type beyond the 12 types", StoredObject(12, {}), false, 0},
        {"a last type below -1", StoredObject(-2, {}), false, 0},
        {"a negative number that is not the end mark", StoredObject(3, {{3, {-5}}}), false, 0},
        {"a list without its end mark", StoredObject(0, {}, 0), false, 0},
    };
    for (const Case& c : cases) {
        CObject o;
        if (!c.loads) {
            CStream s(c.bytes);
            EXPECT_FALSE(o.LoadFromStream(s)) << c.what;
            continue;
        }
        ASSERT_TRUE(LoadsExactly(c.bytes, o)) << c.what;
        size_t n = 0;
        for (const auto& byNumber : o.events) n += byNumber.size();
        EXPECT_EQ(n, c.events) << c.what;
    }
}

// An action as stored games may hold it: fewer kinds and texts than 8.
TEST(ActionRecord, ShortArgumentListsAndLimits) {
    auto stored = [](int32_t arg_count, int32_t kinds, int32_t texts) {
        CStream s;
        s.WriteInteger(kActionVersion);
        for (int32_t v : {1, 2, 0, 0, 0, 0, 1}) s.WriteInteger(v);
        s.WriteString("action_sound");
        s.WriteString("");
        s.WriteInteger(arg_count);
        s.WriteInteger(kinds);
        for (int32_t i = 0; i < kinds; ++i) s.WriteInteger(10 + i);
        s.WriteInteger(-1);
        s.WriteBoolean(false);
        s.WriteInteger(texts);
        for (int32_t i = 0; i < texts; ++i) s.WriteString("t" + std::to_string(i));
        s.WriteBoolean(false);
        return s.Bytes();
    };

    CAction a;
    ASSERT_TRUE(LoadsExactly(stored(2, 2, 1), a));
    EXPECT_EQ(a.function_name, "action_sound");
    EXPECT_EQ(a.arg_kinds, (std::array<int32_t, 8>{10, 11, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(a.arg_texts[0], "t0");
    EXPECT_EQ(a.arg_texts[1], "");
    // Written back with 8 of each, it reads the same.
    EXPECT_TRUE(ReadsBackEqual(a));

    struct Case {
        int32_t arg_count, kinds, texts;
    } too_many[] = {{9, 8, 8}, {-1, 8, 8}, {8, 9, 8}, {8, 8, 9}};
    for (const Case& c : too_many) {
        CStream s(stored(c.arg_count, c.kinds, c.texts));
        EXPECT_FALSE(CAction().LoadFromStream(s))
            << c.arg_count << " " << c.kinds << " " << c.texts;
    }
}

TEST(ActionRecord, FunctionNamesResolveLater) {
    CObject o = RichObject();
    CTimeLine t;
    t.moments.push_back({5, CEvent{{FunctionAction("no_such_function"), CodeAction("a = 1;")}}});
    std::vector<std::string> messages;
    auto find = [](const std::string& name) { return name == "action_move" ? 17 : -1; };
    auto report = [&](const std::string& m) { messages.push_back(m); };
    o.ResolveFunctions(find, report);
    t.ResolveFunctions(find, report);

    EXPECT_EQ(o.FindEvent(kEventStep, 2)->actions[0].function_id, 17);
    EXPECT_EQ(o.FindEvent(kEventKeyPress, 255)->actions[0].function_id, -1);
    EXPECT_EQ(t.moments[0].event.actions[0].function_id, -1);
    EXPECT_EQ(t.moments[0].event.actions[1].function_id, -1);  // code: nothing to look up
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Failed to locate action function action_kill_object",
                                        "Failed to locate action function no_such_function"}));
}

TEST(TimeLineAndTriggerRecords, RoundTripVersionsAndTruncation) {
    CTimeLine t;
    t.moments.push_back({0, CEvent{{CodeAction("instance_create(0, 0, obj);")}}});
    t.moments.push_back({30, CEvent{}});
    t.moments.push_back({90, CEvent{{Mark(CAction::kExit), FunctionAction("action_end_game")}}});
    EXPECT_TRUE(ReadsBackEqual(t));
    EXPECT_TRUE(ReadsBackEqual(CTimeLine()));
    auto tbytes = SavedBytes(t);
    EXPECT_TRUE(EveryTruncationFails<CTimeLine>(tbytes));
    ASSERT_TRUE(PatchInteger(tbytes, kTimeLineVersion, 501));
    CStream ts(tbytes);
    EXPECT_FALSE(CTimeLine().LoadFromStream(ts));

    CTrigger g;
    g.name = "all dead";
    g.condition = "instance_number(obj_enemy) == 0";
    g.moment = CTrigger::kEndStep;
    g.constant_name = "tr_all_dead";
    EXPECT_TRUE(ReadsBackEqual(g));
    auto gbytes = SavedBytes(g);
    EXPECT_TRUE(EveryTruncationFails<CTrigger>(gbytes));
    ASSERT_TRUE(PatchInteger(gbytes, kTriggerVersion, 0));
    CStream gs(gbytes);
    EXPECT_FALSE(CTrigger().LoadFromStream(gs));
}

}  // namespace
}  // namespace kr
