// Motion, paths, time lines and triggers in whole games run headless: what the instances
// print step by step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/AllBuiltins.h"
#include "motion/FrameFixture.h"
#include "objects/EventTypes.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

constexpr int32_t kStepNormal = 0, kStepBegin = 1, kStepEnd = 2;
constexpr int32_t kEndOfPath = 8;

CAction CodeActionOf(std::string code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = std::move(code);
    return a;
}

CEvent Code(std::string code) {
    CEvent e;
    e.actions = {CodeActionOf(std::move(code))};
    return e;
}

RoomInstance Placed(int32_t object, int32_t x, int32_t y, int32_t id) {
    return RoomInstance{x, y, object, id, {}};
}

class MotionGameTest : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
    };

    Result Run(const GameWriter& w, int64_t max_steps) {
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = max_steps;
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        Result r;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        r.status = runner_->Run();
        r.out = testing::internal::GetCapturedStdout();
        r.err = testing::internal::GetCapturedStderr();
        return r;
    }

    // One object whose create event runs `create` and whose end step prints `show`; one
    // instance of it at (50, 50); the path (0,0)-(100,0) as path 0.
    Result RunMover(const std::string& create, const std::string& show, int64_t steps) {
        GameWriter w;
        CPath p;
        p.closed = false;
        p.points = {{0, 0, 100}, {100, 0, 100}};
        w.Add("line", p);
        CObject o;
        o.events[kEventCreate][0] = Code(create);
        o.events[kEventStep][kStepEnd] = Code("show_debug_message(" + show + ")");
        o.events[kEventOther][kEndOfPath] = Code("show_debug_message('end')");
        w.Add("mover", o);
        CRoom room;
        room.instances = {Placed(0, 50, 50, 100001)};
        w.Add("room", room);
        return Run(w, steps);
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
    std::unique_ptr<Runner> runner_;
};

const std::string kXY = "string(round(x)) + ',' + string(round(y))";

// Speed 40 on a path of length 100 reaches the end in the third step; each end action then
// does its own thing.
TEST_F(MotionGameTest, PathEndActions) {
    struct Case {
        const char* what;
        std::string create;
        std::string expected;
    } cases[] = {
        {"stop on the last point", "path_start(line, 40, 0, true)",
         "40,0\n80,0\nend\n100,0\n100,0\n100,0\n"},
        {"restart from the start", "path_start(line, 40, 1, true)",
         "40,0\n80,0\nend\n20,0\n60,0\nend\n0,0\n"},
        {"continue from the end point", "path_start(line, 40, 2, true)",
         "40,0\n80,0\nend\n120,0\n160,0\nend\n200,0\n"},
        {"reverse", "path_start(line, 40, 3, true)", "40,0\n80,0\nend\n80,0\n40,0\nend\n0,0\n"},
        // Backwards from the end; stopping leaves it on the first point, where it was heading.
        {"backwards stop", "path_start(line, -40, 0, true)", "60,0\n20,0\nend\n0,0\n0,0\n0,0\n"},
        {"backwards relative to the instance", "path_start(line, -40, 0, false)",
         "10,50\n-30,50\nend\n-50,50\n-50,50\n-50,50\n"},
        {"relative to the instance", "path_start(line, 40, 0, false)",
         "90,50\n130,50\nend\n150,50\n150,50\n150,50\n"},
        // Turned by 90 degrees (counter-clockwise: up the screen) and twice as large: the same
        // speed covers half as much of the path.
        {"orientation and scale",
         "path_start(line, 40, 0, false); path_orientation = 90; path_scale = 2",
         "50,10\n50,-30\n50,-70\n50,-110\nend\n50,-150\n"},
        {"path_end stops at once", "path_start(line, 40, 0, true); path_end()",
         "0,0\n0,0\n0,0\n0,0\n0,0\n"},
        {"a missing path is not started", "path_start(7, 40, 0, true)",
         "50,50\n50,50\n50,50\n50,50\n50,50\n"},
    };
    for (const Case& c : cases) {
        Result r = RunMover(c.create, kXY, 5);
        EXPECT_EQ(r.out, c.expected) << c.what << "\n" << r.err;
    }
}

