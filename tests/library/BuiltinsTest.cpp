// The registry of built-in functions as the families fill it.
#include <gtest/gtest.h>

#include <algorithm>

#include "code/Vocabulary.h"
#include "library/TestRuntime.h"

namespace kr {
namespace {

TEST(BuiltinsTest, EveryFamilyRegistersItsFunctions) {
    struct Family {
        void (*reg)(BuiltinRegistry&);
        int count;
        const char* first;
    };
    // ORDER FAMILY
    const Family families[] = {
        {RegisterActionFunctions, 135, "action_path_old"},
        {RegisterMathFunctions, 63, "is_real"},
        {RegisterGraphicsFunctions, 206, "display_get_width"},
        {RegisterGameFunctions, 81, "move_random"},
        {RegisterFileFunctions, 79, "file_bin_open"},
        {RegisterInteractionFunctions, 97, "splash_set_caption"},
        {RegisterMultiplayerFunctions, 29, "mplay_init_ipx"},
        {RegisterMiscFunctions, 95, "event_inherited"},
        {RegisterResourceFunctions, 159, "sprite_name"},
        {RegisterParticleFunctions, 82, "part_type_create"},
        {RegisterDataStructureFunctions, 110, "ds_set_precision"},
        {RegisterSoundFunctions, 42, "sound_play"},
        {Register3DFunctions, 74, "d3d_start"},
    };
    BuiltinRegistry all;
    RegisterAllBuiltins(all);
    int first_id = 0;
    for (const Family& f : families) {
        BuiltinRegistry one;
        f.reg(one);
        EXPECT_EQ(one.Count(), f.count) << f.first;
        // The families come in this order in the full registry.
        EXPECT_EQ(all.Find(f.first), first_id) << f.first;
        first_id += f.count;
    }
    EXPECT_EQ(all.Count(), 1252);
    EXPECT_EQ(first_id, 1252);
}

TEST(BuiltinsTest, NamesAreUniqueAndCarryTheirArgumentCounts) {
    BuiltinRegistry reg;
    RegisterAllBuiltins(reg);
    for (int id = 0; id < reg.Count(); ++id) {
        EXPECT_EQ(reg.Find(reg.Name(id)), id) << reg.Name(id) << " is registered twice";
    }
    const std::pair<const char*, int> counts[] = {
        {"draw_sprite_general", 16},
        {"min", -1},
        {"choose", -1},
        {"external_define5", 3},
        {"disk_free", -1},
        {"MCI_command", 1},
        {"show_debug_message", 1},
        {"room_set_view", 16},
        {"d3d_model_floor", 9},
        {"mplay_ipaddress", 0},
        {"execute_string", -1},
    };
    for (auto [name, argc] : counts) {
        int id = reg.Find(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(reg.ArgCount(id), argc) << name;
    }
    EXPECT_EQ(reg.Find("Draw_sprite"), -1);  // names are case-sensitive
    EXPECT_EQ(reg.Name(reg.Count() - 1), "d3d_model_floor");
    // Every function takes a fixed count of up to 16 arguments, or any number (-1).
    for (int id = 0; id < reg.Count(); ++id)
        EXPECT_TRUE(reg.ArgCount(id) >= -1 && reg.ArgCount(id) <= 16) << reg.Name(id);
}

TEST(BuiltinsTest, EveryFunctionNotBuiltYetSaysSo) {
    TestRuntime rt;
    BuiltinRegistry& reg = rt.Builtins();
    RValue args[16];
    for (int id = 0; id < reg.Count(); ++id) {
        if (reg.Fn(id)) continue;
        rt.errors.clear();
        RValue result(-1.0);
        reg.Call(id, rt, nullptr, nullptr, std::max(reg.ArgCount(id), 0), args, result);
        ASSERT_EQ(rt.errors.size(), 1u) << reg.Name(id);
        EXPECT_EQ(rt.errors[0], "Function " + reg.Name(id) + " is not available yet.");
        EXPECT_EQ(result.real, 0.0) << reg.Name(id);
    }
}

TEST(BuiltinsTest, AFunctionWithoutBodyReportsThatItIsNotAvailable) {
    TestRuntime rt;
    rt.Builtins().Add("unbuilt_function", nullptr, 3);
    RValue r = rt.Call("unbuilt_function", {1.0, 2.0, 3.0});
    ASSERT_EQ(rt.errors.size(), 1u);
    EXPECT_EQ(rt.errors[0], "Function unbuilt_function is not available yet.");
    EXPECT_TRUE(r.IsReal());
    EXPECT_EQ(r.real, 0.0);  // the preset -1 was replaced by real 0
}

// Tables ordered by name when the program is built, and single functions, in one registry: a
// name registered more than once finds its first registration wherever it came from.
void Stub(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue*, RValue&) {}
constexpr BuiltinDef kFirstTable[] = {
    {"zeta", nullptr, 0}, {"beta", nullptr, 1}, {"alpha", nullptr, 2}, {"beta", &Stub, 3}};
constexpr BuiltinDef kSecondTable[] = {{"gamma", nullptr, 4}, {"alpha", nullptr, 5}};

TEST(BuiltinsTest, AFindGivesTheFirstRegistrationOfAName) {
    BuiltinRegistry reg;
    reg.Add("single", nullptr, 6);  // 0
    reg.AddTable<kFirstTable>();    // 1 to 4
    reg.Add("gamma", nullptr, 7);   // 5
    reg.AddTable<kSecondTable>();   // 6, 7
    reg.Add("single", &Stub, 8);    // 8
    const std::pair<const char*, int> cases[] = {
        {"single", 0}, {"zeta", 1},  {"beta", 2},    {"alpha", 3}, {"gamma", 5},
        {"", -1},      {"alph", -1}, {"alphaa", -1}, {"Beta", -1}, {"zz", -1},
    };
    for (const auto& [name, id] : cases) EXPECT_EQ(reg.Find(name), id) << name;
    ASSERT_EQ(reg.Count(), 9);
    const int argc[] = {6, 0, 1, 2, 3, 7, 4, 5, 8};
    for (int id = 0; id < reg.Count(); ++id) EXPECT_EQ(reg.ArgCount(id), argc[id]) << id;
    EXPECT_EQ(reg.Name(4), "beta");
    EXPECT_EQ(reg.Fn(4), &Stub);
    EXPECT_EQ(reg.Name(8), "single");
}

TEST(BuiltinsTest, AnUnknownIdIsAnErrorNotACrash) {
    TestRuntime rt;
    RValue args[16];
    RValue result(5.0);
    rt.Builtins().Call(rt.Builtins().Count(), rt, nullptr, nullptr, 0, args, result);
    rt.Builtins().Call(-1, rt, nullptr, nullptr, 0, args, result);
    EXPECT_EQ(rt.errors.size(), 2u);
    EXPECT_EQ(result.real, 0.0);
}

}  // namespace
}  // namespace kr
