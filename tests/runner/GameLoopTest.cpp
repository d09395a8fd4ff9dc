// The main loop as a whole game sees it: the order of room starts and ends, room requests and
// their errors, persistent rooms, the held room speed on the virtual clock, replayed input and
// the special keys, and the seed option.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "library/AllBuiltins.h"
#include "motion/FrameFixture.h"
#include "objects/EventTypes.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

// A game of rooms with the given creation codes, in room order.
GameWriter Rooms(std::vector<std::string> creation_codes) {
    GameWriter w;
    w.room_order.clear();
    for (size_t i = 0; i < creation_codes.size(); ++i) {
        CRoom room;
        room.creation_code = creation_codes[i];
        w.Add("room" + std::to_string(i), room);
        w.room_order.push_back(int32_t(i));
    }
    return w;
}

class GameLoopTest : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
        std::vector<int32_t> other_events;  // the other events performed for all instances
    };

    // Runs the game headless with its output captured.
    Result Run(const GameWriter& w, int64_t max_steps = 100, std::string input = {},
               std::optional<uint32_t> seed = {}) {
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = max_steps;
        o.seed = seed;
        o.debug = debug_;
        std::string error;
        EXPECT_TRUE(ParseInputReplay(input, o.input, error)) << error;
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        if (setup_) setup_(*runner_);
        Result r;
        // The other events performed for all instances are recorded on their way.
        auto perform = runner_->perform_other_event_for_all;
        runner_->perform_other_event_for_all = [&r, perform, this](int32_t n) {
            r.other_events.push_back(n);
            if (runner_hook_) runner_hook_(n);
            if (perform) perform(n);
        };
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        r.status = runner_->Run();
        r.out = testing::internal::GetCapturedStdout();
        r.err = testing::internal::GetCapturedStderr();
        return r;
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
    std::unique_ptr<Runner> runner_;
    // Runs before each other event performed for all instances.
    std::function<void(int32_t)> runner_hook_;
    // Runs on the new runner before the run starts; and the debug option.
    std::function<void(Runner&)> setup_;
    bool debug_ = false;
};

constexpr int32_t kGameStart = 2, kGameEnd = 3, kRoomStart = 4, kRoomEnd = 5, kClose = 30;

// Game start comes before the first room's creation code; a request made there skips the room
// start, and the room end and game end events run while the game ends.
TEST_F(GameLoopTest, RoomsStartAndEndInOrder) {
    Result r = Run(Rooms({"show_debug_message('first'); room_goto_next();",
                          "show_debug_message('second ' + string(room));"}),
                   1);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out, "first\nsecond 1\n");
    EXPECT_EQ(r.other_events,
              (std::vector<int32_t>{kGameStart, kRoomEnd, kRoomStart, kRoomEnd, kGameEnd}));
    EXPECT_EQ(runner_->Loop().StepsRun(), 1);
}

TEST_F(GameLoopTest, RoomRequestsAndTheirErrors) {
    struct Case {
        std::vector<std::string> rooms;
        int status;
        std::string out, err_has;
    } cases[] = {
        {{"room_goto(5)"}, Runner::kExitFatalError, "", "Unexisting room number: 5"},
        {{"room = -2"}, Runner::kExitFatalError, "", "Unexisting room number: -2"},
        {{"room_goto_previous()"},
         Runner::kExitFatalError,
         "",
         "Moving to previous room before the first room."},
        {{"room_goto_next()", "room_goto_next()"},
         Runner::kExitFatalError,
         "",
         "Moving to next room after the last room."},
        {{"room_speed = 0; show_debug_message(room_speed); game_end()"},
         Runner::kExitOk,
         "30\n",
         "Trying to set the room speed to a value <= 0."},
        {{"show_debug_message(string(room_previous(room_first)) + string(room_next(room_last))"
          " + string(room_next(room_first)) + string(room_previous(7))); game_end()",
          ""},
         Runner::kExitOk,
         "-1-11-1\n",
         ""},
        {{"if (variable_global_exists('n')) { show_debug_message('again'); game_end() }"
          "else { global.n = 1; game_restart() }"},
         Runner::kExitOk,
         "",  // a restart resets the global variables: the code never sees global.n
         ""},
    };
    for (const Case& c : cases) {
        Result r = Run(Rooms(c.rooms), 3);
        EXPECT_EQ(r.status, c.status) << c.rooms[0] << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.rooms[0];
        if (c.err_has.empty())
            EXPECT_EQ(r.err, "") << c.rooms[0];
        else
            EXPECT_NE(r.err.find(c.err_has), std::string::npos) << c.rooms[0] << "\n" << r.err;
    }
}