// The built-in path variables: position and the end action's turn; speed is 0 while the path
// moves the instance, and direction follows the movement.
TEST_F(MotionGameTest, PathVariables) {
    Result r = RunMover("path_start(line, -4, 3, true); path_position = 0.02",
                        "string(path_index) + ' ' + string(path_position) + ' ' + "
                        "string(path_speed) + ' ' + string(speed) + ' ' + string(direction)",
                        1);
    // 0.02 - 0.04 = -0.02 turns round to 0.02 with speed 4; moving left, direction 180.
    EXPECT_EQ(r.out, "end\n0 0.02 4 0 180\n") << r.err;
}

// Code whose show(a, b, ...) becomes a message of the values separated by blanks.
std::string WithShow(std::string code) {
    const size_t at = code.find("show(");
    if (at == std::string::npos) return code;
    std::string out = code.substr(0, at) + "show_debug_message(string(";
    int depth = 0;
    for (size_t i = at + 5; i < code.size(); ++i) {
        const char ch = code[i];
        if (ch == '(') ++depth;
        if (ch == ')' && depth-- == 0) return out + "))" + code.substr(i + 1);
        out += ch == ',' && depth == 0 ? std::string(") + ' ' + string(") : std::string(1, ch);
    }
    return out;
}

// The motion functions, each in a room with a mover (a 10 x 10 box at its position) and two
// solid walls of the same size at (50, 0) and (38, 20).
TEST_F(MotionGameTest, MotionFunctions) {
    struct Case {
        const char* code;      // run for the mover at (0, 0); its last statement is shown
        const char* expected;  // the message shown, or the error reported (ending in ".")
    } cases[] = {
        {"move_contact_solid(0, 0); show(x)", "40"},
        {"move_contact_solid(0, 5); show(x)", "5"},
        {"x = 45; move_contact_solid(0, 0); show(x)", "45"},  // not free: nothing
        {"move_outside_solid(0, 0); show(x)", "0"},           // free: nothing
        {"x = 45; move_outside_solid(180, 100); show(x)", "40"},
        {"x = 38; hspeed = 4; vspeed = 2; move_bounce_solid(false); show(hspeed, vspeed)", "-4 2"},
        {"x = 38; y = 8; hspeed = 4; vspeed = 4; move_bounce_solid(false); show(hspeed, vspeed)",
         "-4 -4"},
        {"x = 38; y = 8; hspeed = 4; vspeed = 4; move_bounce_all(false); show(hspeed, vspeed)",
         "-4 -4"},
        {"mp_linear_step(55, 0, 100, false); show(mp_linear_step(55, 0, 100, false), x)", "1 0"},
        {"show(mp_linear_step(20, 0, 8, false), x, direction)", "0 8 0"},
        {"x = 32.0001; show(place_snapped(16, 0))", "1"},
        {"x = 32.002; show(place_snapped(16, 0))", "0"},
        {"x = 37; y = 9; move_snap(16, 16); show(x, y)", "32 16"},
        {"x = -5; y = 250; move_wrap(true, true, 0); show(x, y)", "635 10"},
        {"x = -5; move_wrap(false, true, 10); show(x)", "-5"},
        {"move_random(16, 8); show(x mod 16, y mod 8, place_free(x, y), x <= 630, y <= 230)",
         "0 0 1 1 1"},
        // Walls grown over the whole room leave no free place: the mover stays.
        {"with (obj_wall) { x = 0; y = 0; image_xscale = 100; image_yscale = 100 }"
         "x = 3; move_random(1, 1); show(x)",
         "3"},
        {"show(distance_to_point(20, 4), distance_to_point(5, 5))", "11 0"},
        {"show(distance_to_object(obj_wall), distance_to_object(obj_mover))", "31.02 1000000"},
        {"motion_set(90, 3); show(hspeed, vspeed)", "0 -3"},
        {"motion_set(0, 3); motion_add(90, 3); show(speed > 4.24, direction)", "1 45"},
        {"move_towards_point(3, 4, 10); show(hspeed, vspeed)", "6 8"},
        {"show(position_meeting(55, 5, obj_wall), position_empty(200, 200),"
         " position_empty(55, 5))",
         "1 1 0"},
        {"p = path_add(); show(mp_linear_path(p, 55, 0, 8, false), path_get_number(p), x)",
         "0 6 0"},
        {"p = path_add(); show(mp_linear_path(p, 0, 18, 4, false), path_get_number(p))", "1 6"},
        {"mp_linear_path(99, 30, 0, 8, false)", "Trying to assign to a non-existing path."},
        // Grid cells from the walls' boxes: (5, 0), (3, 2) and (4, 2). Going from (4, 0) to
        // (5, 1) may not cut the corner of (5, 0): the route turns at the centre of (4, 1).
        {"g = mp_grid_create(0, 0, 6, 3, 10, 10); mp_grid_add_instances(g, obj_wall, false);"
         "p = path_add(); show(g, mp_grid_path(g, p, 45, 5, 55, 15, true), path_get_number(p),"
         " path_get_point_x(p, 1), path_get_point_y(p, 1))",
         "0 1 3 45 15"},
        {"g = mp_grid_create(0, 0, 6, 3, 10, 10); mp_grid_add_instances(g, obj_wall, false);"
         "p = path_add(); show(mp_grid_path(g, p, 5, 5, 45, 25, false), path_get_number(p))",
         "0 0"},
        // A grid from x = 60: the wall's box 50..59 ends within one cell left of it and
        // touches its first column; the box 38..47 ends farther left and touches nothing. With
        // prec the mask must reach the cell, which it does not.
        {"g = mp_grid_create(60, 0, 3, 3, 10, 10); mp_grid_add_instances(g, obj_wall, false);"
         "h = mp_grid_create(60, 0, 3, 3, 10, 10); mp_grid_add_instances(h, obj_wall, true);"
         "p = path_add(); show(mp_grid_path(g, p, 65, 5, 65, 5, false),"
         " mp_grid_path(g, p, 65, 25, 65, 25, false), mp_grid_path(h, p, 65, 5, 65, 5, false))",
         "0 1 1"},
        // Rectangles left of and above the grid by less than a cell, added and cleared.
        {"g = mp_grid_create(60, 40, 3, 3, 10, 10); p = path_add();"
         "mp_grid_add_rectangle(g, 40, 20, 55, 35); a = mp_grid_path(g, p, 65, 45, 65, 45, false);"
         "b = mp_grid_path(g, p, 75, 45, 75, 45, false); mp_grid_clear_rectangle(g, 0, 0, 51, 31);"
         "show(a, b, mp_grid_path(g, p, 65, 45, 65, 45, false))",
         "0 1 1"},
        {"show(mp_grid_create(0, 0, 0, 3, 10, 10), mp_grid_create(0, 0, 1000000, 1000000, 1, 1))",
         "-1 -1"},
        {"g = mp_grid_create(0, 0, 6, 3, 10, 10); mp_grid_path(g, 4, 5, 5, 15, 5, false)",
         "Trying to assign to a non-existing path."},
        {"timeline_delete(5)", "Trying to delete non-existing timeline."},
        {"path_append(5, 0)", "Appending to non-existing path."},
        {"p = path_add(); path_append(p, 5)", "Appending a non-existing path."},
        {"path_delete(3)", "Trying to delete non-existing path."},
        {"path_duplicate(3)", "Trying to duplicate non-existing path."},
        {"path_assign(path_add(), 3)", "Error assigning a path."},
        {"p = path_add(); path_set_precision(p, 12); path_set_kind(p, 7);"
         "show(path_get_precision(p), path_get_kind(p), path_get_name(p))",
         "8 0 __newpath0"},
        {"p = path_add(); path_add_point(p, 0, 0, 100); path_add_point(p, 10, 0, 50);"
         "q = path_duplicate(p); path_reverse(q); show(q, path_get_point_speed(q, 0),"
         " path_get_length(q), path_get_x(p, 0.25))",
         "1 50 20 5"},
        {"p = path_add(); path_add_point(p, 5, 5, 100); path_add_point(p, 5, 5, 100);"
         "path_start(p, 4, 0, true); show(path_index, x)",
         "-1 0"},
    };
    for (const Case& c : cases) {
        GameWriter w;
        w.Add("box", test::SolidSprite(10, 10));
        CObject mover, wall;
        mover.sprite = wall.sprite = 0;
        wall.solid = true;
        mover.events[kEventCreate][0] = Code(WithShow(c.code) + "; game_end()");
        w.Add("obj_mover", mover);
        w.Add("obj_wall", wall);
        CRoom room;
        room.height = 240;
        room.instances = {Placed(1, 50, 0, 100001), Placed(1, 38, 20, 100002),
                          Placed(0, 0, 0, 100003)};
        w.Add("room", room);
        Result r = Run(w, 2);
        const std::string expected = c.expected;
        if (expected.ends_with("."))  // an error message
            EXPECT_NE(r.err.find(expected), std::string::npos) << c.code << "\n" << r.err;
        else
            EXPECT_EQ(r.out, expected + "\n") << c.code << "\n" << r.err;
    }
}

