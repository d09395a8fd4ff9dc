// The action library as games use it: function actions with their relative option in the
// create event of a small game, then a code action that prints what they did. One table of
// cases per group of actions.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "library/AllBuiltins.h"
#include "objects/EventTypes.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/SampleGames.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

// One function action: its function, argument texts (expressions) and relative option.
struct Act {
    std::string fn;
    std::vector<std::string> args;
    bool relative = false;
};

CAction FunctionAction(const Act& act) {
    CAction a = test::MakeAction(CAction::kNormal, CAction::kExecFunction, act.fn);
    a.may_be_relative = true;
    a.relative = act.relative;
    a.arg_count = int32_t(act.args.size());
    for (size_t i = 0; i < act.args.size(); ++i) a.arg_texts[i] = act.args[i];
    a.is_question = act.fn.rfind("action_if", 0) == 0;
    return a;
}

struct Case {
    std::vector<Act> acts;  // run in the create event of the instance at (100, 50)
    std::string print;      // an expression printed after them
    std::string out;        // what the game prints (creation events of object 1 included)
    std::string err = "";   // a text the errors must contain; "" when there are none
};

class ActionLibraryTest : public ::testing::Test {
protected:
    // Object 0 ("actor", at (100, 50), id 100001) runs the actions, then prints; object 1
    // ("made") prints where it was created with which motion; script 0 returns its first
    // argument times 10. The game ends after its first step.
    std::pair<std::string, std::string> Run(const Case& c) {
        GameWriter w;
        w.game_id = 42;
        CObject actor;
        CEvent create;
        for (const Act& act : c.acts) create.actions.push_back(FunctionAction(act));
        create.actions.push_back(test::CodeAction("show_debug_message(" + c.print + ")"));
        actor.events[kEventCreate][0] = create;
        CEvent lives;
        lives.actions = {test::CodeAction("show_debug_message('no more lives')")};
        actor.events[kEventOther][6] = lives;
        CEvent health;
        health.actions = {test::CodeAction("show_debug_message('no more health')")};
        actor.events[kEventOther][9] = health;
        w.Add("actor", actor);
        CObject made;
        CEvent made_create;
        made_create.actions = {test::CodeAction(
            "show_debug_message('made ' + string(x) + ' ' + string(y) + ' ' + string(speed) + "
            "' ' + string(direction))")};
        made.events[kEventCreate][0] = made_create;
        w.Add("made", made);
        w.Add("times_ten", CScript{"return argument0 * 10"});
        CRoom room;
        room.width = 320;
        room.height = 240;
        room.instances.push_back(RoomInstance{100, 50, 0, 100001, {}});
        w.Add("room0", room);
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = 1;
        Runner runner(platform_, std::move(o));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        runner.Run();
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        return {out, err};
    }

    void RunCases(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            auto [out, err] = Run(c);
            std::string what = c.acts.empty() ? c.print : c.acts[0].fn;
            EXPECT_EQ(out, c.out) << what << "\n" << err;
            if (c.err.empty())
                EXPECT_EQ(err, "") << what;
            else
                EXPECT_NE(err.find(c.err), std::string::npos) << what << "\n" << err;
        }
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
};