// A persistent room keeps its working copy: coming back runs no creation code. A room that is
// not persistent is made afresh on every visit.
TEST_F(GameLoopTest, PersistentRoomsAreKeptAndReentered) {
    for (bool persistent : {true, false}) {
        std::string first =
            "show_debug_message('make 0'); room_caption = 'kept';"
            "room_persistent = " +
            std::string(persistent ? "true" : "false") + "; room_goto(1);";
        std::string second = "show_debug_message('make 1 ' + string(room)); room_goto(0);";
        Result r = Run(Rooms({first, second}), 3);
        EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
        EXPECT_EQ(r.out,
                  persistent ? "make 0\nmake 1 1\n" : "make 0\nmake 1 1\nmake 0\nmake 1 1\n");
    }
}

// The loop schedules steps 1,000,000 / room speed microseconds apart on the clock; fps counts
// the steps of the last whole second; a speed of 0 counts as 1.
TEST_F(GameLoopTest, TheRoomSpeedIsHeldOnTheClock) {
    struct Case {
        int32_t speed;
        int64_t steps;
        int64_t clock;
        int32_t fps;
    } cases[] = {
        {30, 30, 30 * 33333, 0},
        {30, 31, 31 * 33333, 30},
        {60, 121, 121 * 16666, 60},
        {0, 3, 3000000, 1},
    };
    for (const Case& c : cases) {
        GameWriter w;
        CRoom room;
        room.speed = c.speed;
        w.Add("room", room);
        Platform fresh = test::MakeRecordingPlatform(rec_);
        std::swap(platform_, fresh);
        Result r = Run(w, c.steps);
        EXPECT_EQ(r.status, Runner::kExitOk);
        EXPECT_EQ(platform_.clock->Microseconds(), c.clock) << c.speed << " " << c.steps;
        EXPECT_EQ(runner_->Loop().Fps(), c.fps) << c.speed << " " << c.steps;
    }
}

// Replayed input reaches the input state just before its step; Esc and the window's close
// request end the game as the settings say, and F4 switches the window's full screen.
TEST_F(GameLoopTest, ReplayedInputAndTheSpecialKeys) {
    struct Case {
        const char* input;
        bool esc_ends, close_is_esc;
        int64_t steps_run;
        bool close_event, fullscreen;
    } cases[] = {
        {"", true, true, 10, false, false},
        {"3 key down 27", true, true, 4, false, false},
        {"3 key down 27", false, true, 10, false, false},
        {"5 close", true, true, 6, false, false},
        {"5 close", false, true, 6, false, false},  // a close still ends the game
        {"5 close", true, false, 10, true, false},
        {"0 key down 115\n1 key up 115", true, true, 10, false, true},
        {"0 key down 115\n1 key up 115\n2 key down 115", true, true, 10, false, false},
    };
    for (const Case& c : cases) {
        GameWriter w = Rooms({""});
        w.settings.esc_ends_game = c.esc_ends;
        w.settings.close_button_acts_as_esc = c.close_is_esc;
        Platform fresh = test::MakeRecordingPlatform(rec_);
        std::swap(platform_, fresh);
        Result r = Run(w, 10, c.input);
        EXPECT_EQ(r.status, Runner::kExitOk);
        EXPECT_EQ(runner_->Loop().StepsRun(), c.steps_run) << c.input;
        bool closed = std::count(r.other_events.begin(), r.other_events.end(), kClose) == 1;
        EXPECT_EQ(closed, c.close_event) << c.input;
        EXPECT_EQ(platform_.window->Fullscreen(), c.fullscreen) << c.input;
    }

    Result r = Run(Rooms({""}), 3,
                   "0 char hi\n0 key down 65\n1 key up 65\n2 mouse move 10 20\n2 mouse down 1\n"
                   "5 char never");
    const InputState& in = runner_->Loop().Input();
    EXPECT_EQ(in.TypedText(), "hi");
    EXPECT_EQ(in.LastKey(), 65);
    EXPECT_FALSE(in.Held(65));
    EXPECT_TRUE(in.ButtonHeld(1));
    EXPECT_FALSE(in.ButtonPressed(1));  // the step after it cleared the edge
    EXPECT_EQ(runner_->Loop().MouseRoomX(), 10);
    EXPECT_EQ(runner_->Loop().MouseRoomY(), 20);
}

