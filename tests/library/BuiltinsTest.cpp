// The registry of built-in functions as the families fill it.
#include <gtest/gtest.h>

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
    // So far: the math family, show_debug_message, the code and variable functions, the script
    // functions, the multiplayer functions (which report failure), the event functions, the
    // instance and collision functions, the object functions, the keyboard, mouse and joystick
    // functions, the room and game functions, the activation functions and the drawing,
    // surface, tile, view, display, window and screen functions; the particle functions.
    EXPECT_EQ(reg.ImplementedCount(), 480);
}

TEST(BuiltinsTest, AFunctionWithoutBodyReportsThatItIsNotAvailable) {
    TestRuntime rt;
    RValue r = rt.Call("draw_text", {1.0, 2.0, 3.0});
    ASSERT_EQ(rt.errors.size(), 1u);
    EXPECT_EQ(rt.errors[0], "Function draw_text is not available yet.");
    EXPECT_TRUE(r.IsReal());
    EXPECT_EQ(r.real, 0.0);  // the preset -1 was replaced by real 0
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