// Moments run in step order as the position passes them, looping back after the last; a
// moment may change the instance's position and the time-line variables.
TEST_F(MotionGameTest, TimeLines) {
    GameWriter w;
    CTimeLine t;
    t.moments.resize(3);
    t.moments[0].step = 0;
    t.moments[0].event = Code(
        "show_debug_message('m0 ' + string(event_type) + ' ' + "
        "string(event_number) + ' ' + string(event_object))");
    t.moments[1].step = 2;
    t.moments[1].event = Code("show_debug_message('m2'); x += 10");
    t.moments[2].step = 3;
    t.moments[2].event = Code("show_debug_message('m3 at ' + string(x))");
    w.Add("unused", CTimeLine());
    w.Add("tl", t);
    CObject o;
    o.events[kEventCreate][0] =
        Code("timeline_index = tl; timeline_running = true; timeline_loop = true");
    o.events[kEventStep][kStepBegin] = Code("show_debug_message('s ' + string(timeline_position))");
    w.Add("obj", o);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001)};
    w.Add("room", room);
    Result r = Run(w, 6);
    EXPECT_EQ(r.out, "s 0\nm0 100000 0 1\ns 1\ns 2\nm2\ns 3\nm3 at 10\ns 0\nm0 100000 0 1\ns 1\n")
        << r.err;
}