// With a seed, the game start and randomize() both seed with it, so runs repeat.
TEST_F(GameLoopTest, TheSeedReplacesTheClock) {
    GameWriter w =
        Rooms({"a = random(1000); randomize(); b = random(1000);"
               "show_debug_message(string(a == b) + ' ' + string(a)); game_end()"});
    Result seven = Run(w, 1, "", 7);
    Result again = Run(w, 1, "", 7);
    Result eight = Run(w, 1, "", 8);
    EXPECT_EQ(seven.out.substr(0, 2), "1 ");
    EXPECT_EQ(seven.out, again.out);
    EXPECT_NE(seven.out, eight.out);
}

// ---- Games with objects ----

// An event of one code action.
CEvent Code(std::string code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = std::move(code);
    CEvent e;
    e.actions = {a};
    return e;
}

RoomInstance Placed(int32_t object, int32_t x, int32_t y, int32_t id) {
    return RoomInstance{x, y, object, id, {}};
}

// The room start runs creation codes and create events, then game start, the room's code and
// room start; each step runs its phases in order: begin step, alarms, keys held, pressed and
// released, mouse, step, motion, end step.
TEST_F(GameLoopTest, TheEventsOfARoomStartAndOfAStepComeInOrder) {
    GameWriter w;
    CObject o;
    o.events[kEventCreate][0] = Code(
        "show_debug_message('create ' + string(id)); alarm[0] = 2;"
        "hspeed = 1;");
    o.events[kEventOther][2] = Code("show_debug_message('game start')");
    o.events[kEventOther][4] = Code("show_debug_message('room start')");
    o.events[kEventStep][kStepBegin] = Code("show_debug_message('begin ' + string(x))");
    o.events[kEventAlarm][0] = Code("show_debug_message('alarm')");
    o.events[kEventKeyboard][65] = Code("show_debug_message('held A')");
    o.events[kEventKeyPress][1] = Code("show_debug_message('pressed ' + string(keyboard_key))");
    o.events[kEventKeyRelease][65] = Code("show_debug_message('released A')");
    o.events[kEventMouse][53] = Code("show_debug_message('click ' + string(mouse_x))");
    o.events[kEventStep][kStepNormal] = Code("show_debug_message('step')");
    o.events[kEventStep][kStepEnd] = Code("show_debug_message('end ' + string(x))");
    o.events[kEventOther][3] = Code("show_debug_message('game end')");
    w.Add("obj", o);
    CRoom room;
    room.instances = {Placed(0, 10, 0, 100001)};
    room.instances[0].creation_code = "show_debug_message('instance code')";
    room.creation_code = "show_debug_message('room code')";
    w.Add("room", room);

    Result r = Run(w, 3, "1 key down 65\n1 mouse move 7 8\n1 mouse down 1\n2 key up 65");
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "instance code\ncreate 100001\ngame start\nroom code\nroom start\n"
              "begin 10\nstep\nend 11\n"
              "begin 11\nalarm\nheld A\npressed 65\nclick 7\nstep\nend 12\n"
              "begin 12\nreleased A\nstep\nend 13\n"
              "game end\n");
}