TEST_F(ActionLibraryTest, Move) {
    RunCases({
        {{{"action_set_hspeed", {"3"}}, {"action_set_hspeed", {"2"}, true}}, "hspeed", "5\n"},
        {{{"action_set_vspeed", {"-2"}, true}}, "vspeed", "-2\n"},
        {{{"action_set_motion", {"90", "4"}}}, "string(direction) + ' ' + string(speed)", "90 4\n"},
        // Relative adds the vector: 4 up and 3 right make 5 at about 53 degrees.
        {{{"action_set_motion", {"90", "4"}}, {"action_set_motion", {"0", "3"}, true}},
         "string(round(direction)) + ' ' + string(speed)",
         "53 5\n"},
        {{{"action_set_gravity", {"270", "0.5"}}, {"action_set_gravity", {"10", "0.25"}, true}},
         "string(gravity_direction) + ' ' + string(gravity)",
         "280 0.75\n"},
        {{{"action_set_friction", {"1"}}, {"action_set_friction", {"0.5"}, true}},
         "friction",
         "1.50\n"},
        {{{"action_move_to", {"10", "20"}, true}}, "string(x) + ',' + string(y)", "110,70\n"},
        {{{"action_move_to", {"10", "20"}}, {"action_move_start", {}}},
         "string(x) + ',' + string(y)",
         "100,50\n"},
        {{{"action_set_hspeed", {"3"}}, {"action_reverse_xdir", {}}, {"action_reverse_ydir", {}}},
         "string(hspeed) + ' ' + string(vspeed)",
         "-3 0\n"},
        {{{"action_set_hspeed", {"3"}}, {"action_move", {"'000010000'", "4"}}}, "speed", "0\n"},
        {{{"action_move", {"'000000000'", "4"}}}, "speed", "0\n"},
        {{{"action_move", {"'000001000'", "4"}}},
         "string(direction) + ' ' + string(speed)",
         "0 4\n"},
        {{{"action_move", {"'0101'", "3"}}}, "speed", "0\n", "Wrong argument to action_move()."},
        {{{"action_move_random", {"16", "8"}}},
         "string(x mod 16) + ' ' + string(y mod 8) + ' ' + string(x < 320 && y < 240)",
         "0 0 1\n"},
        {{{"action_path_speed", {"2"}},
          {"action_path_speed", {"3"}, true},
          {"action_path_end", {}}},
         "string(path_speed) + ' ' + string(path_index)",
         "5 -1\n"},
    });
}

TEST_F(ActionLibraryTest, Main) {
    RunCases({
        {{{"action_create_object", {"1", "5", "6"}, true}}, "'done'", "made 105 56 0 0\ndone\n"},
        {{{"action_create_object_motion", {"1", "5", "6", "3", "90"}}},
         "'done'",
         "made 5 6 3 90\ndone\n"},
        {{{"action_create_object", {"7", "0", "0"}}},
         "instance_number(all)",
         "1\n",
         "Creating instance for non-existing object: 7"},
        {{{"action_create_object_random", {"-1", "9", "-1", "9", "0", "0"}}},
         "instance_number(all)",
         "1\n"},
        {{{"action_create_object_random", {"-1", "1", "-1", "9", "1", "2"}, true}},
         "'done'",
         "made 101 52 0 0\ndone\n"},
        {{{"action_kill_object", {}}}, "instance_number(0)", "0\n"},
        {{{"action_sprite_transform", {"2", "3", "45", "3"}},
          {"action_sprite_color", {"255", "0.5"}}},
         "string(image_xscale) + ' ' + string(image_yscale) + ' ' + string(image_angle) + ' ' + "
         "string(image_blend) + ' ' + string(image_alpha)",
         "-2 -3 45 255 0.50\n"},
        {{{"action_sprite_set", {"-1", "-1", "0.5"}}}, "image_speed", "0.50\n"},
        {{{"action_set_alarm", {"10", "0"}, true}}, "alarm[0]", "10\n"},
        {{{"action_set_alarm", {"5", "1"}}, {"action_set_alarm", {"10", "1"}, true}},
         "alarm[1]",
         "15\n"},
        {{{"action_set_timeline", {"3", "4.6"}}},
         "string(timeline_index) + ' ' + string(timeline_position) + ' ' + "
         "string(timeline_running)",
         "3 5 1\n"},
        {{{"action_timeline_set", {"2", "7", "1", "1"}},
          {"action_set_timeline_position", {"2"}, true},
          {"action_set_timeline_speed", {"2"}}},
         "string(timeline_position) + ' ' + string(timeline_running) + ' ' + "
         "string(timeline_loop) + ' ' + string(timeline_speed)",
         "9 0 1 2\n"},
        {{{"action_timeline_set", {"2", "7", "0", "0"}}, {"action_timeline_stop", {}}},
         "string(timeline_position) + ' ' + string(timeline_running)",
         "0 0\n"},
        {{{"action_sound", {"3", "0"}}}, "'x'", "x\n", "Trying to play non-existing sound."},
        {{{"action_end_sound", {"3"}}}, "'x'", "x\n", "Trying to stop non-existing sound."},
        {{}, "action_if_sound(3)", "0\n"},
        {{}, "string(action_if_previous_room()) + string(action_if_next_room())", "00\n"},
        {{{"action_replace_sprite", {"5", "'x.png'", "1"}}},
         "'x'",
         "x\n",
         "Trying to replace non-existing resource."},
        {{{"action_show_video", {"'no such video.avi'", "0", "0"}}},
         "'x'",
         "x\n",
         "Video file not found (or name too long)."},
        {{{"action_splash_text", {"'no such text.txt'"}}}, "'x'", "x\n", "Text file not found."},
        // Obsolete actions do nothing at all.
        {{{"action_path_old", {"1", "2", "3"}}, {"action_highscore", {}}}, "'x'", "x\n"},
    });
}

