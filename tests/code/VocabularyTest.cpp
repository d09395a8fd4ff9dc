// The tables of built-in constants and variables.
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "code/Runtime.h"
#include "code/Vocabulary.h"

namespace kr {
namespace {

double ConstantValue(std::string_view name) {
    for (const BuiltinConstantDef& c : BuiltinConstants()) {
        if (name == c.name) return c.value;
    }
    ADD_FAILURE() << "no constant " << name;
    return -12345;
}

TEST(VocabularyTest, ConstantsAreAllThereWithTheirValues) {
    EXPECT_EQ(BuiltinConstants().size(), 289u);
    std::set<std::string> names;
    for (const BuiltinConstantDef& c : BuiltinConstants()) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name << " twice";
    }
    const std::pair<const char*, double> samples[] = {
        {"self", -1},
        {"local", -7},
        {"pi", 3.141592653589793},
        {"c_orange", 4235519},
        {"c_silver", 12632256},
        {"bm_src_alpha_sat", 11},
        {"vk_f1", 112},
        {"vk_f12", 123},
        {"vk_numpad9", 105},
        {"vk_rshift", 161},
        {"ev_joystick1_button8", 28},
        {"ev_joystick2_button1", 36},
        {"ev_user15", 25},
        {"ev_close_button", 30},
        {"dll_stdcall", 1},
        {"fa_archive", 32},
        {"fa_right", 2},
        {"cr_arrrow", -2},
        {"cr_size_all", -22},
        {"pt_shape_snow", 13},
        {"ps_change_motion", 2},
        {"ef_snow", 11},
    };
    for (auto [name, value] : samples) EXPECT_EQ(ConstantValue(name), value) << name;
    EXPECT_EQ(std::string(BuiltinConstants().front().name), "self");
    EXPECT_EQ(std::string(BuiltinConstants().back().name), "ef_snow");
}

// The runtime looks the built-in constants up in their order by name: every one is found with
// its value, nothing between them is, and a constant a game adds wins over a built-in one.
TEST(VocabularyTest, TheRuntimeFindsEveryConstantUnderThoseAdded) {
    Runtime rt;
    RValue v;
    EXPECT_FALSE(rt.FindConstant("c_red", v));  // not before they are made known
    rt.UseBuiltinConstants();
    std::set<std::string> names;
    for (const BuiltinConstantDef& c : BuiltinConstants()) names.insert(c.name);
    for (const BuiltinConstantDef& c : BuiltinConstants()) {
        ASSERT_TRUE(rt.FindConstant(c.name, v)) << c.name;
        EXPECT_EQ(v.real, c.value) << c.name;
        // Names a letter longer or shorter are found only when they are constants too.
        for (const std::string& near : {std::string(c.name) + "_", std::string(c.name).substr(1),
                                        std::string(c.name).substr(0, strlen(c.name) - 1)})
            EXPECT_EQ(rt.FindConstant(near, v), names.count(near) == 1) << near;
    }
    for (const char* name : {"", "C_RED", "zzz", "aaa"}) EXPECT_FALSE(rt.FindConstant(name, v));
    rt.AddConstant("c_red", RValue(7.0));
    ASSERT_TRUE(rt.FindConstant("c_red", v));
    EXPECT_EQ(v.real, 7.0);
}

// Variables added one by one, before and after the table, and a name of the table added again:
// a name always finds the first variable registered under it.
TEST(VocabularyTest, TheRuntimeFindsTheFirstVariableOfANameTableOrNot) {
    const auto defs = BuiltinVariables();
    auto row = [&](std::string_view name) {
        for (size_t i = 0; i < defs.size(); ++i)
            if (name == defs[i].name) return int32_t(i);
        ADD_FAILURE() << "no variable " << name;
        return int32_t(-1000);
    };
    Runtime rt;
    ASSERT_EQ(rt.AddBuiltinVariable("score", nullptr, nullptr, true), 0);
    ASSERT_EQ(
        rt.AddBuiltinVariableTable(defs, BuiltinVariableNameOrder(), BuiltinVariableSortedNames()),
        1);
    const int32_t after = 1 + int32_t(defs.size());
    ASSERT_EQ(rt.AddBuiltinVariable("health", nullptr, nullptr, true), after);
    ASSERT_EQ(rt.AddBuiltinVariable("zz_extra", nullptr, nullptr, true), after + 1);
    // A second table goes in row by row; its names are all found in the first.
    ASSERT_EQ(
        rt.AddBuiltinVariableTable(defs, BuiltinVariableNameOrder(), BuiltinVariableSortedNames()),
        after + 2);
    ASSERT_EQ(rt.BuiltinVariableCount(), after + 2 + int32_t(defs.size()));

    EXPECT_EQ(rt.FindBuiltinVariable("score"), 0);
    EXPECT_EQ(rt.FindBuiltinVariable("health"), 1 + row("health"));
    EXPECT_EQ(rt.FindBuiltinVariable("zz_extra"), after + 1);
    std::set<std::string> names;
    for (const BuiltinVariableDef& d : defs) names.insert(d.name);
    for (const BuiltinVariableDef& d : defs) {
        const int32_t id = rt.FindBuiltinVariable(d.name);
        if (std::string_view(d.name) != "score") {
            EXPECT_EQ(id, 1 + row(d.name)) << d.name;
        }
        EXPECT_EQ(rt.BuiltinVariableName(id), d.name);
        for (const std::string& near : {std::string(d.name) + "_", std::string(d.name).substr(1)}) {
            if (!names.count(near)) {
                EXPECT_EQ(rt.FindBuiltinVariable(near), -1) << near;
            }
        }
    }
    for (const char* name : {"", "SCORE", "aaa", "zzz"})
        EXPECT_EQ(rt.FindBuiltinVariable(name), -1);
}

TEST(VocabularyTest, VariablesComeGameWideFirstWithTheirConversions) {
    auto vars = BuiltinVariables();
    int game = 0, instance = 0;
    std::set<std::string> names;
    for (const BuiltinVariableDef& v : vars) {
        EXPECT_TRUE(names.insert(v.name).second) << v.name << " twice";
        if (v.scope == VariableScope::kGame) {
            EXPECT_EQ(instance, 0) << v.name << " comes after an instance variable";
            ++game;
        } else {
            ++instance;
        }
    }
    EXPECT_EQ(game, 104);
    EXPECT_EQ(instance, 51);

    struct Row {
        int id;
        const char* name;
        VariableScope scope;
        int index_count;
        VariableWrite write;
    };
    using enum VariableScope;
    using enum VariableWrite;
    const Row rows[] = {
        {0, "argument_relative", kGame, 0, kNone},
        {1, "argument", kGame, 16, kValue},
        {17, "argument15", kGame, 0, kValue},
        {18, "room", kGame, 0, kRounded},
        {25, "health", kGame, 0, kReal},
        {31, "instance_id", kGame, kIndexedByInstanceCount, kNone},
        {36, "room_persistent", kGame, 0, kBoolAtOne},
        {37, "background_color", kGame, 0, kRounded},
        {39, "background_visible", kGame, 8, kBoolAtOne},
        {45, "background_height", kGame, 8, kNone},
        {54, "view_enabled", kGame, 0, kBoolAtOne},
        {65, "view_angle", kGame, 8, kReal},
        {70, "view_object", kGame, 8, kRounded},
        {77, "keyboard_lastchar", kGame, 0, kFirstChar},
        {83, "caption_score", kGame, 0, kString},
        {101, "error_occurred", kGame, 0, kBoolAtHalf},
        {103, "korvane_version", kGame, 0, kNone},
        {104, "x", kInstance, 0, kReal},
        {119, "alarm", kInstance, 12, kRounded},
        {121, "visible", kInstance, 0, kBoolAtOne},
        {130, "image_single", kInstance, 0, kReal},
        {140, "image_blend", kInstance, 0, kRounded},
        {154, "timeline_loop", kInstance, 0, kBoolAtOne},
    };
    ASSERT_EQ(vars.size(), 155u);
    for (const Row& r : rows) {
        const BuiltinVariableDef& v = vars[size_t(r.id)];
        EXPECT_EQ(std::string(v.name), r.name) << "id " << r.id;
        EXPECT_EQ(v.scope, r.scope) << r.name;
        EXPECT_EQ(v.index_count, r.index_count) << r.name;
        EXPECT_EQ(v.write, r.write) << r.name;
    }
    EXPECT_TRUE(vars[103].ReadOnly());
    EXPECT_FALSE(vars[104].ReadOnly());
}

}  // namespace
}  // namespace kr