// A room change asked for in the begin step skips every later event of the step; the room
// changes at the end of the loop iteration.
TEST_F(GameLoopTest, ARoomChangeEndsTheStep) {
    GameWriter w;
    CObject o;
    o.events[kEventStep][kStepBegin] = Code("show_debug_message('begin'); room_goto(1)");
    o.events[kEventStep][kStepNormal] = Code("show_debug_message('step')");
    o.events[kEventStep][kStepEnd] = Code("show_debug_message('end')");
    o.events[kEventOther][5] = Code("show_debug_message('room end')");
    w.Add("obj", o);
    CRoom first, second;
    first.instances = {Placed(0, 0, 0, 100001)};
    second.creation_code = "show_debug_message('second'); game_end()";
    w.Add("first", first);
    w.Add("second", second);
    w.room_order = {0, 1};
    Result r = Run(w, 5);
    EXPECT_EQ(r.out, "begin\nroom end\nsecond\n");
}

// A persistent instance goes along with its id and variables; the next room's own instance
// with that id gives way before any creation code or create event runs.
TEST_F(GameLoopTest, PersistentInstancesAreCarriedWithTheirIds) {
    GameWriter w;
    CObject p;
    p.persistent = true;
    p.events[kEventCreate][0] = Code("show_debug_message('create ' + string(id)); visits = 0");
    p.events[kEventOther][4] = Code(
        "visits += 1; show_debug_message(string(id) + ' in ' + string(room) + ' visit ' +"
        "string(visits) + ' of ' + string(instance_number(object_index)));"
        "if (room == 0) room_goto(1) else if (id == 100001) game_end()");
    w.Add("p", p);
    CRoom a, b;
    a.instances = {Placed(0, 5, 5, 100001)};
    b.instances = {Placed(0, 9, 9, 100001), Placed(0, 1, 1, 100002)};
    w.Add("a", a);
    w.Add("b", b);
    w.room_order = {0, 1};
    Result r = Run(w, 5);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "create 100001\n100001 in 0 visit 1 of 1\n"
              "create 100002\n100002 in 1 visit 1 of 2\n100001 in 1 visit 2 of 2\n");
}

// A deactivated instance receives no events from the moment it is deactivated until it is
// activated again.
TEST_F(GameLoopTest, DeactivatedInstancesReceiveNoEvents) {
    GameWriter w;
    CObject controller, worker;
    controller.events[kEventStep][kStepNormal] = Code(
        "if (global.t == 1) instance_deactivate_object(worker);"
        "if (global.t == 2) show_debug_message('found ' + string(instance_number(worker)));"
        "if (global.t == 3) instance_activate_all();"
        "global.t += 1");
    worker.events[kEventStep][kStepNormal] = Code("show_debug_message('work ' + string(global.t))");
    w.Add("controller", controller);
    w.Add("worker", worker);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001), Placed(1, 0, 0, 100002)};
    room.creation_code = "global.t = 0";
    w.Add("room", room);
    Result r = Run(w, 5);
    EXPECT_EQ(r.out, "work 1\nfound 0\nwork 4\nwork 5\n") << r.err;
}

// The room speed refuses 0 with its own text, not framed as an error of the event.
TEST_F(GameLoopTest, ARefusedRoomSpeedIsShownWithoutTheEvent) {
    GameWriter w;
    CObject o;
    o.events[kEventCreate][0] = Code(
        "room_speed = 0; show_debug_message(error_last); show_debug_message(room_speed);"
        "game_end()");
    w.Add("obj", o);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001)};
    w.Add("room", room);
    Result r = Run(w, 3);
    EXPECT_EQ(r.out, "Trying to set the room speed to a value <= 0.\n30\n");
}

// An exception that escapes a step is reported as an internal error and the game goes on.
TEST_F(GameLoopTest, AnExceptionInAStepIsReportedAndTheLoopGoesOn) {
    GameWriter w;
    w.settings.close_button_acts_as_esc = false;
    CObject o;
    o.events[kEventStep][kStepNormal] =
        Code("if (error_occurred) { show_debug_message(error_last); game_end() }");
    w.Add("obj", o);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001)};
    w.Add("room", room);
    runner_hook_ = [](int32_t n) {
        if (n == kOtherCloseButton) throw std::runtime_error("the close went wrong");
    };
    Result r = Run(w, 5, "1 close");
    EXPECT_EQ(r.status, Runner::kExitOk);
    EXPECT_EQ(r.out, "INTERNAL ERROR in the step: the close went wrong\n");
    EXPECT_NE(r.err.find("korvane: INTERNAL ERROR in the step: the close went wrong"),
              std::string::npos)
        << r.err;
}