// Speed and direction: fractions, several moments in one step, backwards with looping, and a
// time line that is not running.
TEST_F(MotionGameTest, TimeLineSpeeds) {
    struct Case {
        const char* what;
        std::string setup;
        std::string expected;
    } cases[] = {
        {"half speed", "timeline_speed = 0.5", "0 1 2 "},  // steps 1, 3 and 5
        {"speed 3", "timeline_speed = 3", "0 1 2 3 4 5 "},
        {"backwards looping from 5",
         "timeline_position = 5; timeline_speed = -2; "
         "timeline_loop = true",
         "5 4 3 2 1 0 5 4 3 2 1 0 "},
        {"not running", "timeline_running = false", ""},
        {"speed 0", "timeline_speed = 0", ""},
    };
    for (const Case& c : cases) {
        GameWriter w;
        CTimeLine t;
        for (int s = 0; s <= 5; ++s) {
            TimeLineMoment m;
            m.step = s;
            m.event = Code("global.log += '" + std::to_string(s) + " '");
            t.moments.push_back(m);
        }
        w.Add("tl", t);
        CObject o;
        o.events[kEventCreate][0] =
            Code("global.log = ''; timeline_index = 0; timeline_running = true;" + c.setup);
        o.events[kEventOther][3] = Code("show_debug_message(global.log)");  // game end
        w.Add("obj", o);
        CRoom room;
        room.instances = {Placed(0, 0, 0, 100001)};
        w.Add("room", room);
        Result r = Run(w, 6);
        EXPECT_EQ(r.out, c.expected + "\n") << c.what << "\n" << r.err;
    }
}

