// The built-in instance variables: conversions on write, coupled fields, derived read-only
// values, and that the table matches the built-in variable list.
#include <gtest/gtest.h>

#include <cstring>

#include "code/Bytecode.h"
#include "code/Code.h"
#include "code/Vocabulary.h"
#include "objects/InstanceList.h"
#include "objects/InstanceVariables.h"
#include "objects/TestWorld.h"

namespace kr {
namespace {

using test::TestWorld;

class VariablesTest : public ::testing::Test {
protected:
    VariablesTest() {
        sprite = world.AddSprite(test::MakeSprite({Rows(6, "########")}, 2, 3));
        obj = world.AddObject(sprite);
    }
    using Rows = std::vector<std::string>;

    const InstanceVariableDef& Def(std::string_view name) {
        for (const InstanceVariableDef& d : InstanceVariables())
            if (name == d.name) return d;
        ADD_FAILURE() << "no variable " << name;
        return InstanceVariables()[0];
    }
    void Set(CInstance& i, std::string_view name, const RValue& v, int32_t index = 0) {
        ASSERT_NE(Def(name).set, nullptr) << name;
        EXPECT_TRUE(Def(name).set(rt, &i, index, v));
    }
    double Get(CInstance& i, std::string_view name, int32_t index = 0) {
        RValue out;
        EXPECT_TRUE(Def(name).get(rt, &i, index, out));
        EXPECT_TRUE(out.IsReal());
        return out.real;
    }