// instance_count and instance_id walk the room's active list, in which a destroyed instance
// stays until the end of the step; view_current is 0 outside drawing.
TEST_F(GameLoopTest, TheInstanceListVariablesReadTheRoomsList) {
    GameWriter w;
    CObject o;
    o.events[kEventCreate][0] = Code(
        "show_debug_message(string(instance_count) + ' ' + string(instance_id[0]) + ' ' +"
        "string(instance_id[5]) + ' ' + string(view_current))");
    o.events[kEventStep][kStepNormal] =
        Code("instance_destroy(); show_debug_message(instance_count); game_end()");
    w.Add("obj", o);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001)};
    w.Add("room", room);
    Result r = Run(w, 3);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out, "1 100001 -4 0\n1\n");
}

// A moving instance that runs into a solid one is put back to its previous position before its
// collision event; stopped there, it stays.
TEST_F(GameLoopTest, CollisionsWithSolidInstancesPutBothBack) {
    GameWriter w;
    w.Add("spr", test::SolidSprite(10, 10));
    CObject ball, wall;
    ball.sprite = wall.sprite = 0;
    wall.solid = true;
    ball.events[kEventCreate][0] = Code("hspeed = 4");
    ball.events[kEventCollision][1] = Code(
        "show_debug_message('hit at ' + string(x) + ' step ' + string(global.s));"
        "hspeed = 0");
    ball.events[kEventStep][kStepEnd] = Code("global.s += 1");
    w.Add("ball", ball);
    w.Add("wall", wall);
    CRoom room;
    room.instances = {Placed(0, 32, 0, 100001), Placed(1, 50, 0, 100002)};
    room.creation_code = "global.s = 0";
    w.Add("room", room);
    Result r = Run(w, 6);
    EXPECT_EQ(r.out, "hit at 40 step 2\n") << r.err;
}

}  // namespace
}  // namespace kr

namespace kr {
namespace {

// The debugger's controls: a pause returns from the loop with the game running; a single step
// runs exactly one step; resuming goes on without restarting the game; a stop while paused
// ends the game through its game end events.
TEST_F(GameLoopTest, TheDebuggerPausesStepsResumesAndStops) {
    GameWriter w;
    CObject o;
    o.events[kEventStep][kStepNormal] = Code("show_debug_message('step ' + string(debug_mode))");
    o.events[kEventOther][2] = Code("show_debug_message('game start')");
    o.events[kEventOther][3] = Code("show_debug_message('game end')");
    w.Add("obj", o);
    CRoom room;
    room.instances = {Placed(0, 0, 0, 100001)};
    w.Add("room", room);
    debug_ = true;
    setup_ = [](Runner& runner) {
        GameLoop& loop = runner.Loop();
        loop.hooks.debugger_step = [&loop] {
            if (loop.StepsRun() == 2 || loop.StepsRun() == 5) loop.PauseGame();
        };
        loop.hooks.debugger_paused = [&loop] {
            std::printf("paused after %lld\n", (long long)loop.StepsRun());
            std::fflush(stdout);
            if (loop.StepsRun() == 2) {
                loop.SingleStep();
                EXPECT_TRUE(loop.Paused());
                loop.ResumeGame();
            } else {
                loop.StopGame();
            }
        };
    };
    Result r = Run(w, 100);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "game start\nstep 1\nstep 1\npaused after 2\nstep 1\nstep 1\nstep 1\n"
              "paused after 5\ngame end\n");
    EXPECT_EQ(runner_->Loop().StepsRun(), 5);
    EXPECT_FALSE(runner_->Loop().Running());
}

}  // namespace
}  // namespace kr