// Moments stored out of order still run in step order, and time lines built by scripts run
// their moments; a moment may delete its own time line.
TEST_F(MotionGameTest, TimeLinesOutOfOrderAndBuiltByScripts) {
    GameWriter w;
    CTimeLine t;
    for (int s : {2, 0, 1}) {
        TimeLineMoment m;
        m.step = s;
        m.event = Code("show_debug_message('stored " + std::to_string(s) + "')");
        t.moments.push_back(m);
    }
    w.Add("stored", t);
    CObject a, b;
    a.events[kEventCreate][0] = Code("timeline_index = stored; timeline_running = true");
    b.events[kEventCreate][0] = Code(
        "n = timeline_add(); show_debug_message(timeline_get_name(n));"
        "timeline_moment_add(n, 1, 'show_debug_message(\"made 1\")');"
        "timeline_moment_add(n, 0, 'show_debug_message(\"made 0\")');"
        "timeline_moment_add(n, 1, 'show_debug_message(\"made 1 again\"); "
        "timeline_delete(timeline_index)');"
        "timeline_moment_add(n, 1, 'show_debug_message(\"still 1\")');"
        "timeline_moment_add(n, 2, 'show_debug_message(\"never\")');"
        "timeline_index = n; timeline_running = true");
    w.Add("a", a);
    w.Add("b", b);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001), Placed(1, 0, 0, 100002)};
    w.Add("room", room);
    Result r = Run(w, 4);
    EXPECT_EQ(r.out,
              "__newtimeline1\nstored 0\nmade 0\nstored 1\nmade 1\nmade 1 again\nstill 1\n"
              "stored 2\n")
        << r.err;
}

// A trigger fires at its moment of the step, before that phase's step events, for each
// instance of a responding object whose condition holds.
TEST_F(MotionGameTest, Triggers) {
    GameWriter w;
    CTrigger far, wrong;
    far.name = "far";
    far.condition = "return x > 100";
    far.moment = CTrigger::kEndStep;
    far.constant_name = "tr_far";
    wrong.name = "wrong";
    wrong.condition = "return missing_variable";
    wrong.moment = CTrigger::kStep;
    w.Add("", far);
    w.Add("", wrong);
    CObject o;
    // event_perform runs a trigger event whatever the condition says.
    o.events[kEventCreate][0] =
        Code("hspeed = 60; if (id == 100001) event_perform(ev_trigger, tr_far)");
    o.events[kEventTrigger][0] =
        Code("show_debug_message('far ' + string(id) + ' at ' + string(x) + ' ' + string(tr_far))");
    o.events[kEventTrigger][1] = Code("show_debug_message('never')");
    o.events[kEventStep][kStepEnd] = Code("show_debug_message('end step ' + string(id))");
    w.Add("obj", o);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001), Placed(0, 50, 0, 100002)};
    w.Add("room", room);
    Result r = Run(w, 2);
    EXPECT_EQ(r.out,
              "far 100001 at 0 0\nfar 100002 at 110 0\nend step 100001\nend step 100002\n"
              "far 100001 at 120 0\nfar 100002 at 170 0\nend step 100001\nend step 100002\n")
        << r.err;
    EXPECT_NE(r.err.find("ERROR in trigger wrong"), std::string::npos) << r.err;
}

// A condition that does not compile stops the game before it starts.
TEST_F(MotionGameTest, TriggerThatDoesNotCompile) {
    GameWriter w;
    CTrigger bad;
    bad.name = "bad";
    bad.condition = "return (";
    w.Add("", bad);
    Result r = Run(w, 2);
    EXPECT_NE(r.status, Runner::kExitOk);
    EXPECT_NE(r.err.find("COMPILATION ERROR in condition of trigger bad"), std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace kr