    TestWorld world;
    test::RecordingRuntime rt;
    int32_t sprite, obj;
};

TEST_F(VariablesTest, WritesConvertTheValue) {
    struct Case {
        const char* name;
        int32_t index;
        double written, read;
    };
    const Case cases[] = {
        {"solid", 0, 0.5, 0},  // rounded first: 0.5 is 0
        {"solid", 0, 0.51, 1},
        {"visible", 0, -3, 0},
        {"persistent", 0, 1.5, 1},
        {"timeline_running", 0, 0.5, 0},
        {"timeline_loop", 0, 2, 1},
        {"alarm", 3, 2.5, 2},  // ties to even
        {"alarm", 11, 3.5, 4},
        {"image_blend", 0, 255.5, 256},
        {"image_blend", 0, 1e12, 2147483647},  // saturated, not wrapped
        {"alarm", 0, -1e12, -2147483648.0},
        {"sprite_index", 0, 0.5, 0},
        {"mask_index", 0, -1.4, -1},
        {"path_endaction", 0, 1.6, 2},
        {"timeline_index", 0, -0.6, -1},
        {"x", 0, 12.5, 12.5},
        {"depth", 0, -0.25, -0.25},
        {"direction", 0, -90, 270},
        {"direction", 0, 720, 0},
        {"path_position", 0, 1.5, 1},
        {"path_positionprevious", 0, -2, 0},
        {"image_xscale", 0, -2, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << "[" << c.index << "] = " << c.written);
        CInstance i(world, 0, 0, 100001, obj);
        Set(i, c.name, c.written, c.index);
        EXPECT_EQ(Get(i, c.name, c.index), c.read);
    }
}

TEST_F(VariablesTest, AlarmIndexesOutsideTheRangeMeanAlarmZero) {
    CInstance i(world, 0, 0, 1, obj);
    Set(i, "alarm", 5, 12);
    EXPECT_EQ(i.GetAlarm(0), 5);
    EXPECT_EQ(Get(i, "alarm", 40000), 5);
}

TEST_F(VariablesTest, CoupledFieldsGoThroughTheInstance) {
    CInstance i(world, 0, 0, 1, obj);
    Set(i, "hspeed", 3);
    Set(i, "vspeed", -4);
    EXPECT_EQ(Get(i, "speed"), 5);
    Set(i, "x", 100);
    Set(i, "image_xscale", 2);
    EXPECT_EQ(Get(i, "bbox_left"), 96);
    EXPECT_EQ(Get(i, "bbox_right"), 111);
    EXPECT_EQ(Get(i, "sprite_width"), 16);
    EXPECT_EQ(Get(i, "sprite_height"), 6);
    EXPECT_EQ(Get(i, "sprite_xoffset"), 4);
    EXPECT_EQ(Get(i, "sprite_yoffset"), 3);
    EXPECT_EQ(Get(i, "image_number"), 1);
    // A string counts as 0.
    Set(i, "x", RValue("text"));
    EXPECT_EQ(Get(i, "x"), 0);
    // A sprite number that is no sprite: allowed, with the far-away box and no images.
    Set(i, "sprite_index", 12);
    EXPECT_EQ(Get(i, "bbox_top"), kNoBox);
    EXPECT_EQ(Get(i, "image_number"), 0);
    EXPECT_EQ(Get(i, "sprite_width"), 0);
}

TEST_F(VariablesTest, ImageSingle) {
    CInstance i(world, 0, 0, 1, obj);
    EXPECT_EQ(Get(i, "image_single"), -1);  // animating
    Set(i, "image_single", 2);
    EXPECT_EQ(i.image_index, 2);
    EXPECT_EQ(i.image_speed, 0);
    EXPECT_EQ(Get(i, "image_single"), 2);
    Set(i, "image_single", -1);
    EXPECT_EQ(i.image_speed, 1);
    EXPECT_EQ(i.image_index, 2);
}

// ORDER VARIABLES: the same names in the same order as the instance part of the built-in
// variable table, read-only exactly where that table says so.
// The interpreter reads the declared fields in place: each must be the getter's value, with
// every field holding a different value so that a wrong offset shows.
TEST_F(VariablesTest, FieldsReadInPlaceAreTheGettersValues) {
    CInstance i(world, 0, 0, 100001, obj);
    double v = 1;
    int declared = 0;
    for (const InstanceVariableDef& d : InstanceVariables()) {
        if (CInstance::FieldOffset(d.name) < 0) continue;
        ++declared;
        ASSERT_NE(d.set, nullptr) << d.name;
        v += 0.25;
        Set(i, d.name, RValue(v));
    }
    EXPECT_GE(declared, 20);
    for (const InstanceVariableDef& d : InstanceVariables()) {
        const int32_t offset = CInstance::FieldOffset(d.name);
        if (offset < 0) continue;
        double in_place;
        std::memcpy(&in_place,
                    reinterpret_cast<const char*>(static_cast<ScriptInstance*>(&i)) + offset,
                    sizeof in_place);
        EXPECT_EQ(in_place, Get(i, d.name)) << d.name;
    }
}

// Code writes x and y in place: the instance moves, and its box follows before the room's next
// search, as a write through the setter would make it.
TEST_F(VariablesTest, CodeWritesPositionsInPlace) {
    for (const InstanceVariableDef& d : InstanceVariables())
        rt.AddBuiltinVariable(d.name, d.get, d.set, d.set != nullptr);
    DeclareInstanceVariableFields(rt);
    InstanceList room(world);
    CInstance& i = room.AddInstance(obj, 0, 0);
    const int32_t left = i.BBoxLeft(), width = i.BBoxRight() - left;
    CCode code("x = 100; y = 50; x += 0.25; hspeed = 3; y = '7'", false);
    ASSERT_TRUE(code.Compile(rt)) << rt.ErrorText();
    RValue result;
    ASSERT_TRUE(rt.Execute(code, &i, &i, result)) << rt.ErrorText();
    EXPECT_EQ(i.X(), 100.25);
    EXPECT_EQ(i.Y(), 0);  // a string is written through the setter: 0
    EXPECT_EQ(i.HSpeed(), 3);
    std::vector<CInstance*> got;
    room.Candidates(CollisionBox{left + 100, -10, left + 101, 10}, Selection::All(), got);
    EXPECT_EQ(got, std::vector<CInstance*>{&i});
    EXPECT_EQ(i.BBoxRight() - i.BBoxLeft(), width);
}

// Conditions of two comparisons and `v op= w` on built-ins run as one instruction when the
// fields are declared. Each program runs in a runtime with the fields (the fused forms) and in
// one without (the instructions one by one, through the accessors): results, errors and the
// instances must come out the same.
TEST_F(VariablesTest, FusedBuiltinCodeDoesWhatTheStepsDo) {
    const char* const programs[] = {
        // Updates by built-ins and numbers; hspeed and vspeed keep speed and direction.
        "hspeed = 3; vspeed = -2; x += hspeed; y -= vspeed; x *= 2; y += 0.5; hspeed -= 1;"
        "return x * 1000 + y + speed + direction",
        "x += 0; y += 0; other.x += 2; other.hspeed -= 1.5; return other.x + other.speed",
        // || and && at if, while (jumps when true) and do-until, sides from locals or fields.
        "var r; r = 0; x = 700; if (x < 0 || x > 640) r += 1; if (x > 0 && y >= 0) r += 10;"
        "if (y < -1 || y > 1) r += 100; while (x > 650 || y < 0) x -= 10;"
        "do y += 1 until (y >= 3 && x <= 650); return r * 1000 + x + y",
        "var k, r; k = 5; r = 0; if (k < 3 || x >= 0) r = 1; if (x <= 0 && k > 4) r += 2;"
        "if (other.y > 10 || other.y < 20) r += 4; return r",
        // Near a compared number, inside and just outside the comparison's tolerance.
        "var r; r = 0; x = 0.1 - 0.00000000000009; if (x < 0.1 || x > 0.2) r += 1; x = 0.1 - "
        "0.0000000000002;"
        "if (x < 0.1 || x > 0.2) r += 2; x = 0.2 + 0.00000000000009; if (x < 0.1 || x > 0.2) r += "
        "4;"
        "if (x >= 0.2 && x <= 0.2) r += 8; x = 0.2 + 0.0000000000002; if (x >= 0.2 && x <= 0.2) r "
        "+= 16;"
        "return r",
        // A side read through its getter (no field) leaves the instructions to run one by one.
        "var r; r = 0; if (bbox_left < 0 || x > 1) r = 1; if (x > 1 && bbox_top >= 0) r += 2;"
        "return r",
        // An unset local on either side is reported, whatever the other side gives.
        "var u; if (x >= 0 || u < 3) x = 1",
        "var u; if (u < 3 && x > 9) x = 1",
        // Built-ins whose writes go through their setters (speed and direction follow).
        "hspeed += 2; direction -= 450; return speed + hspeed + vspeed + direction",
    };
    test::RecordingRuntime plain;
    for (test::RecordingRuntime* r : {&rt, &plain}) {
        for (const InstanceVariableDef& d : InstanceVariables())
            r->AddBuiltinVariable(d.name, d.get, d.set, d.set != nullptr);
        r->SetStepLimit(100000);  // a wrong jump ends as an error, not in an endless loop
    }
    DeclareInstanceVariableFields(rt);
    for (const char* src : programs) {
        SCOPED_TRACE(src);
        struct Run {
            bool ok;
            RValue result;
            std::string error;
            double state[8];
        };
        auto run = [&](test::RecordingRuntime& r, bool fused) {
            InstanceList room(world);
            CInstance& self = room.AddInstance(obj, 5, 7);
            CInstance& other = room.AddInstance(obj, 3, 12);
            CCode code(src, false);
            EXPECT_TRUE(code.Compile(r)) << r.ErrorText();
            if (fused) {
                bool found = false;
                for (const Instr& in : code.GetProto()->instrs)
                    found = found || in.op == OP_CONDOR || in.op == OP_CONDAND || in.op == OP_UPDB;
                EXPECT_TRUE(found);
            }
            Run out{};
            out.ok = r.Execute(code, &self, &other, out.result);
            if (!out.ok) out.error = r.ErrorText();
            const double state[8] = {self.X(),     self.Y(),  self.HSpeed(),  self.VSpeed(),
                                     self.Speed(), other.X(), other.HSpeed(), other.Speed()};
            std::memcpy(out.state, state, sizeof state);
            return out;
        };
        const Run fused = run(rt, true), steps = run(plain, false);
        EXPECT_EQ(fused.ok, steps.ok);
        EXPECT_EQ(fused.error, steps.error);
        EXPECT_EQ(fused.result.IsReal(), steps.result.IsReal());
        EXPECT_EQ(fused.result.real, steps.result.real);
        for (int k = 0; k < 8; ++k) EXPECT_EQ(fused.state[k], steps.state[k]) << k;
    }
}

TEST_F(VariablesTest, TableMatchesTheBuiltinVariableList) {
    std::vector<const BuiltinVariableDef*> listed;
    for (const BuiltinVariableDef& d : BuiltinVariables())
        if (d.scope == VariableScope::kInstance) listed.push_back(&d);
    const auto ours = InstanceVariables();
    ASSERT_EQ(ours.size(), 51u);
    ASSERT_EQ(listed.size(), ours.size());
    for (size_t k = 0; k < ours.size(); ++k) {
        SCOPED_TRACE(ours[k].name);
        EXPECT_STREQ(ours[k].name, listed[k]->name);
        EXPECT_EQ(ours[k].set == nullptr, listed[k]->ReadOnly());
        EXPECT_NE(ours[k].get, nullptr);
    }
    BuiltinVarGetter get = nullptr;
    BuiltinVarSetter set = nullptr;
    EXPECT_TRUE(InstanceVariableAccessors("path_index", get, set));
    EXPECT_EQ(set, nullptr);
    EXPECT_FALSE(InstanceVariableAccessors("room_speed", get, set));
    // Without an instance there is nothing to read.
    RValue out;
    EXPECT_FALSE(get(rt, nullptr, 0, out));
}

}  // namespace
}  // namespace kr
