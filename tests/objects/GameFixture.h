// A small game written with GameWriter, loaded and prepared by a runner with the whole library,
// for tests of events, actions and the instance functions. Actions append to global.log, which
// the tests read.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "code/Code.h"
#include "library/AllBuiltins.h"
#include "motion/FrameFixture.h"
#include "objects/Action.h"
#include "objects/Object.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/ScriptRunner.h"
#include "support/TestPlatform.h"

namespace kr::test {

// A code action.
inline CAction Code(std::string code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = std::move(code);
    return a;
}
// A code action that appends `text` to global.log.
inline CAction Say(const std::string& text) {
    return Code("global.log += \"" + text + "\"");
}
// A question whose code returns `expr`.
inline CAction If(const std::string& expr, bool is_not = false) {
    CAction a;
    a.is_question = true;
    a.exec_type = CAction::kExecCode;
    a.code_text = "return " + expr;
    a.is_not = is_not;
    return a;
}
inline CAction Mark(int32_t kind) {
    CAction a;
    a.kind = kind;
    return a;
}
inline CAction Repeat(const std::string& count) {
    CAction a = Mark(CAction::kRepeat);
    a.arg_count = 1;
    a.arg_texts[0] = count;
    return a;
}
inline CAction AppliesTo(CAction a, int32_t target) {
    a.has_applies_to = true;
    a.applies_to = target;
    return a;
}
inline CEvent Event(std::vector<CAction> actions) {
    CEvent e;
    e.actions = std::move(actions);
    return e;
}

class GameFixture : public ::testing::Test {
protected:
    // Adds object `name` (index in order of adding) and returns its index.
    int32_t AddObject(const std::string& name, const CObject& o) {
        w.Add(name, o);
        return objects_++;
    }
    // Writes, loads and prepares the game, builds the event lists and starts global.log.
    bool Start() {
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path() + "/";
        o.register_functions = register_functions;
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        if (runner_->LoadGameData() != LoadResult::kLoaded) return false;
        if (!runner_->PrepareGame()) return false;
        runner_->BuildEventLists();
        Run("global.log = ''");
        return true;
    }
    Runner& R() { return *runner_; }
    Runtime& Rt() { return runner_->GetRuntime(); }
    // A new instance in the room, with its create event.
    CInstance& Create(int32_t object, double x = 0, double y = 0) {
        CInstance* inst = InstanceCreate(R().Instancing(), object, x, y);
        EXPECT_NE(inst, nullptr);
        return *inst;
    }
    // Runs a program for `self` (the runner's temporary instance when null).
    RValue Run(const std::string& code, CInstance* self = nullptr) {
        CCode program{code, false};
        if (!program.Compile(Rt())) {
            ADD_FAILURE() << "does not compile: " << code << "\n" << Rt().ErrorText();
            Rt().ClearError();
            return RValue("COMPILE FAILED");
        }
        std::unique_ptr<CInstance> temp;
        if (!self) {
            temp = R().NewTemporaryInstance();
            self = temp.get();
        }
        RValue result;
        Rt().ExecuteReporting(program, self, self, result);
        return result;
    }
    std::string Log() { return Run("return global.log").StdStr(); }
    // The last error shown, with CR LF and CR line breaks turned into "|".
    std::string LastError() {
        std::string s = Rt().ErrorOccurred() ? Rt().ErrorLast() : std::string();
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
            out += s[i] == '\r' || s[i] == '\n' ? '|' : s[i];
        }
        return out;
    }

    GameWriter w;
    Recording rec;
    void (*register_functions)(BuiltinRegistry&) = RegisterAllBuiltins;

private:
    ScratchDir dir_;
    Platform platform_ = MakeRecordingPlatform(rec);
    std::unique_ptr<Runner> runner_;
    int32_t objects_ = 0;
};

}  // namespace kr::test
