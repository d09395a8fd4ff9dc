// The runner as the script language's host: the built-in variables it registers and converts,
// the game's constants and resource names, the scripts it compiles at preparation and the names
// error texts use.
#include <gtest/gtest.h>

#include "code/Code.h"
#include "code/Script.h"
#include "code/Vocabulary.h"
#include "data/Sprite.h"
#include "library/AllBuiltins.h"
#include "objects/InstanceVariables.h"
#include "objects/Object.h"
#include "objects/TimeLine.h"
#include "objects/Trigger.h"
#include "runner/GameWriter.h"
#include "runner/Room.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/ScriptRunner.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

using test::Show;

std::vector<uint8_t> ScriptRecord(const std::string& text) {
    CScript script;
    script.text = text;
    CStream s;
    script.SaveToStream(s);
    return s.Bytes();
}

std::vector<uint8_t> TriggerRecord(const std::string& name, const std::string& constant) {
    CTrigger t;
    t.name = name;
    t.condition = "return 0";  // a condition is a program
    t.constant_name = constant;
    CStream s;
    t.SaveToStream(s);
    return s.Bytes();
}

// A game loaded and prepared by a runner with the whole library.
class GameScriptTest : public ::testing::Test {
protected:
    // Loads and prepares the game; false when preparation failed.
    bool Prepare(const GameWriter& w) {
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path() + "/";
        o.register_functions = RegisterAllBuiltins;
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        EXPECT_EQ(runner_->LoadGameData(), LoadResult::kLoaded);
        return runner_->PrepareGame();
    }
    RValue Eval(const std::string& expression) {
        Runtime& rt = runner_->GetRuntime();
        CCode code{expression, true};
        EXPECT_TRUE(code.Compile(rt)) << expression << "\n" << rt.ErrorText();
        RValue v;
        std::unique_ptr<CInstance> self = runner_->NewTemporaryInstance();
        rt.Execute(code, self.get(), self.get(), v);
        return v;
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
    std::unique_ptr<Runner> runner_;
};

TEST(RunnerVariables, AllAreRegisteredInVocabularyOrder) {
    test::ScriptRunner run;
    Runtime& rt = run.Rt();
    auto defs = BuiltinVariables();
    ASSERT_EQ(rt.BuiltinVariableCount(), int32_t(defs.size()));
    for (size_t id = 0; id < defs.size(); ++id) {
        const BuiltinVariable* v = rt.BuiltinVariableAt(int32_t(id));
        EXPECT_EQ(v->name, defs[id].name);
        EXPECT_EQ(v->writable, !defs[id].ReadOnly()) << v->name;
    }
}

// Each variable takes the accessors of the first list naming it: the language's, the
// instances', then the runner's own; a read-only one never has a setter.
TEST(RunnerVariables, EachTakesTheAccessorsOfTheFirstListNamingIt) {
    test::ScriptRunner run;
    Runtime& rt = run.Rt();
    int32_t language = 0, instance = 0;
    for (int32_t id = 0; id < rt.BuiltinVariableCount(); ++id) {
        const BuiltinVariable& v = *rt.BuiltinVariableAt(id);
        EXPECT_EQ(rt.FindBuiltinVariable(v.name), id);
        BuiltinVarGetter get = nullptr;
        BuiltinVarSetter set = nullptr;
        if (LanguageVariableAccessors(v.name, get, set)) {
            ++language;
        } else if (InstanceVariableAccessors(v.name, get, set)) {
            ++instance;
        } else {
            continue;
        }
        EXPECT_EQ(v.get, get) << v.name;
        EXPECT_EQ(v.set, v.writable ? set : nullptr) << v.name;
    }
    EXPECT_GT(language, 10);
    EXPECT_GT(instance, 50);
    // The runner's own: a getter, and a setter only where the variable is writable.
    const BuiltinVariable& score = *rt.BuiltinVariableAt(rt.FindBuiltinVariable("score"));
    EXPECT_TRUE(score.get && score.set);
    const BuiltinVariable& fps = *rt.BuiltinVariableAt(rt.FindBuiltinVariable("fps"));
    EXPECT_TRUE(fps.get && !fps.set);
}

// No built-in variable is silently real 0: each has its accessors, or reading it (and writing
// it, when writable) reports that it is not available yet.
TEST(RunnerVariables, EachHasItsAccessorsOrReportsThatItIsNotAvailable) {
    test::ScriptRunner run;
    Runtime& rt = run.Rt();
    ASSERT_EQ(rt.BuiltinVariableCount(), 155);
    for (int32_t id = 0; id < rt.BuiltinVariableCount(); ++id) {
        const BuiltinVariable& v = *rt.BuiltinVariableAt(id);
        const std::string report = "Variable " + v.name + " is not available yet.";
        if (!v.get) {
            run.Run("var v; v = " + v.name);
            EXPECT_NE(run.LastError().find(report), std::string::npos) << v.name << " read";
        }
        if (v.writable && !v.set) {
            run.Run(v.name + " = 0");
            EXPECT_NE(run.LastError().find(report), std::string::npos) << v.name << " write";
        }
    }
}

TEST(RunnerVariables, WritesConvertTheValue) {
    test::ScriptRunner run;
    const struct {
        const char* code;
        const char* want;
    } cases[] = {
        // Integers: rounded with ties to even, saturated to 32 bits; strings count as 0.
        {"score = 2.5; return score", "2"},
        {"score = 3.5; return score", "4"},
        {"score = -2.5; return score", "-2"},
        {"score = 10000000000; return score", "2147483647"},
        {"score = '12'; return score", "0"},
        {"lives = 0.5; return lives", "0"},
        {"transition_kind = 1.6; return transition_kind", "2"},
        {"transition_steps = 0; return transition_steps", "1"},  // never below 1
        {"cursor_sprite = 4.4; return cursor_sprite", "4"},
        // Reals as they are.
        {"health = 2.5; return health", "2.5"},
        // Booleans: true when the rounded value is at least 1; error_occurred at 0.5.
        {"show_lives = 0.5; return show_lives", "0"},
        {"show_lives = 0.6; return show_lives", "1"},
        {"show_health = 7; return show_health", "1"},
        {"show_score = -1; return show_score", "0"},
        {"error_occurred = 0.5; return error_occurred", "1"},
        {"error_occurred = 0.49; return error_occurred", "0"},
        // Strings; a real stores the empty string.
        {"caption_score = 'Points: '; return caption_score", "\"Points: \""},
        {"caption_lives = 3; return caption_lives", "\"\""},
        {"error_last = 'e'; return error_last", "\"e\""},
        // Indexed variables: any index outside their range means index 0.
        {"argument[16] = 7; return argument0", "7"},
        {"argument0 = 8; return argument[-0] + argument[99]", "16"},
        // global.name with a built-in's name is a plain global variable.
        {"score = 1; global.score = 3; return string(score) + string(global.score)", "\"13\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
        EXPECT_EQ(run.LastError(), "") << c.code;
    }
}

TEST(RunnerVariables, GameWideValuesAndReadOnlyRefusals) {
    test::ScriptRunner run;
    const struct {
        const char* code;
        const char* want;
    } reads[] = {
        {"return korvane_version", "800"},
        {"return lives", "-1"},
        {"return health", "100"},
        {"return cursor_sprite", "-1"},
        {"return transition_steps", "80"},
        {"return show_score + show_lives * 2", "1"},
        {"return caption_score + caption_lives + caption_health", "\"Score: Lives: Health: \""},
        {"return fps + argument_relative + secure_mode + debug_mode + game_id", "0"},
        {"return current_weekday >= 1 && current_weekday <= 7 && current_month >= 1", "1"},
        {"return current_year >= 2024 && current_day >= 1 && current_second < 61", "1"},
        {"return current_time", "0"},  // the virtual clock of a headless run
    };
    for (const auto& c : reads) EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;

    for (const char* code : {"korvane_version = 1", "fps = 3", "event_type = 1", "game_id = 2",
                             "argument_relative = 1", "current_time = 0"}) {
        run.Run(code);
        EXPECT_NE(run.LastError().find("Cannot assign to the variable"), std::string::npos) << code;
    }
    EXPECT_EQ(Show(run.Run("return korvane_version")), "800");
}

TEST(RunnerVariables, LivesAndHealthRunningOutRaiseTheirEvents) {
    test::ScriptRunner run;
    std::vector<int32_t> raised;
    run.GetRunner().perform_other_event_for_all = [&](int32_t n) { raised.push_back(n); };
    run.Run("lives = 3; lives = 0; lives = -1");  // only the step from above 0 to 0 or below
    run.Run("health = 0.5; health = 0");
    EXPECT_EQ(raised, (std::vector<int32_t>{6, 9}));
    raised.clear();
    run.GetRunner().SetRoomRequest(2);  // a room change is pending: no events
    run.Run("lives = 3; lives = 0; health = 5; health = -1");
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(Show(run.Run("return lives + health")), "-1");
}

TEST(RunnerVariables, AccessorsAttachedLaterServeCodeCompiledBefore) {
    test::ScriptRunner run;
    Runtime& rt = run.Rt();
    CCode code{"return string(x) + string(alarm[3])", false};
    ASSERT_TRUE(code.Compile(rt));
    auto get = [](Runtime&, ScriptInstance* inst, int32_t index, RValue& out) {
        out.SetReal(inst->id + index);
        return true;
    };
    ASSERT_TRUE(rt.SetBuiltinVariableAccessors("x", get, nullptr));
    ASSERT_TRUE(rt.SetBuiltinVariableAccessors("alarm", get, nullptr));
    EXPECT_FALSE(rt.SetBuiltinVariableAccessors("no_such_variable", get, nullptr));
    ScriptInstance self;
    self.id = 100005;
    RValue result;
    ASSERT_TRUE(rt.Execute(code, &self, &self, result));
    EXPECT_EQ(Show(result), "\"100005100008\"");
}

TEST_F(GameScriptTest, GameConstantsAndResourceNamesShadowInOrder) {
    GameWriter w;
    w.game_id = 42;
    w.Add("spr_a", CSprite());
    w.Add("shared", CSprite());  // sprite 1; also object 0's name
    w.Add("shared", CObject());
    w.AddEmptySlot(SectionId::kObjects);
    w.Add("c_red", CObject());  // object 2: shadows both constants
    w.Add("both", CRoom());     // room 0, and script 1 below
    w.AddEmptySlot(SectionId::kScripts);
    w.AddResource(SectionId::kScripts, "both", ScriptRecord("return 5"));
    w.AddResource(SectionId::kTriggers, "", TriggerRecord("Low health", "tr_low"));
    w.AddConstant("c_blue", "1");        // shadows the built-in constant
    w.AddConstant(" SPEED\t", "4");      // the name is trimmed
    w.AddConstant("PINK", "c_red + 1");  // the object c_red, not the colour
    w.AddConstant("LIGHT", "c_gray + 1");
    w.AddConstant("TWICE", "SPEED * 2 + spr_a");  // earlier constants and resource names
    w.AddConstant("NAME", "'k' + string(SPEED)");
    w.AddConstant("SPEED", "7");  // a later definition shadows an earlier one
    ASSERT_TRUE(Prepare(w));
    EXPECT_TRUE(rec_.messages.empty());
    const struct {
        const char* expression;
        const char* want;
    } cases[] = {
        {"c_blue", "1"},      {"c_green", "32768"}, {"SPEED", "7"},     {"PINK", "3"},
        {"LIGHT", "8421505"}, {"TWICE", "8"},       {"NAME", "\"k4\""}, {"shared", "0"},
        {"c_red", "2"},       {"both", "1"},        {"spr_a", "0"},     {"tr_low", "0"},
        {"game_id", "42"},    {"both()", "5"},
    };
    for (const auto& c : cases) EXPECT_EQ(Show(Eval(c.expression)), c.want) << c.expression;

    // A resource deleted at run time no longer names a constant; the next owner of the name does.
    runner_->Game().objects.Remove(0);
    EXPECT_EQ(Show(Eval("shared")), "1");
}

TEST_F(GameScriptTest, ABadConstantStopsThePreparation) {
    const struct {
        const char* name;
        const char* value;
        const char* message;
    } cases[] = {
        {"2fast", "1", "Constant name 2fast  is not valid."},
        {"  ", "1", "Constant name   is not valid."},
        {"a-b", "1", "Constant name a-b  is not valid."},
        {"half", "1 +", "Value for constant half  is not valid."},
        {"loop", "undefined_thing", "Value for constant loop  is not valid."},
    };
    for (const auto& c : cases) {
        rec_.messages.clear();
        GameWriter w;
        w.AddConstant("fine", "1");
        w.AddConstant(c.name, c.value);
        EXPECT_FALSE(Prepare(w)) << c.name;
        EXPECT_EQ(rec_.messages,
                  (std::vector<std::string>{c.message, "Failed to define the constants."}));
    }
}

TEST_F(GameScriptTest, ScriptsCompileAtPreparation) {
    GameWriter w;
    w.AddResource(SectionId::kScripts, "twice", ScriptRecord("return argument0 * 2"));
    ASSERT_TRUE(Prepare(w));
    Runtime& rt = runner_->GetRuntime();
    EXPECT_NE(rt.ScriptCode(0), nullptr);
    EXPECT_EQ(Show(Eval("twice(21)")), "42");

    // The first script that does not compile ends the game before it starts.
    GameWriter bad;
    bad.AddResource(SectionId::kScripts, "fine", ScriptRecord("return 1"));
    bad.AddResource(SectionId::kScripts, "broken", ScriptRecord("x = ;"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Prepare(bad));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("COMPILATION ERROR in Script: broken\nError in code at line 1:"),
              std::string::npos)
        << err;
    EXPECT_EQ(rec_.messages.back(), "Failed to compile the scripts.");
    EXPECT_EQ(runner_->RoomRequest(), kRequestEndAfterError);

    // A script record of another version (799) is an error in the resource data.
    GameWriter old_record;
    old_record.AddResource(SectionId::kScripts, "old", {0x1F, 0x03, 0, 0, 0, 0, 0, 0});
    RunnerOptions o;
    o.game_path = dir_.Write("old.exe", old_record.WriteGameFile());
    Runner runner(platform_, std::move(o));
    EXPECT_EQ(runner.LoadGameData(), LoadResult::kFailed);
}

TEST_F(GameScriptTest, ErrorTextsNameTheEventAndItsObject) {
    GameWriter w;
    w.Add("obj_player", CObject());
    w.Add("obj_wall", CObject());
    w.Add("tl_intro", CTimeLine());
    w.AddResource(SectionId::kTriggers, "", TriggerRecord("Low health", "tr_low"));
    ASSERT_TRUE(Prepare(w));
    Runtime& rt = runner_->GetRuntime();
    const struct {
        EventContext ctx;
        const char* want;
    } cases[] = {
        {{4, 1, 0, 2},
         "ERROR in\r\naction number 3\r\nof Collision Event with object obj_wall\r\n"
         "for object obj_player:\r\n\r\nboom"},
        {{11, 0, 1, 0}, "of Trigger Event: Low health\r\nfor object obj_wall:"},
        {{11, 5, 9, 0}, "of Trigger Event: <Deleted>\r\nfor object <undefined>:"},
        {{kTimeLineEvent, 30, 0, 0}, "at time step 30\r\nof time line tl_intro:"},
    };
    for (const auto& c : cases) {
        rt.Event() = c.ctx;
        testing::internal::CaptureStderr();
        rt.ShowRuntimeError("boom", false);
        testing::internal::GetCapturedStderr();
        EXPECT_NE(rt.ErrorLast().find(c.want), std::string::npos) << rt.ErrorLast();
    }
}

}  // namespace
}  // namespace kr
