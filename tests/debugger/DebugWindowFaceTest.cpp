// The debugger's window as the core's face, with a scripted window in place of the real one: what
// it shows of a running game, and what its requests do to the game.
#include <gtest/gtest.h>

#include <functional>

#include "debugger/DebugWindowFace.h"
#include "debugger/Debugger.h"
#include "library/AllBuiltins.h"
#include "objects/EventTypes.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

// Hands every frame's view to a script, which answers with the user's requests.
class ScriptedWindow final : public DebugWindow {
public:
    using Script = std::function<void(int frame, const DebugView&, std::vector<DebugRequest>&)>;
    explicit ScriptedWindow(Script script) : script_(std::move(script)) {}
    bool Open(std::string&) override { return true; }
    void Frame(const DebugView& view, std::vector<DebugRequest>& requests,
               std::vector<uint8_t>*) override {
        script_(frames_++, view, requests);
    }
    int32_t Width() const override { return 1; }
    int32_t Height() const override { return 1; }

private:
    Script script_;
    int frames_ = 0;
};

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

const DebugViewVariable* Find(const std::vector<DebugViewVariable>& list, const std::string& n) {
    for (const DebugViewVariable& v : list)
        if (v.name == n) return &v;
    return nullptr;
}

DebugRequest Request(DebugRequest::Kind kind, std::string text = {}, int32_t id = 0) {
    DebugRequest r{kind};
    r.text = std::move(text);
    r.id = id;
    return r;
}

// One game seen and driven through the window: the instance view, choosing an instance, its
// variables changed in place, code run for it and globally (an error shown, the game going
// on), a watch kept in the store, the messages with their steps, pause, one step of the game
// while held, and closing the window, which ends the game.
TEST(DebugWindowFace, TheWindowShowsTheGameAndDrivesIt) {
    test::ScratchDir dir;
    GameWriter w;
    CObject ball;
    ball.events[kEventStep][kStepNormal] = Code("x += 1; show_debug_message('x ' + string(x));");
    w.Add("obj_ball", ball);
    CObject wall;
    w.Add("obj_wall", wall);
    CRoom room;
    room.instances = {RoomInstance{0, 0, 0, 100001, {}}, RoomInstance{50, 7, 1, 100002, {}}};
    w.Add("room_main", room);

    RunnerOptions o;
    o.game_path = dir.Write("game.exe", w.WriteGameFile());
    o.temp_places.executable_dir = dir.Path();
    o.register_functions = RegisterAllBuiltins;
    o.max_steps = 100;
    o.debug = true;
    test::Recording rec;
    Platform platform = test::MakeRecordingPlatform(rec);
    Runner runner(platform, std::move(o));
    Debugger debugger(runner);

    using Kind = DebugRequest::Kind;
    std::vector<DebugView> views;
    auto script = [&](int frame, const DebugView& view, std::vector<DebugRequest>& out) {
        views.push_back(view);
        switch (frame) {
            case 0:  // after step 0
                out.push_back(Request(Kind::kChoose, "", 100001));
                break;
            case 1: {  // after step 1
                DebugRequest set{Kind::kSetVariable};
                set.name = "x";
                set.text = "100";
                out.push_back(set);
                out.push_back(Request(Kind::kRunCode, "y = x + 1"));
                DebugRequest global = Request(Kind::kRunCode, "global.g = 5");
                global.global = true;
                out.push_back(global);
                out.push_back(Request(Kind::kAddWatch, "x * 2"));
                break;
            }
            case 2:  // after step 2
                out.push_back(Request(Kind::kRunCode, "x = nonsense +"));
                out.push_back(Request(Kind::kPause));
                break;
            case 3:  // held after step 2
                out.push_back(Request(Kind::kStep));
                break;
            case 4:  // after the single step (step 3), then held again
                break;
            case 5:
                out.push_back(Request(Kind::kClose));
                break;
            default:
                break;
        }
    };
    DebugWindowOptions options;
    options.draw_every_step = true;
    options.store_folder = dir.Path();
    options.game_key = "the game";
    {
        DebugWindowFace face(debugger, runner, std::make_unique<ScriptedWindow>(script), options);
        testing::internal::CaptureStdout();
        const int status = runner.Run();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, Runner::kExitOk);
        // Steps 0..3 ran (x 1, 2, 101 after the change, and the single step's 102), and no
        // step after the window was closed.
        EXPECT_EQ(out, "x 1\nx 2\nx 101\nx 102\n");
    }
    ASSERT_GE(views.size(), 6u);
    // The instance view of the room.
    ASSERT_EQ(views[0].instances.size(), 2u);
    EXPECT_EQ(views[0].instances[1][0], "100002");
    EXPECT_EQ(views[0].instances[1][1], "obj_wall");
    EXPECT_EQ(views[0].instances[1][2], "50");
    EXPECT_EQ(views[0].instances[1][3], "7");
    EXPECT_TRUE(views[0].variables.empty());
    // The chosen instance's variables, editable.
    EXPECT_EQ(views[1].chosen, 100001);
    const DebugViewVariable* x = Find(views[1].variables, "x");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->value, "2");
    EXPECT_TRUE(x->editable);
    // The change, the code run for the instance and globally, the watch.
    EXPECT_EQ(Find(views[2].variables, "x")->value, "101");
    ASSERT_TRUE(Find(views[2].variables, "y"));
    EXPECT_EQ(Find(views[2].variables, "y")->value, "101");
    ASSERT_TRUE(Find(views[2].globals, "g"));
    EXPECT_EQ(Find(views[2].globals, "g")->value, "5");
    ASSERT_EQ(views[2].watches.size(), 1u);
    EXPECT_EQ(views[2].watches[0].value, "202");
    EXPECT_FALSE(views[2].stopped);
    // A faulty line shows its error; the game goes on to the pause.
    EXPECT_NE(views[3].code_result.find("x = nonsense +"), std::string::npos);
    EXPECT_NE(views[3].code_result.find("\n"), std::string::npos);
    EXPECT_TRUE(views[3].stopped);
    EXPECT_EQ(views[3].watches[0].value, "202");
    EXPECT_FALSE(views[4].stopped);  // the single step's own frame, while it runs
    EXPECT_TRUE(views[5].stopped);
    EXPECT_EQ(views[5].watches[0].value, "204");
    // The messages carry the step they came in.
    ASSERT_EQ(views[5].messages.size(), 4u);
    EXPECT_EQ(views[5].messages[0], "[0] x 1");
    EXPECT_EQ(views[5].messages[3], "[3] x 102");

    // The watch was kept for the game.
    std::vector<DebugView> again;
    DebugWindowFace face(
        debugger, runner,
        std::make_unique<ScriptedWindow>(
            [&](int, const DebugView& v, std::vector<DebugRequest>&) { again.push_back(v); }),
        options);
    face.Poll();
    ASSERT_EQ(again.size(), 1u);
    ASSERT_EQ(again[0].watches.size(), 1u);
    EXPECT_EQ(again[0].watches[0].expression, "x * 2");
}

}  // namespace
}  // namespace kr