TEST_F(ActionLibraryTest, Control) {
    RunCases({
        {{}, "string(action_if_dice(1)) + string(action_if_dice(0.5))", "11\n"},
        {{}, "action_if(2)", "2\n"},
        {{}, "string(action_if_number(0, 1, 0)) + string(action_if_number(0, 0, 2))", "11\n"},
        {{}, "string(action_if_number(0, 1, 1))", "0\n"},
        {{},
         "string(action_if_variable(1, 2, 1)) + string(action_if_variable('b', 'a', 2)) + "
         "string(action_if_variable('a', 'a', 0))",
         "111\n"},
        {{}, "action_if_variable(1, '1', 0)", "0\n", "Cannot compare arguments."},
        {{}, "string(action_if_aligned(50, 25)) + string(action_if_aligned(0, 3))", "10\n"},
        {{}, "action_if_empty(0, 0, 1)", "1\n"},
        {{}, "action_if_collision(0, 0, 0)", "0\n"},
        {{}, "action_if_mouse(0)", "1\n"},
        {{}, "action_execute_script(times_ten, 4, 0, 0, 0, 0)", "40\n"},
    });
    // Through real question actions: the action after a false question does not run.
    RunCases({
        {{{"action_if_dice", {"0.5"}}, {"action_set_hspeed", {"1"}}}, "hspeed", "1\n"},
        {{{"action_if_variable", {"1", "2", "2"}}, {"action_set_hspeed", {"1"}}}, "hspeed", "0\n"},
    });
}

TEST_F(ActionLibraryTest, Score) {
    RunCases({
        {{{"action_set_score", {"10"}}, {"action_set_score", {"5.4"}, true}}, "score", "15\n"},
        {{{"action_set_score", {"10"}}}, "action_if_score(10, 0)", "1\n"},
        // Lives going from 3 to 0 raise the event once; setting 0 again does not.
        {{{"action_set_life", {"3"}}, {"action_set_life", {"0"}}, {"action_set_life", {"0"}}},
         "lives",
         "no more lives\n0\n"},
        {{{"action_set_life", {"3"}}, {"action_set_life", {"-1"}, true}},
         "string(lives) + string(action_if_life(2, 0)) + string(action_if_life(3, 1))",
         "211\n"},
        {{{"action_set_health", {"10"}}, {"action_set_health", {"-10"}, true}},
         "string(health) + string(action_if_health(0, 0))",
         "no more health\n01\n"},
        {{{"action_set_caption", {"0", "'S'", "1", "'L'", "1", "'H'"}}},
         "string(show_score) + string(show_lives) + string(show_health)",
         "011\n"},
    });
}

TEST_F(ActionLibraryTest, Extra) {
    RunCases({
        // The particle actions reach the particle functions; a burst needs its emitter first.
        {{{"action_partemit_burst", {"0", "0", "5"}}},
         "'x'",
         "x\n",
         "The particle emitter must first be created."},
        {{{"action_parttype_life", {"16", "1", "2"}}}, "'x'", "x\n", "Particle slot 16"},
    });
}

TEST_F(ActionLibraryTest, Draw) {
    RunCases({
        {{{"action_draw_sprite", {"5", "0", "0", "-1"}}},
         "'x'",
         "x\n",
         "Trying to draw a non-existing sprite."},
        {{{"action_draw_background", {"5", "0", "0", "0"}}},
         "'x'",
         "x\n",
         "Trying to draw a non-existing background."},
    });
}

TEST_F(ActionLibraryTest, Code) {
    RunCases({
        {{{"action_execute_script", {"times_ten", "2", "0", "0", "0", "0"}}}, "'x'", "x\n"},
        {{}, "action_execute_script(99, 0, 0, 0, 0, 0)", "0\n"},
        {{{"action_inherited", {}}}, "'x'", "x\n"},
    });
}

}  // namespace
}  // namespace kr
